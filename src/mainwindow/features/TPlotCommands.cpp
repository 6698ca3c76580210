#include "mainwindow/features/TPlotCommands.h"
#include "platform/gui/windowplace.h"
#include "plot/gui/TfrmPlot.h"
#include "shell/TMenuSlots.h"

#include <QAction>
#include <QScreen>

TPlotCommands::TPlotCommands(QWidget *window, TMenuSlots &menus, int windowNumber)
    : QObject(window), m_window(window), m_number(windowNumber)
{
    QAction *plot = menus.AddNew(this, "mnuViewPlot", tr("&Plot"));
    connect(plot, &QAction::triggered, this, [this] {
        if (m_plot == nullptr)
            Make();
        m_plot->show();
        m_plot->raise();
        m_plot->activateWindow();
    });
}

// Beside the main window rather than over it, so both show what came in; where the user moves it
// afterwards it stays.
void TPlotCommands::Make()
{
    m_plot = new TfrmPlot(m_window);
    m_plot->ShowNames(m_number, m_link);
    // Before the plot is first shown its frame is not known: the main window's is the same.
    const QRect owner = m_window->frameGeometry();
    const QSize margins = owner.size() - m_window->geometry().size();
    const QScreen *screen = m_window->screen();
    // Its layout widens it to its minimum when it is first shown; placed at a smaller size it
    // would then reach past the screen's edge.
    const QSize size = m_plot->size().expandedTo(m_plot->minimumSizeHint());
    const QRect place = FrameBeside(owner, size + margins, screen ? screen->availableGeometry() : QRect());
    m_plot->resize(place.size() - margins);
    m_plot->move(place.topLeft());
}

void TPlotCommands::Feed(const CCommData &block)
{
    if (m_plot != nullptr && m_plot->isVisible())
        m_plot->Feed(block.Data());
}

void TPlotCommands::ShowLink(const QString &link)
{
    m_link = link;
    if (m_plot != nullptr)
        m_plot->ShowNames(m_number, m_link);
}
