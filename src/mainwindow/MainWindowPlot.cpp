// View > Plot: one plot window for this main window, fed with what the port receives while shown.
#include "mainwindow/TfrmMain.h"
#include "plot/gui/TfrmPlot.h"

#include <QAction>
#include <QMenu>

void TfrmMain::ConnectPlotCommands()
{
    ui.mnuView->addSeparator();
    QAction *plot = ui.mnuView->addAction(QStringLiteral("&Plot"));
    plot->setObjectName(QStringLiteral("mnuViewPlot"));
    connect(plot, &QAction::triggered, this, [this] {
        if (m_plot == nullptr)
            m_plot = new TfrmPlot(this);
        m_plot->show();
        m_plot->raise();
        m_plot->activateWindow();
    });
}

void TfrmMain::FeedPlot(const CCommData &block)
{
    if (m_plot != nullptr && m_plot->isVisible())
        m_plot->Feed(block.Data());
}
