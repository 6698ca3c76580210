#pragma once
// Asks, without stopping the window, whether the transfer a device started may run: a bar above
// the log with what is coming, Accept and Refuse, and whether to accept on this link from now on
// without asking. Nobody answering is a refusal once the wait is over.
#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QTimer;

class TTransferAskBar : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWaitMs = 60000;

    explicit TTransferAskBar(QWidget *parent);

    // Shows the bar with `what` (plain text: a device's words are never layout); a question
    // already open is replaced, its wait begun anew.
    void Ask(const QString &what);
    // Hides the bar without an answer (the device went away, a transfer began otherwise).
    void Withdraw();
    bool Asking() const { return !isHidden(); }

signals:
    // `always`: accept on this link without asking from now on.
    void Accepted(bool always);
    // `timedOut`: nobody answered in time.
    void Refused(bool timedOut);

private:
    void Answer(bool accepted, bool timedOut);

    QLabel *m_text;
    QPushButton *m_accept;
    QPushButton *m_refuse;
    QCheckBox *m_always;
    QTimer *m_wait;
};
