#include "platform/gui/actiontwin.h"

#include <QAction>

void FollowAction(QAction *twin, QAction *command)
{
    const auto show = [twin, command] {
        twin->setCheckable(command->isCheckable());
        twin->setChecked(command->isChecked());
        twin->setEnabled(command->isEnabled());
        twin->setVisible(command->isVisible());
    };
    show();
    QObject::connect(command, &QAction::changed, twin, show);
    // Choosing a checkable item flips its own mark before it reports; the command decides the mark.
    QObject::connect(twin, &QAction::triggered, command, [command, show] {
        command->trigger();
        show();
    });
}
