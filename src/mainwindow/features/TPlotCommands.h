#pragma once
// View > Plot: one plot window for the main window, made on first use and fed with what the port
// receives only while it is shown.
#include "data/commdata.h"

#include <QObject>

class QWidget;
class TfrmPlot;
class TMenuSlots;

class TPlotCommands : public QObject
{
    Q_OBJECT
public:
    TPlotCommands(QWidget *window, TMenuSlots &menus);
    // A receive stage.
    void Feed(const CCommData &block);

private:
    QWidget *m_window;
    TfrmPlot *m_plot = nullptr;
};
