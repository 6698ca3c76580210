#pragma once
// Edit > Find, Find Next and Find Previous over the log, in a bar above it.
#include <QObject>

class QWidget;
class TMenuSlots;
class TTrafficLog;

class TFindCommands : public QObject
{
    Q_OBJECT
public:
    // The bar heads `column`, the widget whose column of widgets holds the log.
    TFindCommands(QObject *parent, QWidget *column, TTrafficLog &log, TMenuSlots &menus);
};
