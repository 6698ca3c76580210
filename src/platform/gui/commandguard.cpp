#include "platform/gui/commandguard.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

void RunGuarded(QWidget *owner, const std::function<void()> &command)
{
    try {
        command();
    } catch (const std::exception &e) {
        QMessageBox::critical(owner, QApplication::applicationName(), QString::fromLocal8Bit(e.what()));
    }
}
