#include "guiwait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>

bool WaitUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return done();
        QTest::qWait(5);
    }
    return true;
}

void Pump(int ms)
{
    QTest::qWait(ms);
}

ModalCatcher::ModalCatcher(std::function<void(QDialog *)> answer) : m_answer(std::move(answer))
{
    connect(&m_timer, &QTimer::timeout, this, &ModalCatcher::Poll);
    m_timer.start(10);
}

void ModalCatcher::Poll()
{
    auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible())
        return;
    if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
        m_seen << box->text();
        box->done(QMessageBox::Ok);
        return;
    }
    m_seen << dialog->objectName();
    if (m_answer)
        m_answer(dialog);
    else
        dialog->accept();
}
