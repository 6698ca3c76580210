#include "platform/gui/commandguard.h"

#include "platform/gui/coretext.h"
#include "platform/gui/startnotices.h"

#include <QString>

#include <exception>

void RunGuarded(QWidget *owner, const std::function<void()> &command)
{
    try {
        command();
    } catch (const std::exception &e) {
        TellProblem(owner, CoreErrorText(e));
    }
}
