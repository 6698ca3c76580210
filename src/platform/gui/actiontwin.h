#pragma once
// A command offered in two menus is one action: the second menu's item keeps the name, caption and
// key label it always had but is only a face of the first one's action. It is checked, enabled and
// shown as that action is, and choosing it runs that action, so nothing keeps the two in step.
class QAction;

void FollowAction(QAction *twin, QAction *command);
