#pragma once
// A caret blinks only while someone types: a while after the last key, click or change of focus
// the carets of every window of the process stand still, shown, as the desktop's own toolkits do
// to spare power. A blink is a timer that wakes the process twice a second for nothing; an idle
// window, however long its edit holds the keyboard, should sleep. The next key, click or focus
// change starts the blinking again.
#include <QObject>
#include <QTimer>

class TCaretBlink : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 10000;

    // The one of the running application, made on first use; it starts counting then.
    static TCaretBlink &Instance();

    // 0: the carets never stop blinking.
    void SetTimeoutMs(int ms);
    int TimeoutMs() const { return m_timeoutMs; }
    // True while the carets stand still.
    bool Resting() const { return m_resting; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit TCaretBlink(QObject *parent);
    void Woken();
    void Rest();

    QTimer m_timer;
    int m_timeoutMs = kDefaultTimeoutMs;
    int m_flashMs = 0; // the desktop's flash time, given back on waking
    bool m_resting = false;
};
