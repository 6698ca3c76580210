#include "mainwindow/features/TConsoleCommands.h"

#include "console/gui/TConsoleView.h"
#include "help/gui/helpcontent.h"
#include "log/gui/TTrafficLog.h"
#include "platform/gui/settingvalue.h"
#include "session/portsession.h"
#include "shell/TFeatureServices.h"
#include "shell/TMenuSlots.h"
#include "shell/TSessionBridge.h"
#include "shell/TStatusArea.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>
#include <QSettings>
#include <QStackedWidget>
#include <algorithm>
#include <chrono>

namespace {

const TSettingValue<bool> kShown("ConsoleShown", false);
// The clock the session stamps its sends with.
int64_t SteadyNowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What waits for the line beyond this is dropped: a device that has stopped taking data would
// otherwise let a long paste grow without end.
constexpr size_t kMaxPendingBytes = 1 << 20;

const char *const kHint = QT_TRANSLATE_NOOP(
    "TConsoleCommands",
    "Console: Ctrl+Shift+T back to the log \u00b7 Ctrl+Shift+M menus \u00b7 Ctrl+Shift+C/V copy/paste");

} // namespace

TConsoleCommands::TConsoleCommands(const ST_Controls &controls, CPortSession &session, TSessionBridge &events,
                                   TMenuSlots &menus, TStatusArea &status, TTrafficLog &log,
                                   TFeatureServices &services)
    : QObject(controls.Window), m_window(controls.Window), m_place(*controls.Place),
      m_menuBar(controls.MenuBar), m_sendArea(controls.SendArea), m_session(session), m_status(status),
      m_log(log), m_services(services)
{
    m_showItem = menus.AddNew(this, "mnuViewConsole", tr("&Console"), true);
    m_showItem->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    connect(m_showItem, &QAction::toggled, this, &TConsoleCommands::Show);
    QAction *settings = menus.AddNew(this, "mnuViewConsoleSettings", tr("Console Settin&gs..."));
    connect(settings, &QAction::triggered, this, &TConsoleCommands::EditSettings);

    // The status bar says how to get out while the console has every other key.
    m_hint = new QLabel(tr(kHint));
    m_hint->setObjectName(QStringLiteral("lblConsoleKeys"));
    m_hint->setAccessibleName(tr("Console keys"));
    m_hint->setToolTip(m_hint->text());
    // Cut rather than widen a narrow window or crowd the status panels; the whole text is in the
    // tool tip.
    m_hint->setMinimumWidth(40);
    m_hint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_hint->hide();
    m_status.AddPermanent(m_hint);

    connect(&events, &TSessionBridge::SendDone, this, &TConsoleCommands::SendDone);
    m_feedSlices.setInterval(0);
    connect(&m_feedSlices, &QTimer::timeout, this, &TConsoleCommands::FeedSlice);
    m_linePause.setSingleShot(true);
    m_linePause.setInterval(kLinePauseMs);
    connect(&m_linePause, &QTimer::timeout, this, [this] { LogTyped(true); });
}

bool TConsoleCommands::Shown() const
{
    return m_showItem->isChecked();
}

void TConsoleCommands::MakeView()
{
    m_view = new TConsoleView(&m_place);
    m_view->setObjectName(QStringLiteral("console"));
    m_view->setAccessibleName(tr("Console"));
    m_view->setFont(m_log.font());
    m_place.addWidget(m_view);
    Apply();
    connect(m_view, &TConsoleView::ToDevice, this, &TConsoleCommands::ToDevice);
    connect(m_view, &TConsoleView::LeaveAsked, m_showItem, [this] { m_showItem->setChecked(false); });
    connect(m_view, &TConsoleView::MenuBarAsked, this, [this] {
        const QList<QAction *> menus = m_menuBar->actions();
        const auto first =
            std::find_if(menus.begin(), menus.end(), [](QAction *a) { return a->isVisible(); });
        if (first != menus.end())
            m_menuBar->setActiveAction(*first);
    });
    connect(m_view, &TConsoleView::FindAsked, this, [this] { m_services.Find().Open(); });
    connect(m_view, &TConsoleView::HelpAsked, this,
            [this] { ShowHelpPage(m_window, QStringLiteral("console.html")); });
}

void TConsoleCommands::Apply()
{
    if (!m_view)
        return;
    m_view->SetKeySettings(m_settings.Keys);
    m_view->SetScrollbackLines(m_settings.ScrollbackLines);
    m_view->SetLocalEcho(m_settings.LocalEcho);
    m_view->SetPasteDelays(m_settings.PasteCharMs, m_settings.PasteLineMs);
    m_view->SetUtf8(!m_settings.Latin1);
}

void TConsoleCommands::Show(bool on)
{
    if (on && !m_view)
        MakeView();
    m_hint->setVisible(on);
    if (on) {
        for (QWidget *w : m_sendArea) {
            if (w->isVisibleTo(m_window)) {
                w->hide();
                m_sendAreaHidden.push_back(w);
            }
        }
        m_place.setCurrentWidget(m_view);
        m_services.Find().SearchOther(m_view,
                                      [view = m_view](const QString &text, bool forward, bool matchCase) {
                                          return view->Find(text, forward, matchCase);
                                      });
        m_view->setFocus();
        return;
    }
    LogTyped(true);
    for (QWidget *w : m_sendAreaHidden)
        w->show();
    m_sendAreaHidden.clear();
    m_services.Find().SearchOther(nullptr, {});
    m_place.setCurrentWidget(&m_log);
    m_log.setFocus();
}

void TConsoleCommands::EditSettings()
{
    if (m_view)
        m_settings.LocalEcho = m_view->LocalEcho(); // its context menu turns it on and off too
    if (TfrmConsoleSettings::Ask(m_window, m_settings))
        Apply();
}

void TConsoleCommands::Feed(const CCommData &block)
{
    if (!m_view)
        return;
    const Bytes &data = block.Data();
    m_backlog.insert(m_backlog.end(), data.begin(), data.end());
    if (m_backlog.size() - m_backlogAt > kMaxBacklog) {
        m_backlogAt = m_backlog.size() - kMaxBacklog;
        m_status.ShowSendNote(tr("console: received data came faster than it could be shown, some dropped"));
    }
    if (!m_feedSlices.isActive())
        FeedSlice();
}

void TConsoleCommands::FeedSlice()
{
    constexpr size_t kStep = 16 * 1024;
    QElapsedTimer clock;
    clock.start();
    while (m_backlogAt < m_backlog.size() && clock.elapsed() < kSliceMs) {
        const size_t n = std::min(kStep, m_backlog.size() - m_backlogAt);
        m_view->Feed(m_backlog.data() + m_backlogAt, n);
        m_backlogAt += n;
    }
    if (m_backlogAt == m_backlog.size()) {
        m_backlog.clear();
        m_backlogAt = 0;
        m_feedSlices.stop();
        return;
    }
    // What was read goes once it is the larger part, so the copying stays in proportion.
    if (m_backlogAt > m_backlog.size() / 2) {
        m_backlog.erase(m_backlog.begin(), m_backlog.begin() + static_cast<std::ptrdiff_t>(m_backlogAt));
        m_backlogAt = 0;
    }
    m_feedSlices.start();
}

// ---- To the device ----

void TConsoleCommands::ToDevice(const std::vector<uint8_t> &bytes, bool typed)
{
    if (bytes.empty())
        return;
    if (m_pendingBytes + bytes.size() > kMaxPendingBytes) {
        m_status.ShowSendNote(tr("console: the device is not taking data, keys dropped"));
        return;
    }
    if (!m_pending.empty() && m_pending.back().Typed == typed)
        m_pending.back().Data.insert(m_pending.back().Data.end(), bytes.begin(), bytes.end());
    else
        m_pending.push_back({Bytes(bytes.begin(), bytes.end()), typed});
    m_pendingBytes += bytes.size();
    SendPending();
}

// Handed to the sender and never waited for: the outcome comes back as a SendDone.
void TConsoleCommands::SendPending()
{
    if (m_inFlight || m_pending.empty())
        return;
    ST_Out &out = m_pending.front();
    const CPortSession::ESend sent =
        m_session.Send(CCommData(out.Data, FMT_STRING), out.Typed ? ESendLog::ByCaller : ESendLog::Never);
    QString note;
    switch (sent) {
    case CPortSession::ESend::Queued:
        m_inFlight = true;
        m_pendingBytes -= out.Data.size();
        m_pending.pop_front();
        return;
    case CPortSession::ESend::Refused:
        return; // the sender's queue is full of other sends: the next outcome brings another try
    case CPortSession::ESend::NotOpen:
        note = tr("console: the port is not open, keys dropped");
        break;
    case CPortSession::ESend::Transferring:
        note = tr("console: a file is being sent, keys dropped");
        break;
    }
    m_pending.clear();
    m_pendingBytes = 0;
    m_status.ShowSendNote(note);
}

void TConsoleCommands::SendDone(const ST_SendReport &report)
{
    if (report.Log != ESendLog::Each) {
        m_inFlight = false;
        const ST_SendOutcome &outcome = report.Outcome;
        if (report.Log == ESendLog::ByCaller && report.Logged) {
            const Bytes &data = report.Item.Data();
            const size_t went =
                outcome.Whole() ? data.size() : std::min<size_t>(outcome.Written, data.size());
            m_lastTypedMs = report.BeganSteadyMs;
            if (m_typedLine.empty())
                m_typedBeganMs = m_lastTypedMs;
            m_typedLine.insert(m_typedLine.end(), data.begin(),
                               data.begin() + static_cast<std::ptrdiff_t>(went));
            LogTyped(false);
        }
    }
    SendPending();
}

void TConsoleCommands::LogTyped(bool unfinished)
{
    // A line ends with the last byte Enter sends.
    const bool crEnds = m_settings.Keys.Enter == EConsoleEnter::Cr;
    const int64_t age = std::max<int64_t>(0, SteadyNowMs() - m_typedBeganMs);
    bool logged = false;
    auto begin = m_typedLine.begin();
    for (auto at = begin; at != m_typedLine.end(); ++at) {
        if (*at == '\n' || (*at == '\r' && crEnds)) {
            m_log.LogSendData(CCommData(Bytes(begin, at + 1), FMT_STRING), age);
            logged = true;
            begin = at + 1;
        }
    }
    m_typedLine.erase(m_typedLine.begin(), begin);
    if (unfinished && !m_typedLine.empty()) {
        m_log.LogSendData(CCommData(m_typedLine, FMT_STRING), age);
        logged = true;
        m_typedLine.clear();
    }
    if (logged)
        m_typedBeganMs = m_lastTypedMs; // what is left of the line went out with the last send
    // What came while the line was typed follows it.
    if (logged || m_typedLine.empty())
        m_log.HoldReceived(false);
    if (!m_typedLine.empty())
        m_log.HoldReceived(true);
    if (m_typedLine.empty())
        m_linePause.stop();
    else
        m_linePause.start();
}

// ---- Settings ----

void TConsoleCommands::Load(const QSettings &settings)
{
    m_settings = LoadConsoleSettings(settings);
    Apply();
    m_showItem->setChecked(kShown.Read(settings));
}

void TConsoleCommands::Save(QSettings &settings) const
{
    kShown.Write(settings, Shown());
    ST_ConsoleSettings console = m_settings;
    if (m_view)
        console.LocalEcho = m_view->LocalEcho();
    SaveConsoleSettings(settings, console);
}
