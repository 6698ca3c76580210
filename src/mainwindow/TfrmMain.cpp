#include "mainwindow/TfrmMain.h"
#include "app/TSharedStore.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/MainWindowExtras.h"
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
    ISessionView &view = *this;
    m_session = std::make_unique<CPortSession>(view, std::make_unique<CQtHandOver>(this),
                                               std::make_unique<CQtHandOver>(this), RuleFilePath());
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
    ConnectViewCommands();
    ConnectSendCommands();
    ConnectPortCommands();
    ConnectOtherCommands();
    ConnectAutoSendCommands();
    ConnectEverydayCommands();
    ConnectSendFileCommands();
    ConnectPlotCommands();
    ConnectChecksumCheck();
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
