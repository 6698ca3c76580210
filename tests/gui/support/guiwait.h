#pragma once
// Waiting in GUI tests: the event loop runs while a condition is awaited, and modal boxes that a
// command opens are answered and recorded instead of blocking the test.
#include <QDialog>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

// Runs the event loop until `done` holds or `ms` pass; returns `done()`.
bool WaitUntil(const std::function<bool()> &done, int ms = 3000);

// Runs the event loop for `ms`.
void Pump(int ms);

class ModalCatcher : public QObject
{
public:
    // `answer` decides what to do with each modal dialog; by default it is closed with Accept.
    explicit ModalCatcher(std::function<void(QDialog *)> answer = {});

    // Texts of the message boxes seen, in order; for other dialogs their objectName.
    const QStringList &Seen() const { return m_seen; }

private:
    void Poll();

    std::function<void(QDialog *)> m_answer;
    QTimer m_timer;
    QStringList m_seen;
};
