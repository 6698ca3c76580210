#include "mainwindow/TfrmMain.h"
#include "log/gui/TTrafficLog.h"
#include "log/gui/logtime.h"
#include "mainwindow/TFeatureList.h"
#include "mainwindow/features/TCaptureCommands.h"
#include "mainwindow/features/TConsoleCommands.h"
#include "mainwindow/features/TFindCommands.h"
#include "mainwindow/features/TInstantSend.h"
#include "mainwindow/features/TLogViewCommands.h"
#include "mainwindow/features/TModemLines.h"
#include "mainwindow/features/TMonitorCommands.h"
#include "mainwindow/features/TPlotCommands.h"
#include "mainwindow/features/TPortCommands.h"
#include "mainwindow/features/TReceiveCounters.h"
#include "mainwindow/features/TReceiveFileCommands.h"
#include "mainwindow/features/TReconnect.h"
#include "mainwindow/features/TRecvChecksum.h"
#include "mainwindow/features/TSendChecksum.h"
#include "mainwindow/features/TSendFileCommands.h"
#include "mainwindow/features/TSendListPanel.h"
#include "mainwindow/features/TSendMenus.h"
#include "mainwindow/features/TSendReports.h"
#include "mainwindow/features/TWindowCommands.h"
#include "mainwindow/windowplan.h"
#include "platform/appfolder.h"
#include "platform/gui/commandguard.h"
#include "platform/gui/qthandover.h"
#include "platform/windowfiles.h"
#include "recdata/gui/TfrmRecDataList.h"
#include "shell/TFeatureServices.h"
#include "shell/TMenuSlots.h"
#include "shell/TSessionBridge.h"
#include "shell/TSharedStore.h"
#include "shell/TStatusArea.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QTextEdit>
#include <QThread>
#include <QToolBar>

TfrmMain::TfrmMain(QWidget *parent) : TfrmMain(1, nullptr, parent) {}

TfrmMain::TfrmMain(int number, std::shared_ptr<TSharedStore> store, QWidget *parent)
    : QMainWindow(parent), m_number(number),
      m_store(store ? std::move(store) : std::make_shared<TSharedStore>())
{
    setObjectName(QStringLiteral("frmMain"));
    m_loadsShared = m_store->FirstUse();
    BuildMainWindowUi(this, ui);
    PlaceFirstTime();
    RunGuarded(this, [this] { PrepareWindowRuleFile(m_number); });
    m_bridge = new TSessionBridge(this);
    m_session = std::make_unique<CPortSession>(*m_bridge, std::make_unique<CQtHandOver>(this),
                                               std::make_unique<CQtHandOver>(this), RuleFilePath());
    m_bridge->PumpFrames(m_session->Frames());
    m_bridge->TickAnswers(m_session->Frames(), m_session->Decoding());
    m_status = std::make_unique<TStatusArea>(ui, StatusWidgetPlan());
    m_slots = new TMenuSlots(this, MainMenuPlan(), this);
    m_features = new TFeatureList(this);
    m_services = new TFeatureServices(this);
    if (m_loadsShared)
        RunGuarded(this, [this] { m_store->LoadHistory(); });
    MakeFeatures();
    BuildReceivePipeline();
    ConnectStore();
    InitSession();
}

TfrmMain::~TfrmMain()
{
    // The engine's threads and the sender end before any of the window goes: the session's
    // last outcomes are dropped with its hand-overs, never told to a window going away.
    m_session->StopAutoSend();
    m_features->EndRuns();
    RunGuarded(this, [this] { SaveSettings(); });
    m_session.reset();
    // The capture watches the log: it ends before the log goes, with what the close logged.
    delete m_capture;
    m_capture = nullptr;
}

namespace {

QRect AvailableArea(const QWidget *window)
{
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QSize FitArea(const QSize &size, const QRect &area)
{
    return area.isEmpty() ? size : size.boundedTo(area.size());
}

} // namespace

QSize TfrmMain::sizeHint() const
{
    return FitArea(QMainWindow::sizeHint(), AvailableArea(this));
}

QSize TfrmMain::minimumSizeHint() const
{
    return FitArea(QMainWindow::minimumSizeHint(), AvailableArea(this));
}

// The window's first size is too small for a log to read on today's screens; it stays the least
// it takes, unless the screen is smaller still.
void TfrmMain::PlaceFirstTime()
{
    const QRect area = AvailableArea(this);
    QSize size(676, 582);
    if (!area.isEmpty())
        size = size.expandedTo(QSize(area.width() * 2 / 3, area.height() * 4 / 5)).boundedTo(area.size());
    resize(size);
    // The send list keeps its height as the window grows; the log takes the rest, about two
    // thirds of the room. A saved splitter replaces this.
    ui.splitter->setSizes({size.height(), size.height() / 5});
    if (!area.isEmpty())
        move(area.center() - QPoint(width() / 2, height() / 2));
}

// Each feature gets the parts it works with; none of them knows the window.
void TfrmMain::MakeFeatures()
{
    const auto showMessage = [this](const QString &text) { ShowMessage(text); };
    const auto send = [this](const CCommData &item) { SendItem(item); };
    const auto portOpen = [this] { return IsPortOpen(); };
    TTrafficLog &log = *ui.edData;

    TFeatureList &features = *m_features;
    TFeatureServices &services = *m_services;

    m_port =
        features.Add(new TPortCommands(this, *m_session, *m_bridge, services, *m_status, log,
                                       {ui.mnuOpOpenPort, ui.mnuOpQuickLink, ui.mnuOpClosePort}, showMessage,
                                       [this](const COM_PORT_SETTING &link) { ShowTitle(link); }));
    m_port->SetHolderNumber(m_number);
    m_reconnect =
        features.Add(new TReconnect(this, *m_session, services, *m_slots, *m_status, log, showMessage),
                     SettingsPlace::Reconnect);
    m_monitor = features.Add(
        new TMonitorCommands(this, ui.mnuOpMonitor, *m_session, services, *m_status, log, showMessage));
    features.Add(new TSendReports(this, *m_session, *m_bridge, services, *m_status, showMessage));
    m_instantSend = features.Add(new TInstantSend(this, {ui.edSendItem, ui.btnSend, ui.btnEdit, ui.cboFormat},
                                                  *m_store, services, send, portOpen, showMessage));
    features.Keep(
        SettingsPlace::LineEnding, [this](const QSettings &s) { m_instantSend->LoadLineEnding(s); },
        [this](QSettings &s) { m_instantSend->SaveLineEnding(s); });
    features.Keep(
        SettingsPlace::SendChecksum, [this](const QSettings &s) { m_instantSend->Checksum().Load(s); },
        [this](QSettings &s) { m_instantSend->Checksum().Save(s); });
    features.Add(new TSendMenus(this, *m_slots, ui.cboFormat, m_instantSend->LineEndingList()));
    // After the instant send's line ending and checksum lists, which come before it in the focus order.
    new TFindCommands(this, centralWidget(), log, *m_slots, services);
    m_sendList = features.Add(new TSendListPanel(
        this,
        {ui.lsvSendData, ui.popmnuSendData, ui.mnuOpSendItem, ui.mnuSendItem, ui.mnuSendAndGoNext,
         ui.popmnuSendAndGoNext, ui.mnuCopyToInput, ui.mnuSettingSendSetting, ui.mnuSendDataSetting},
        *m_store, send, [this](const CCommData &item) { m_instantSend->SetItem(item); }, portOpen));
    m_modemLines = features.Add(new TModemLines(this, *m_session, services, *m_slots, *m_status),
                                SettingsPlace::ModemLines);
    // Before the send's: a receive's notes of its files go into the log ahead of the note of its end.
    auto *receiveFile = features.Add(new TReceiveFileCommands(this, centralWidget(), *m_session, *m_bridge,
                                                              services, *m_slots, log, showMessage),
                                     SettingsPlace::ReceiveFile);
    // A place of its own: written after every value that came before it.
    features.Keep(
        SettingsPlace::ReceiveLimits, [receiveFile](const QSettings &s) { receiveFile->LoadLimits(s); },
        [receiveFile](QSettings &s) { receiveFile->SaveLimits(s); });
    features.Add(
        new TSendFileCommands(this, *m_session, *m_bridge, services, *m_slots, *m_status, log, showMessage),
        SettingsPlace::SendFile);
    m_recvChecksum = features.Add(new TRecvChecksum(this, *m_slots, *m_status, log, services),
                                  SettingsPlace::RecvChecksum);
    // Read with the check itself; written after the values that came before it.
    features.Keep(
        SettingsPlace::RecvChecksumLinks, [](const QSettings &) {},
        [this](QSettings &s) { m_recvChecksum->SaveLinks(s); });
    m_plot = features.Add(new TPlotCommands(this, *m_session, *m_slots, m_number));
    m_counters =
        features.Add(new TReceiveCounters(this, *m_session, services, *m_status, ui.lblInboundLoss, log));
    // The table is the one all windows share: each of them shows it.
    const auto reloadSymbols = [this] { m_store->ReloadSymbols(); };
    m_logView = features.Add(new TLogViewCommands(this,
                                                  {ui.edData,
                                                   ui.mnuView,
                                                   {{ui.mnuViewText, ui.mnuText},
                                                    {ui.mnuViewHex, ui.mnuHex},
                                                    {ui.mnuViewDecimal, ui.mnuDecimal},
                                                    {ui.mnuViewTextSymbol, ui.mnuTextSymbol},
                                                    {ui.mnuViewShowTime, ui.mnuShowTime},
                                                    {ui.mnuViewShowSendData, ui.mnuShowSendData}},
                                                   ui.mnuViewClearDisplay,
                                                   ui.mnuClearDisplay,
                                                   ui.mnuFileSave,
                                                   ui.mnuCopytoClipboard,
                                                   ui.mnuViewAsciiTable},
                                                  *m_bridge, *m_slots, services, reloadSymbols));
    features.Keep(
        SettingsPlace::Stamps, [this](const QSettings &s) { m_logView->LoadStamps(s); },
        [this](QSettings &s) { m_logView->SaveStamps(s); });
    features.Keep(
        SettingsPlace::Scrollback, [this](const QSettings &s) { m_logView->LoadScrollback(s); },
        [this](QSettings &s) { m_logView->SaveScrollback(s); });
    features.Keep(
        SettingsPlace::TextForms, [this](const QSettings &s) { m_logView->LoadTextForms(s); },
        [this](QSettings &s) { m_logView->SaveTextForms(s); });
    features.Keep(
        SettingsPlace::Dates, [this](const QSettings &s) { m_logView->LoadDates(s); },
        [this](QSettings &s) { m_logView->SaveDates(s); });
    const std::vector<QWidget *> sendArea = {findChild<QWidget *>(QStringLiteral("lsvSendData")),
                                             findChild<QWidget *>(QStringLiteral("pnlSend"))};
    m_console = features.Add(new TConsoleCommands({this, ui.stkLogPlace, menuBar(), sendArea}, *m_session,
                                                  *m_bridge, *m_slots, *m_status, log, services),
                             SettingsPlace::Console);
    m_capture = features.Add(new TCaptureCommands(this, log, *m_slots, *m_status), SettingsPlace::Capture);
    m_capture->Follow(
        services, [this] { return IsPortOpen(); }, m_number);
    m_capture->FollowTraffic(*m_session);
    new TWindowCommands(this, {ui.mnuSettingAutoSend, ui.mnuSettingRecDataList}, RuleFilePath(),
                        [this] { return m_recDataList; });
    const ST_FeatureContext context{this,     ui,        m_number, *m_session, *m_bridge,  services,
                                    *m_slots, *m_status, log,      *m_store,   showMessage};
    for (const ST_PlannedFeature &planned : PlannedFeatures())
        planned.Make(context, features, planned.SettingsPlace);
    // The plot's decoded values came after the plan's features: written after their values.
    features.Keep(
        SettingsPlace::Later, [this](const QSettings &s) { m_plot->Load(s); },
        [this](QSettings &s) { m_plot->Save(s); });

    connect(m_features, &TFeatureList::StateChanged, this, &TfrmMain::UpdateControls);
    // What is typed after an open is meant for the port, wherever the keyboard was before: a tool
    // button, or the menu bar still held by a lone Alt, where letters would open menus.
    connect(m_services, &TFeatureServices::PortOpened, this, [this] {
        QWidget *typing =
            m_console->Shown() ? ui.stkLogPlace->currentWidget() : static_cast<QWidget *>(ui.edSendItem);
        typing->setFocus(Qt::OtherFocusReason);
    });
    // A transfer's bytes are counted as they come, and shown no block: its reports redraw them.
    for (auto signal : {&TSessionBridge::TransferFile, &TSessionBridge::TransferProgress})
        connect(m_bridge, signal, m_counters, &TReceiveCounters::Count);
    connect(m_bridge, &TSessionBridge::TransferDone, m_counters, &TReceiveCounters::Count);
    connect(m_bridge, &TSessionBridge::Event, this, &TfrmMain::SessionEvent);
}

// The one path of a received block, in this order:
// - the counters first: they only note that a block came, shown at their next refresh;
// - the checksum check before the log, so the block's log line carries the check's mark;
// - the log, which reads the block;
// - the console right after the log: the log stays the record of what came, the console shows it
//   again as a screen, and the answers its terminal sends to what it read follow the block's line;
// - the plot, which reads the block too;
// - the received list last of the readers: it keeps the block itself rather than a copy;
// - the pacing of the port's hand-overs, which reads no block, once it has been dealt with.
void TfrmMain::BuildReceivePipeline()
{
    m_bridge->SetBlockNamer([](int64_t ageMs) { return LogTimeText(ageMs); });
    // After the session's own "rules" stage; each stage is for received blocks unless it says so,
    // and none for a transfer's protocol, which its reports show.
    CTrafficPath &path = m_session->Traffic();
    const auto received = [](auto stage) {
        return [stage](ST_Traffic &event) {
            if (event.Direction == ETraffic::Received && !event.Transfer)
                stage(event);
        };
    };
    path.Add("counters", received([this](ST_Traffic &) { m_counters->Count(); }));
    // It marks the log line the block is about to get.
    path.Add("checksum", received([this](ST_Traffic &event) { m_recvChecksum->Check(event.Data); }));
    // The log is the record of both directions; what a send's caller logs itself is not logged here.
    // With a line per frame, the frames carry what the log never shows too: it is passed over.
    path.Add("log", [this](ST_Traffic &event) {
        ui.edData->SetTrafficSeq(event.Seq);
        if (event.Direction == ETraffic::Received)
            ui.edData->LogTrafficReceived(event.Data, event.AgeMs, !event.Transfer);
        else if (event.Direction == ETraffic::Sent)
            ui.edData->LogTrafficSent(event.Data, event.AgeMs, event.Logged && !event.Transfer);
        else if (event.Direction == ETraffic::MonitorAtoB || event.Direction == ETraffic::MonitorBtoA)
            m_monitor->LogTraffic(event);
    });
    // After the log, which stays the record: the console shows the same bytes as a screen.
    path.Add("console", received([this](ST_Traffic &event) { m_console->Feed(event.Data); }));
    path.Add("plot", received([this](ST_Traffic &event) { m_plot->Feed(event.Data); }));
    // It takes the block itself, so it comes after every reader.
    path.Add("received list", received([this](ST_Traffic &event) { AddRecData(std::move(event.Data)); }));
    path.Add("pacing", received([this](ST_Traffic &) { m_counters->Pace(); }));
}

void TfrmMain::ConnectStore()
{
    connect(m_store.get(), &TSharedStore::SymbolsChanged, this, &TfrmMain::ShowSymbols);
    connect(m_store.get(), &TSharedStore::HistoryChanged, m_instantSend, &TInstantSend::HistoryChanged);
}

void TfrmMain::UpdateControls()
{
    m_features->UpdateControls();
}

void TfrmMain::SessionEvent(uint32_t eventWord, bool loss)
{
    if (eventWord & (EV_CTS | EV_DSR | EV_RLSD | EV_RING))
        m_modemLines->ShowLines();
    if (loss)
        m_counters->NoteLoss();
}

// ---- What makes this window one of several ----

std::string TfrmMain::RuleFilePath() const
{
    return WindowFilePath(m_number, "Default", ".ass");
}

std::string TfrmMain::RecDataFilePath() const
{
    return WindowFilePath(m_number, "TempRec", ".tmp");
}

QString TfrmMain::SettingsGroup() const
{
    return m_number > 1 ? QStringLiteral("Window%1").arg(m_number) : QString();
}

void TfrmMain::ShowTitle(const COM_PORT_SETTING &link)
{
    QString title = QStringLiteral("Kestrum");
    QString named;
    if (!link.PortName.empty()) {
        const QString port = QString::fromLatin1(link.PortName);
        named = link.LinkName.empty()
                    ? port
                    : QString::fromLatin1(link.LinkName) + QStringLiteral(" (") + port + QStringLiteral(")");
        title += QStringLiteral(" - ") + named;
    } else if (m_number > 1) {
        title += tr(" - Window %1").arg(m_number);
    }
    setWindowTitle(title);
    if (m_plot)
        m_plot->ShowLink(named);
}

void TfrmMain::ShowMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("msgBox"));
    box.exec();
}

void TfrmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        UpdateControls();
}

bool TfrmMain::event(QEvent *event)
{
    // The bar has its new width, or a panel a new text, by the time either reaches the window.
    if (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest)
        FitPortPanel(ui);
    return QMainWindow::event(event);
}

// ---- The traffic log ----

// ---- The lists all windows share ----

void TfrmMain::ShowSymbols()
{
    ui.edData->SetSymbolTable(m_store->Symbols());
}

void TfrmMain::SetRecDataList(TfrmRecDataList *list)
{
    m_recDataList = list;
    if (list)
        list->SetAddToSendData([this](const CCommData &item) { m_store->AddSendListItem(item); });
}

void TfrmMain::AddRecData(CCommData item)
{
    if (m_recDataList)
        m_recDataList->AddRecData(std::move(item));
    else
        m_recHeld.push_back(std::move(item));
}

// ---- Sending ----

// The session queues a send from the GUI thread and returns; the engine's sends go to the
// session directly and wait there for the line.
void TfrmMain::SendItem(const CCommData &item)
{
    const CPortSession::ESend sent = m_session->Send(item);
    if (QThread::currentThread() != thread())
        return;
    if (sent == CPortSession::ESend::Refused)
        ShowMessage(tr("The port is not taking data; the send was not queued."));
    else if (sent == CPortSession::ESend::Transferring)
        ShowMessage(tr("A file is being sent; the send was not queued."));
}
