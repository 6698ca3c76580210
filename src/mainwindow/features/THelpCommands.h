#pragma once
// Help > About and Help > Content, and F1 anywhere in the program for the manual's page of the
// window in front (help/gui/helpcontent.h).
#include <QObject>

class QAction;
class QWidget;

class THelpCommands : public QObject
{
    Q_OBJECT
public:
    THelpCommands(QWidget *window, QAction *about, QAction *content);
};
