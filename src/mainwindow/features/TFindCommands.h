#pragma once
// Edit > Find, Find Next and Find Previous over the log, in a bar above it.
#include "log/gui/TFindBar.h"

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

    void Open() { m_bar->Open(); }
    // What is shown in the log's place is searched (see TFindBar::SearchOther).
    void SearchOther(QWidget *view, TFindBar::FindIn find) { m_bar->SearchOther(view, std::move(find)); }

private:
    TFindBar *m_bar;
};
