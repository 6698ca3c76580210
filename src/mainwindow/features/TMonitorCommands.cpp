#include "mainwindow/features/TMonitorCommands.h"
#include "data/gui/dialogsupport.h"
#include "frame/gui/TFramingStore.h"
#include "link/linklist.h"
#include "log/gui/TTrafficLog.h"
#include "monitor/gui/TfrmMonitorSetting.h"
#include "monitor/gui/monitorerrors.h"
#include "monitor/portmonitor.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/gui/commandguard.h"
#include "platform/gui/qthandover.h"
#include "platform/handoverbound.h"
#include "platform/logstamp.h"
#include "serial/linecounters.h"
#include "serial/serial.h"
#include "session/portsession.h"
#include "shell/TFeatureServices.h"
#include "shell/TStatusArea.h"
#include "shell/TStatusPanel.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

// One run of the monitor. Its threads only queue what they bring; the window takes the whole
// queue at once on its own thread, so a busy line costs one hand-over per batch, not per block,
// and the start, blocks, notes and events reach the window in the order the threads gave them.
class TMonitorRun : public QObject
{
public:
    struct Started
    {
        std::string error; // empty: both ports are read
    };
    // A block, a note, how the start ended, an event, or what a side's line did.
    using Arrival = std::variant<ST_MonitorBlock, std::string, Started, EMonitorEvent, ST_LineEvent>;
    using Show = std::function<void(TMonitorRun &run)>;

    TMonitorRun(QObject *window, CSessionFrames &frames, Show show)
        : QObject(window), m_frames(frames), m_show(std::move(show))
    {
    }

    // GUI thread: shows everything queued so far.
    void Take() { m_show(*this); }
    std::vector<Arrival> Waiting()
    {
        std::vector<Arrival> arrivals;
        const std::lock_guard<std::mutex> guard(m_lock);
        arrivals.swap(m_waiting);
        m_wakeQueued = false;
        return arrivals;
    }

    void Queue(Arrival &&arrival)
    {
        bool wake = false;
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            m_waiting.push_back(std::move(arrival));
            wake = !m_wakeQueued;
            m_wakeQueued = true;
        }
        if (wake)
            m_handOver.Forward([this] { Take(); });
    }

    ST_MonitorSetup setup;
    bool started = false;
    bool stopping = false;                         // Close Port came: a start's outcome is not told
    std::string portsText;                         // what the status bar says while the run lasts
    int64_t bytes[2] = {0, 0}, blocks[2] = {0, 0}; // read on A, on B
    int64_t lastArrivalMs = -1;
    CInboundLoss loss;          // reading held by a window that fell behind
    CInboundLoss lineErrors[2]; // on A, on B: noted a burst at a time
    QTimer lineErrorNote{this};
    int64_t lineErrorBurstMs = 0;          // when the burst being noted began
    std::vector<std::string> framingNotes; // logged once the run has started

private:
    // Stamped on the thread that read them, framed when the window pumps.
    void Frame(const ST_MonitorBlock &block)
    {
        const bool onA = block.Tag == EMonitorTag::A || block.Tag == EMonitorTag::AtoB;
        m_frames.SideRead(onA ? EFrameDirection::MonitorAtoB : EFrameDirection::MonitorBtoA,
                          block.Data.data(), block.Data.size());
    }

    CSessionFrames &m_frames;
    Show m_show;
    std::mutex m_lock;
    std::vector<Arrival> m_waiting;
    bool m_wakeQueued = false;
    CQtHandOver m_handOver{this};

public:
    // Last, so it is stopped before the queue and the hand-over its threads feed go.
    CPortMonitor monitor{[this](ST_MonitorBlock &&block) {
                             Frame(block);
                             Queue(std::move(block));
                         },
                         [this](const std::string &note) { Queue(note); },
                         [this](EMonitorEvent event) { Queue(event); },
                         [this](const ST_LineEvent &event) { Queue(event); }};
};

namespace {

// Proposed the next time the dialog opens, for the rest of the run of the program.
ST_MonitorSetup &LastSetup()
{
    static ST_MonitorSetup setup;
    return setup;
}

LogDirection DirectionOf(EMonitorTag tag)
{
    switch (tag) {
    case EMonitorTag::A:
        return LogDirection::PortA;
    case EMonitorTag::B:
        return LogDirection::PortB;
    case EMonitorTag::AtoB:
        return LogDirection::AtoB;
    default:
        return LogDirection::BtoA;
    }
}

int64_t SteadyNowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string LinkText(const COM_PORT_SETTING &link)
{
    return link.LinkName + " (" + CSerial::DevicePath(link.PortName) + ")";
}

// The errors as the window counts them: what the driver counted of the kind, one at least. A
// break or a modem line is no loss, and the window's log shows neither: false.
bool CountLineError(CInboundLoss &loss, const ST_LineEvent &event)
{
    ST_LineCounters counts;
    switch (event.Kind) {
    case ELineEvent::Framing:
        counts.Frame = event.Count;
        loss.AddLineErrors(CE_FRAME, counts);
        return true;
    case ELineEvent::Parity:
        counts.Parity = event.Count;
        loss.AddLineErrors(CE_RXPARITY, counts);
        return true;
    case ELineEvent::Overrun:
        counts.Overrun = event.Count;
        loss.AddLineErrors(CE_OVERRUN, counts);
        return true;
    case ELineEvent::ModemLines:
    case ELineEvent::Break:
        break;
    }
    return false;
}

} // namespace

TMonitorCommands::TMonitorCommands(QWidget *window, QAction *mnuOpMonitor, CPortSession &session,
                                   TFeatureServices &services, TStatusArea &status, TTrafficLog &log,
                                   std::function<void(const QString &)> showMessage)
    : QObject(window), m_window(window), m_action(mnuOpMonitor), m_session(session), m_services(services),
      m_status(status), m_log(log), m_showMessage(std::move(showMessage))
{
    services.Offer(static_cast<IMonitorService &>(*this));
    connect(m_action, &QAction::triggered, this, &TMonitorCommands::Start);
    connect(&services, &TFeatureServices::CloseAsked, this, &TMonitorCommands::Stop);
}

TMonitorCommands::~TMonitorCommands() = default;

void TMonitorCommands::Start()
{
    if (Running())
        return;
    RunGuarded(m_window, [this] {
        // The file is the list the link manager left; a list that stopped loading is offered as far
        // as it was read.
        try {
            LoadLinkList(DefaultLinkFilePath());
        } catch (const EKestrumError &e) {
            ShowErrorBox(m_window, e);
        }
        ST_MonitorSetup setup;
        {
            TfrmMonitorSetting dialog(m_window, LinkList().Links(), LastSetup());
            if (dialog.exec() != QDialog::Accepted)
                return;
            setup = dialog.Setup();
        }
        LastSetup() = setup;
        if (m_session.IsOpen() || m_session.WaitingForPort()) {
            QMessageBox ask(QMessageBox::Question, m_window->windowTitle(),
                            tr("The monitor takes the place of this window's port. Close "
                               "the port and start the monitor?"),
                            QMessageBox::Yes | QMessageBox::No, m_window);
            ask.setObjectName(QStringLiteral("msgBox"));
            if (ask.exec() != QMessageBox::Yes)
                return;
            m_services.Port().ClosePortCommand();
        }

        auto *run = new TMonitorRun(this, m_session.Frames(), [this](TMonitorRun &r) { Show(r); });
        run->setup = setup;
        run->lineErrorNote.setSingleShot(true);
        connect(&run->lineErrorNote, &QTimer::timeout, run, [this, run] { NoteLineErrors(*run); });
        // Before the start: the first read may come before the start is told.
        const QString framingError = TFramingStore::Instance().Error();
        if (!framingError.isEmpty())
            run->framingNotes.push_back(framingError.toStdString());
        m_session.Decoding().SetMonitorMaster(setup.MasterB ? EFrameDirection::MonitorBtoA
                                                            : EFrameDirection::MonitorAtoB);
        const std::vector<std::string> notes = FrameSides(&setup);
        run->framingNotes.insert(run->framingNotes.end(), notes.begin(), notes.end());
        const std::string b = setup.VirtualB ? setup.VirtualPath : LinkText(setup.PortB);
        run->portsText = "A: " + LinkText(setup.PortA) + "  B: " + b;
        std::string error;
        if (!run->monitor.Begin(
                setup, [run](const std::string &e) { run->Queue(TMonitorRun::Started{e}); }, error)) {
            delete run;
            FrameSides(nullptr);
            m_showMessage(tr("The monitor did not start: %1").arg(MonitorErrorText(error)));
            return;
        }
        // A network port may keep the start waiting for seconds; Close Port gives it up.
        m_run = run;
        m_status.SetPanel(TStatusArea::Port, tr("Starting the monitor..."), tr("Close Port stops the start"));
        m_status.Fit(false);
        emit StateChanged();
    });
}

void TMonitorCommands::Show(TMonitorRun &r)
{
    std::vector<TMonitorRun::Arrival> arrivals = r.Waiting();
    if (arrivals.empty())
        return;
    const bool since = m_services.LogStamps().SincePrevious();
    size_t taken = 0;
    for (TMonitorRun::Arrival &arrival : arrivals) {
        if (const std::string *note = std::get_if<std::string>(&arrival)) {
            m_log.LogNote(*note);
            continue;
        }
        if (const auto *started = std::get_if<TMonitorRun::Started>(&arrival)) {
            if (!r.stopping)
                Started(r, started->error);
            continue;
        }
        if (const auto *event = std::get_if<EMonitorEvent>(&arrival)) {
            if (*event == EMonitorEvent::ReadingHeld) {
                r.loss.AddReadingHeld(CHandOverBound::kLimit);
                for (const std::string &note : r.loss.TakeBurstNotes())
                    m_log.LogNote(note);
            } else if (!r.stopping) {
                // The run's own hand-over is delivering this: it goes once the delivery has ended.
                QMetaObject::invokeMethod(
                    this,
                    [this, run = QPointer<TMonitorRun>(&r)] {
                        if (run && run == m_run)
                            Stop();
                    },
                    Qt::QueuedConnection);
            }
            continue;
        }
        if (const auto *line = std::get_if<ST_LineEvent>(&arrival)) {
            // Between the blocks of its side it came between, for the capture and the export.
            m_session.LineEvents().Add(*line);
            NoteLineError(r, *line);
            continue;
        }
        ST_MonitorBlock &block = std::get<ST_MonitorBlock>(arrival);
        const int port = block.Tag == EMonitorTag::A || block.Tag == EMonitorTag::AtoB ? 0 : 1;
        r.bytes[port] += static_cast<int64_t>(block.Data.size());
        taken += block.Data.size();
        r.blocks[port] += 1;
        // The window's traffic path takes it, as it takes a port's blocks; its log stage comes
        // back to LogTraffic while the block is shown.
        ST_Traffic traffic;
        traffic.Direction = port == 0 ? ETraffic::MonitorAtoB : ETraffic::MonitorBtoA;
        const int64_t nowMs = QDateTime::currentMSecsSinceEpoch();
        traffic.WallMs =
            block.ArrivalMs + int64_t{QDateTime::fromMSecsSinceEpoch(block.ArrivalMs).offsetFromUtc()} * 1000;
        traffic.SteadyMs = SteadyNowMs() - std::max<int64_t>(0, nowMs - block.ArrivalMs);
        traffic.SteadyMicros = block.ArrivalSteadyMicros;
        traffic.AgeMs = std::max<int64_t>(0, nowMs - block.ArrivalMs);
        traffic.Source = port == 0 ? r.setup.PortA.PortName : r.setup.PortB.PortName;
        traffic.Data = CCommData(std::move(block.Data), FMT_STRING);
        m_showing = {&r, since, block.Tag};
        m_session.Traffic().Run(traffic);
        m_showing = {};
    }
    // Its reading waits only while the window is behind.
    r.monitor.Taken(taken);
    if (!r.started)
        return;
    static_cast<TStatusPanel *>(m_status.Panel(TStatusArea::Rec))
        ->SetCount(QStringLiteral("A:%1/%2").arg(r.bytes[0]).arg(r.blocks[0]));
    m_status.Panel(TStatusArea::Send)->setText(QStringLiteral("B:%1/%2").arg(r.bytes[1]).arg(r.blocks[1]));
    static_cast<TStatusPanel *>(m_status.Panel(TStatusArea::Send))->KeepCountsWhole();
}

// A burst of line errors is noted once it ends, as the window notes its own, and per side:
// "Line errors on port A: 3 framing".
void TMonitorCommands::NoteLineError(TMonitorRun &r, const ST_LineEvent &event)
{
    if (!CountLineError(r.lineErrors[event.Port == ELinePort::MonitorB ? 1 : 0], event))
        return;
    const int64_t now = SteadyNowMs();
    if (!r.lineErrorNote.isActive())
        r.lineErrorBurstMs = now;
    if (now - r.lineErrorBurstMs < CInboundLoss::kLongestBurstMs)
        r.lineErrorNote.start(CInboundLoss::kQuietMs);
}

void TMonitorCommands::NoteLineErrors(TMonitorRun &r)
{
    r.lineErrorNote.stop();
    for (size_t side = 0; side < 2; ++side)
        for (std::string note : r.lineErrors[side].TakeBurstNotes()) {
            const size_t colon = note.find(':');
            if (colon != std::string::npos)
                note.insert(colon, side == 0 ? " on port A" : " on port B");
            m_log.LogNote(note);
        }
}

void TMonitorCommands::LogTraffic(const ST_Traffic &traffic)
{
    TMonitorRun *r = m_showing.Run;
    if (!r)
        return;
    // Milliseconds always: the order of a request and its answer is what is watched.
    const int64_t ms = traffic.WallMs;
    const std::string time = TimeOfDayMsText(TimeOfDayMs(ms));
    const std::string gap = m_showing.SincePrevious && r->lastArrivalMs >= 0
                                ? SincePreviousText(ms - r->lastArrivalMs)
                                : std::string();
    r->lastArrivalMs = ms;
    CFrameLines::ST_MonitorBlock block;
    block.Side = m_showing.Tag == EMonitorTag::A || m_showing.Tag == EMonitorTag::AtoB ? 0 : 1;
    block.Tag = DirectionOf(m_showing.Tag);
    block.Data = &traffic.Data.Data();
    block.Stamp = JoinStamp(time, gap);
    block.WallMs = ms;
    block.SteadyMs = traffic.SteadyMs;
    block.SincePrevious = m_showing.SincePrevious;
    m_log.LogMonitorBlock(block);
}

void TMonitorCommands::Started(TMonitorRun &run, const std::string &error)
{
    if (!error.empty()) {
        // Nothing stays open; the run goes once its hand-over has finished delivering this.
        m_run = nullptr;
        run.deleteLater();
        FrameSides(nullptr);
        emit StateChanged();
        m_services.Port().ShowLinkStatus(COM_PORT_SETTING());
        m_showMessage(tr("The monitor did not start: %1").arg(MonitorErrorText(error)));
        return;
    }
    run.started = true;
    const ST_MonitorSetup &setup = run.setup;
    const std::string b = setup.VirtualB ? setup.VirtualPath : LinkText(setup.PortB);
    m_log.LogNote(std::string("Monitor started") + (setup.Bridge ? ", bridged" : "") + ": A " +
                  LinkText(setup.PortA) + ", B " +
                  (setup.VirtualB ? "virtual port " + b + " (" + run.monitor.VirtualDevice() + ")" : b));
    for (const std::string &note : run.framingNotes)
        m_log.LogNote(note);
    ShowStatus();
}

void TMonitorCommands::Stop()
{
    if (!m_run)
        return;
    TMonitorRun *run = m_run;
    run->stopping = true;
    run->monitor.Stop();
    run->Take();
    NoteLineErrors(*run);
    FrameSides(nullptr);
    m_run = nullptr;
    const bool started = run->started;
    delete run;
    if (started)
        m_log.LogNote("Monitor stopped");
    emit StateChanged();
    if (!m_session.IsOpen())
        m_services.Port().ShowLinkStatus(COM_PORT_SETTING());
}

std::vector<std::string> TMonitorCommands::FrameSides(const ST_MonitorSetup *setup)
{
    std::vector<std::string> notes;
    CSessionFrames &frames = m_session.Frames();
    for (const bool sideA : {true, false}) {
        const EFrameDirection dir = sideA ? EFrameDirection::MonitorAtoB : EFrameDirection::MonitorBtoA;
        std::optional<COM_PORT_SETTING> link;
        if (setup)
            link = sideA || setup->VirtualB ? setup->PortA : setup->PortB;
        // The virtual port's reads come from no adapter: its floor is not port A's.
        if (link && !sideA && setup->VirtualB)
            link->PortName = setup->VirtualPath;
        std::optional<ST_FramingProfile> profile;
        try {
            if (link)
                profile = TFramingStore::Instance().Choices().ForLink(link->LinkName);
            if (profile)
                profile = ResolveFloor(*profile, link->PortName);
            frames.SetSideProfile(dir, profile, link ? LineTimingOf(*link) : ST_LineTiming());
        } catch (const std::exception &e) {
            notes.push_back(std::string("Port ") + (sideA ? "A" : "B") + " is not framed: " + e.what());
            frames.SetSideProfile(dir, std::nullopt, ST_LineTiming());
        }
    }
    return notes;
}

void TMonitorCommands::ShowStatus()
{
    const TMonitorRun &run = *m_run;
    QLabel *port = m_status.Panel(TStatusArea::Port);
    port->setText(QString::fromLocal8Bit(run.portsText));
    // The title tells a monitoring window from the others in the task bar.
    m_window->setWindowTitle(tr("Kestrum - %1").arg(QString::fromLocal8Bit(run.portsText)));
    QString tip = run.setup.Bridge ? tr("Monitoring two ports, bridged") : tr("Monitoring two ports");
    if (run.setup.VirtualB)
        tip += tr("; port B is the virtual port %1 on %2")
                   .arg(QString::fromLocal8Bit(run.setup.VirtualPath),
                        QString::fromLocal8Bit(run.monitor.VirtualDevice()));
    port->setToolTip(tip);
    m_services.Port().ShowMonitorLines(run.setup.PortA, run.setup.VirtualB ? nullptr : &run.setup.PortB);
    m_status.Panel(TStatusArea::Rec)->setText(QStringLiteral("A:%1/%2").arg(run.bytes[0]).arg(run.blocks[0]));
    m_status.Panel(TStatusArea::Send)
        ->setText(QStringLiteral("B:%1/%2").arg(run.bytes[1]).arg(run.blocks[1]));
    m_status.Fit(true);
}

void TMonitorCommands::UpdateControls()
{
    m_action->setEnabled(!Running());
}
