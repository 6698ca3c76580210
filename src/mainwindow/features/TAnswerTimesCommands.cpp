#include "mainwindow/features/TAnswerTimesCommands.h"

#include "decode/gui/TAnswerTimesPanel.h"
#include "platform/gui/settingvalue.h"
#include "session/portsession.h"
#include "shell/TMenuSlots.h"

#include <QAction>
#include <QDockWidget>
#include <QMainWindow>
#include <QSettings>

namespace {

const TSettingValue<bool> kShown("AnswerTimesShown", false);
const char *const kReader = "answer times";
// At most four refreshes a second: the figures are read, not watched frame by frame.
constexpr int kRefreshMs = 250;

} // namespace

TAnswerTimesCommands::TAnswerTimesCommands(QWidget *window, CPortSession &session, TMenuSlots &menus)
    : QObject(window), m_window(window), m_session(session)
{
    // Without a key: every letter of its name has one in this menu already.
    m_show = menus.AddNew(this, "mnuViewAnswerTimes", tr("Answer Times"), true);
    connect(m_show, &QAction::toggled, this, &TAnswerTimesCommands::Show);
    m_refresh.setSingleShot(true);
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &TAnswerTimesCommands::Refresh);
}

void TAnswerTimesCommands::Show(bool on)
{
    if (m_ended)
        return;
    if (on && !m_panel) {
        m_dock = new QDockWidget(tr("Answer Times"), m_window);
        m_dock->setObjectName(QStringLiteral("dckAnswerTimes"));
        m_dock->setAccessibleName(tr("Answer Times"));
        // The menu item shows and hides it: a close button of its own would leave the item checked.
        m_dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
        m_panel = new TAnswerTimesPanel(m_dock);
        m_dock->setWidget(m_panel);
        if (auto *main = qobject_cast<QMainWindow *>(m_window))
            main->addDockWidget(Qt::RightDockWidgetArea, m_dock);
        connect(m_panel, &TAnswerTimesPanel::ResetAsked, this, [this] {
            m_session.Decoding().ResetStatistics();
            Refresh();
        });
    }
    CSessionDecoding &decoding = m_session.Decoding();
    decoding.WantStatistics(on);
    if (on) {
        decoding.SetObserver(kReader, [this](const ST_Frame &, const ST_FrameReading &reading) {
            if (!reading.Settled.empty() || reading.Asks)
                Changed();
        });
        decoding.SetSettled(kReader, [this](const std::vector<ST_AnswerEvent> &) { Changed(); });
        Refresh();
    } else {
        decoding.SetObserver(kReader, nullptr);
        decoding.SetSettled(kReader, nullptr);
        m_refresh.stop();
    }
    if (m_dock)
        m_dock->setVisible(on);
}

void TAnswerTimesCommands::Changed()
{
    if (!m_refresh.isActive())
        m_refresh.start();
}

void TAnswerTimesCommands::Refresh()
{
    m_refresh.stop();
    if (m_panel)
        m_panel->SetStats(m_session.Decoding().Statistics());
}

void TAnswerTimesCommands::EndRun()
{
    // The session goes after this: it must not call into a panel that goes with the window.
    Show(false);
    m_ended = true;
}

void TAnswerTimesCommands::Load(const QSettings &settings)
{
    m_show->setChecked(kShown.Read(settings));
}

void TAnswerTimesCommands::Save(QSettings &settings) const
{
    kShown.Write(settings, m_show->isChecked());
}
