// The two-port monitor in the window: started from its dialog in place of the window's own port,
// its blocks and notes on their way from its threads to the log, and stopped by Close Port.
#include "data/gui/dialogsupport.h"
#include "link/linklist.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/TStatusPanel.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TLogViewCommands.h"
#include "monitor/gui/TfrmMonitorSetting.h"
#include "monitor/portmonitor.h"
#include "platform/errors.h"
#include "platform/gui/commandguard.h"
#include "platform/gui/qthandover.h"
#include "platform/logstamp.h"
#include "serial/serial.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QMessageBox>
#include <QToolButton>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

// One run of the monitor. Its threads only queue what they bring; the window takes the whole
// queue at once on its own thread, so a busy line costs one hand-over per batch, not per block,
// and blocks and notes reach the log in the order the threads gave them.
class TMonitorRun : public QObject
{
public:
    using Arrival = std::variant<ST_MonitorBlock, std::string>; // a block or a note
    using Show = std::function<void(TMonitorRun &run, std::vector<Arrival> &arrivals)>;

    TMonitorRun(QObject *window, Show show) : QObject(window), m_show(std::move(show)) {}

    // GUI thread: logs everything queued so far.
    void Take()
    {
        std::vector<Arrival> arrivals;
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            arrivals.swap(m_waiting);
            m_wakeQueued = false;
        }
        if (!arrivals.empty())
            m_show(*this, arrivals);
    }

    ST_MonitorSetup setup;
    std::string portsText;                         // what the status bar says while the run lasts
    int64_t bytes[2] = {0, 0}, blocks[2] = {0, 0}; // read on A, on B
    int64_t lastArrivalMs = -1;

private:
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

    Show m_show;
    std::mutex m_lock;
    std::vector<Arrival> m_waiting;
    bool m_wakeQueued = false;
    CQtHandOver m_handOver{this};

public:
    // Last, so it is stopped before the queue and the hand-over its threads feed go.
    CPortMonitor monitor{[this](ST_MonitorBlock &&block) { Queue(std::move(block)); },
                         [this](const std::string &note) { Queue(note); }};
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

std::string LinkText(const COM_PORT_SETTING &link)
{
    return link.LinkName + " (" + CSerial::DevicePath(link.PortName) + ")";
}

} // namespace

bool TfrmMain::MonitorRunning() const
{
    return m_monitorRun != nullptr;
}

void TfrmMain::mnuOpMonitorClick()
{
    if (MonitorRunning())
        return;
    RunGuarded(this, [this] {
        // The file is the list the link manager left; a list that stopped loading is offered as far
        // as it was read.
        try {
            LoadLinkList(DefaultLinkFilePath());
        } catch (const EKestrumError &e) {
            ShowErrorBox(this, e);
        }
        ST_MonitorSetup setup;
        {
            TfrmMonitorSetting dialog(this, LinkList().Links(), LastSetup());
            if (dialog.exec() != QDialog::Accepted)
                return;
            setup = dialog.Setup();
        }
        LastSetup() = setup;
        if (IsPortOpen() || WaitingForPort()) {
            QMessageBox ask(QMessageBox::Question, windowTitle(),
                            QStringLiteral("The monitor takes the place of this window's port. Close "
                                           "the port and start the monitor?"),
                            QMessageBox::Yes | QMessageBox::No, this);
            ask.setObjectName(QStringLiteral("msgBox"));
            if (ask.exec() != QMessageBox::Yes)
                return;
            btnClosePortClick();
        }

        auto *run =
            new TMonitorRun(this, [this](TMonitorRun &r, std::vector<TMonitorRun::Arrival> &arrivals) {
                const bool since = m_logView->SincePrevious();
                for (TMonitorRun::Arrival &arrival : arrivals) {
                    if (const std::string *note = std::get_if<std::string>(&arrival)) {
                        ui.edData->LogNote(*note);
                        continue;
                    }
                    const ST_MonitorBlock &block = std::get<ST_MonitorBlock>(arrival);
                    const int port = block.Tag == EMonitorTag::A || block.Tag == EMonitorTag::AtoB ? 0 : 1;
                    r.bytes[port] += static_cast<int64_t>(block.Data.size());
                    r.blocks[port] += 1;
                    // Milliseconds always: the order of a request and its answer is what is watched.
                    const int64_t ms = block.ArrivalMs;
                    const std::string time =
                        TimeOfDayMsText(QDateTime::fromMSecsSinceEpoch(ms).time().msecsSinceStartOfDay());
                    const std::string gap = since && r.lastArrivalMs >= 0
                                                ? SincePreviousText(ms - r.lastArrivalMs)
                                                : std::string();
                    r.lastArrivalMs = ms;
                    ui.edData->LogMonitorData(DirectionOf(block.Tag), block.Data, JoinStamp(time, gap));
                }
                static_cast<TStatusPanel *>(ui.panels[6])
                    ->SetCount(QStringLiteral("A:%1/%2").arg(r.bytes[0]).arg(r.blocks[0]));
                ui.panels[7]->setText(QStringLiteral("B:%1/%2").arg(r.bytes[1]).arg(r.blocks[1]));
            });
        std::string error;
        if (!run->monitor.Start(setup, error)) {
            delete run;
            ShowMessage(QStringLiteral("The monitor did not start: ") + QString::fromLocal8Bit(error));
            return;
        }
        run->setup = setup;
        const std::string b = setup.VirtualB ? setup.VirtualPath : LinkText(setup.PortB);
        run->portsText = "A: " + LinkText(setup.PortA) + "  B: " + b;
        m_monitorRun = run;
        ui.edData->LogNote(
            std::string("Monitor started") + (setup.Bridge ? ", bridged" : "") + ": A " +
            LinkText(setup.PortA) + ", B " +
            (setup.VirtualB ? "virtual port " + b + " (" + run->monitor.VirtualDevice() + ")" : b));
        UpdateControls();
        ShowMonitorStatus();
    });
}

void TfrmMain::StopMonitor()
{
    if (!m_monitorRun)
        return;
    TMonitorRun *run = m_monitorRun;
    run->monitor.Stop();
    run->Take();
    m_monitorRun = nullptr;
    delete run;
    ui.edData->LogNote("Monitor stopped");
    UpdateControls();
    if (!IsPortOpen())
        ShowLinkStatus(COM_PORT_SETTING());
}

void TfrmMain::ShowMonitorStatus()
{
    const TMonitorRun &run = *m_monitorRun;
    ui.panels[0]->setText(QString::fromLocal8Bit(run.portsText));
    // The title tells a monitoring window from the others in the task bar.
    setWindowTitle(QStringLiteral("Kestrum - ") + QString::fromLocal8Bit(run.portsText));
    QString tip = run.setup.Bridge ? QStringLiteral("Monitoring two ports, bridged")
                                   : QStringLiteral("Monitoring two ports");
    if (run.setup.VirtualB)
        tip += QStringLiteral("; port B is the virtual port ") +
               QString::fromLocal8Bit(run.setup.VirtualPath) + QStringLiteral(" on ") +
               QString::fromLocal8Bit(run.monitor.VirtualDevice());
    ui.panels[0]->setToolTip(tip);
    ui.panels[6]->setText(QStringLiteral("A:%1/%2").arg(run.bytes[0]).arg(run.blocks[0]));
    ui.panels[7]->setText(QStringLiteral("B:%1/%2").arg(run.bytes[1]).arg(run.blocks[1]));
    FitStatusPanels(ui, true);
}

// While the monitor runs the window's port stays closed: Close Port stops the monitor, and
// nothing opens the port until it has.
void TfrmMain::UpdateMonitorControls()
{
    const bool running = MonitorRunning();
    ui.mnuOpMonitor->setEnabled(!running);
    ui.mnuOpOpenPort->setEnabled(!running);
    ui.btnLinkList->setEnabled(!running);
    if (!running)
        return;
    ui.mnuOpClosePort->setEnabled(true);
    ui.btnClosePort->setEnabled(true);
    ui.mnuOpQuickLink->setEnabled(false);
    ui.btnQuickLink->setEnabled(false);
}
