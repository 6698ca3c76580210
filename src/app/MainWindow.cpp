#include "app/MainWindow.h"
#include "app/CommandGuard.h"
#include "app/MainWindowExtras.h"
#include "app/SharedStore.h"
#include "app/TrafficLog.h"
#include "platform/appfolder.h"
#include "platform/gui/qthandover.h"
#include "recdata/gui/TfrmRecDataList.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
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
    resize(676, 582);
    CentreOnScreen();
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

void TfrmMain::CentreOnScreen()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
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
}

void TfrmMain::SetRecDataList(TfrmRecDataList *list)
{
    m_recDataList = list;
    if (list)
        list->SetAddToSendData([this](const CCommData &item) { AddSendListItem(item); });
}

void TfrmMain::AddRecData(const CCommData &item)
{
    if (m_recDataList)
        m_recDataList->AddRecData(item);
    else
        m_recHeld.push_back(item);
}

void TfrmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        UpdateControls();
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
