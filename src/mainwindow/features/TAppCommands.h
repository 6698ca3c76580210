#pragma once
// File > Exit: the program ends, and every window with it, however many are open; the window
// manager notes them as open, so they come back at the next start.
#include <QObject>

class QAction;
class QWidget;

class TAppCommands : public QObject
{
    Q_OBJECT
public:
    TAppCommands(QWidget *window, QAction *exit);
};
