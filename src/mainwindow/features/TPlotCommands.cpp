#include "mainwindow/features/TPlotCommands.h"
#include "mainwindow/TMenuSlots.h"
#include "plot/gui/TfrmPlot.h"

#include <QAction>

TPlotCommands::TPlotCommands(QWidget *window, TMenuSlots &menus) : QObject(window), m_window(window)
{
    QAction *plot = menus.AddNew(MenuSlot::ViewWindows, this, "mnuViewPlot", tr("&Plot"));
    connect(plot, &QAction::triggered, this, [this] {
        if (m_plot == nullptr)
            m_plot = new TfrmPlot(m_window);
        m_plot->show();
        m_plot->raise();
        m_plot->activateWindow();
    });
}

void TPlotCommands::Feed(const CCommData &block)
{
    if (m_plot != nullptr && m_plot->isVisible())
        m_plot->Feed(block.Data());
}
