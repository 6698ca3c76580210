#pragma once
// Edit > Find, Find Next and Find Previous over the log, in a bar above it.
#include "log/gui/TFindBar.h"
#include "shell/TFeatureServices.h"

#include <QObject>

class QWidget;
class TMenuSlots;
class TTrafficLog;

// Offers the bar to what is shown in the log's place (IFindService).
class TFindCommands : public QObject, public IFindService
{
    Q_OBJECT
public:
    // The bar heads `column`, the widget whose column of widgets holds the log.
    TFindCommands(QObject *parent, QWidget *column, TTrafficLog &log, TMenuSlots &menus,
                  TFeatureServices &services);

    void Open() override { m_bar->Open(); }
    // What is shown in the log's place is searched (see TFindBar::SearchOther).
    void SearchOther(QWidget *view, TFindBar::FindIn find) override
    {
        m_bar->SearchOther(view, std::move(find));
    }

private:
    TFindBar *m_bar;
};
