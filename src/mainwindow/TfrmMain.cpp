#include "mainwindow/TfrmMain.h"
#include "app/TSharedStore.h"
#include "log/gui/TTrafficLog.h"
#include "log/gui/logtime.h"
#include "mainwindow/MainWindowExtras.h"
#include "mainwindow/TMenuSlots.h"
#include "mainwindow/TSessionBridge.h"
#include "mainwindow/TStatusArea.h"
#include "mainwindow/features/TAutoSendCommands.h"
#include "mainwindow/features/TCaptureCommands.h"
#include "mainwindow/features/TLogViewCommands.h"
#include "mainwindow/features/TModemLines.h"
#include "mainwindow/features/TPlotCommands.h"
#include "mainwindow/features/TRecvChecksum.h"
#include "mainwindow/features/TSendFileCommands.h"
#include "platform/appfolder.h"
#include "platform/gui/commandguard.h"
#include "platform/gui/qthandover.h"
#include "recdata/gui/TfrmRecDataList.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QSplitter>
#include <QTextEdit>
#include <QToolBar>
#include <QTreeWidget>

TfrmMain::TfrmMain(QWidget *parent) : TfrmMain(1, nullptr, parent) {}

TfrmMain::TfrmMain(int number, std::shared_ptr<TSharedStore> store, QWidget *parent)
    : QMainWindow(parent), m_number(number),
      m_store(store ? std::move(store) : std::make_shared<TSharedStore>())
{
    setObjectName(QStringLiteral("frmMain"));
    m_loadsShared = m_store->FirstUse();
    BuildMainWindowUi(this, ui);
    PlaceFirstTime();
    PrepareRuleFile();
    m_bridge = new TSessionBridge(this);
    m_session = std::make_unique<CPortSession>(*m_bridge, std::make_unique<CQtHandOver>(this),
                                               std::make_unique<CQtHandOver>(this), RuleFilePath());
    m_status = std::make_unique<TStatusArea>(ui);
    m_slots = new TMenuSlots(this);
    DeclareMenuSlots();
    MakeFeatures();
    BuildReceivePipeline();
    ConnectStore();
    ConnectCommands();
    InitSession();
}

TfrmMain::~TfrmMain()
{
    // The engine's threads and the sender end before any of the window goes: the session's
    // last outcomes are dropped with its hand-overs, never told to a window going away.
    m_session->StopAutoSend();
    RunGuarded(this, [this] { SaveSettings(); });
    m_lastLink.reset();
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

void TfrmMain::ConnectCommands()
{
    connect(ui.mnuFileExit, &QAction::triggered, this, [] { QApplication::quit(); });
    connect(ui.lsvSendData, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        ui.popmnuSendData->popup(ui.lsvSendData->viewport()->mapToGlobal(pos));
    });
    ConnectSendCommands();
    ConnectPortCommands();
    ConnectOtherCommands();
    ConnectEverydayCommands();
}

// Where features put their commands, in the layout of the menus (see TMenuSlots).
void TfrmMain::DeclareMenuSlots()
{
    const QList<QAction *> file = ui.mnuFile->actions();
    m_slots->Declare(MenuSlot::FileTools, ui.mnuFile, file.value(file.indexOf(ui.mnuFileExit) - 1));
    const QList<QAction *> view = ui.mnuView->actions();
    m_slots->Declare(MenuSlot::ViewReceived, ui.mnuView,
                     view.value(view.indexOf(ui.mnuViewShowSendData) + 1));
    m_slots->Declare(MenuSlot::ViewWindows, ui.mnuView, nullptr, true);
    m_slots->Declare(MenuSlot::EditFind, ui.mnuSetting, nullptr, true);
    m_slots->Declare(MenuSlot::OperateLines, ui.mnuOperate, nullptr, true);
    m_slots->Declare(MenuSlot::OperateReconnect, ui.mnuOperate, nullptr, true);
    m_slots->Declare(MenuSlot::ToolbarLines, findChild<QToolBar *>(QStringLiteral("tbrMain")), nullptr, true);
}

// Each feature gets the parts it works with; none of them knows the window.
void TfrmMain::MakeFeatures()
{
    const auto showMessage = [this](const QString &text) { ShowMessage(text); };
    m_autoSend = new TAutoSendCommands(this, *m_session,
                                       {ui.btnStartAutoSend, ui.btnPauseAutoSend, ui.btnStopAutoSend,
                                        ui.mnuOpStartAutoSend, ui.mnuOpPauseAutoSend, ui.mnuOpStopAutoSend});
    m_modemLines = new TModemLines(this, *m_session, *m_slots, *m_status);
    m_sendFile =
        new TSendFileCommands(this, *m_session, *m_bridge, *m_slots, *m_status, *ui.edData, showMessage);
    m_recvChecksum = new TRecvChecksum(this, *m_slots, *m_status, *ui.edData);
    m_plot = new TPlotCommands(this, *m_slots);
    m_logView = new TLogViewCommands(this, ui, *m_bridge, *m_slots, [this] { ReloadSymbols(); });
    m_capture = new TCaptureCommands(this, *ui.edData, *m_slots, *m_status);
    connect(m_autoSend, &TAutoSendCommands::StateChanged, this, &TfrmMain::UpdateControls);
    connect(m_sendFile, &TSendFileCommands::StateChanged, this, &TfrmMain::UpdateControls);
    connect(m_logView, &TLogViewCommands::Utf8Changed, this, [this](bool on) {
        // The instant text is shown again in the new encoding; its bytes stay.
        const CCommData item = GetInstantItem();
        m_shownInstantText.SetUtf8(on);
        if (m_currentType == FMT_STRING)
            SetInstantItem(item);
    });

    connect(m_bridge, &TSessionBridge::Event, this, &TfrmMain::SessionEvent);
    connect(m_bridge, &TSessionBridge::SendWaiting, this, &TfrmMain::SessionSendWaiting);
    connect(m_bridge, &TSessionBridge::SendDone, this, &TfrmMain::SessionSendDone);
    connect(m_bridge, &TSessionBridge::PortLost, this, &TfrmMain::SessionPortLost);
    connect(m_bridge, &TSessionBridge::Opened, this, &TfrmMain::SessionOpened);
}

// The one path of a received block, in this order:
// - the counters first: they only note that a block came, shown at their next refresh;
// - the checksum check before the log, so the block's log line carries the check's mark;
// - the log, then the plot, which both read the block;
// - the received list last of the readers: it keeps the block itself rather than a copy;
// - the pacing of the port's hand-overs, which reads no block, once it has been dealt with.
void TfrmMain::BuildReceivePipeline()
{
    m_bridge->SetBlockNamer([](int64_t ageMs) { return LogTimeText(ageMs); });
    CReceivePipeline &pipeline = m_bridge->Pipeline();
    pipeline.Add("counters", [this](CCommData &, int64_t) { ScheduleRecCount(); });
    pipeline.Add("checksum", [this](CCommData &block, int64_t) { m_recvChecksum->Check(block); });
    pipeline.Add("log", [this](CCommData &block, int64_t ageMs) { ui.edData->LogRecData(block, ageMs); });
    pipeline.Add("plot", [this](CCommData &block, int64_t) { m_plot->Feed(block); });
    pipeline.Add("received list", [this](CCommData &block, int64_t) { AddRecData(std::move(block)); });
    pipeline.Add("pacing", [this](CCommData &, int64_t) { PaceBlocks(); });
}

void TfrmMain::SetRecDataList(TfrmRecDataList *list)
{
    m_recDataList = list;
    if (list)
        list->SetAddToSendData([this](const CCommData &item) { AddSendListItem(item); });
}

void TfrmMain::AddRecData(CCommData item)
{
    if (m_recDataList)
        m_recDataList->AddRecData(std::move(item));
    else
        m_recHeld.push_back(std::move(item));
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

// Enter in the instant-send edit sends instead of breaking the line.
bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui.edSendItem && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            btnSendClick();
            return true;
        }
        if ((key == Qt::Key_Up || key == Qt::Key_Down) && RecallHistory(key == Qt::Key_Up))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::ShowMessage(const QString &text)
{
    if (m_quietMessages) {
        m_heldMessage += (m_heldMessage.isEmpty() ? QString() : QStringLiteral("\n")) + text;
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("msgBox"));
    box.exec();
}
