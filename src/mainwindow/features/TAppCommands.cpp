#include "mainwindow/features/TAppCommands.h"

#include <QAction>
#include <QApplication>
#include <QWidget>

TAppCommands::TAppCommands(QWidget *window, QAction *exit) : QObject(window)
{
    connect(exit, &QAction::triggered, this, [] { QApplication::quit(); });
}
