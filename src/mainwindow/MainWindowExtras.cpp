// The everyday tools' controls: where they sit in the window and the settings they keep between
// runs.
#include "mainwindow/MainWindowExtras.h"
#include "app/TSharedStore.h"
#include "data/gui/dialogsupport.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/TMenuSlots.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TFindCommands.h"
#include "mainwindow/features/TLogViewCommands.h"
#include "mainwindow/features/TSendChecksum.h"
#include "platform/gui/commandguard.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSettings>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QAction *MakeAction(QObject *parent, const char *name, const QString &text, bool checkable = false)
{
    auto *action = new QAction(text, parent);
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(checkable);
    return action;
}

bool ReadFlag(const QSettings &settings, const char *name)
{
    return settings.value(QLatin1String(name)).toString().trimmed().toInt() != 0;
}

} // namespace

TfrmMainExtras::TfrmMainExtras() = default;
TfrmMainExtras::~TfrmMainExtras() = default;

void TfrmMain::ConnectEverydayCommands()
{
    m_extras = std::make_unique<TfrmMainExtras>();
    TfrmMainExtras &x = *m_extras;
    if (m_loadsShared)
        RunGuarded(this, [this] { m_store->LoadHistory(); });
    x.history = m_store->History();

    // Line ending, beside the format.
    x.cboLineEnding = new QComboBox(ui.cboFormat->parentWidget());
    x.cboLineEnding->setObjectName(QStringLiteral("cboLineEnding"));
    x.cboLineEnding->setAccessibleName(QStringLiteral("Line ending"));
    x.cboLineEnding->setToolTip(QStringLiteral("Line ending added to instant sends in STRING format"));
    x.cboLineEnding->addItems(
        {QStringLiteral("None"), QStringLiteral("CR"), QStringLiteral("LF"), QStringLiteral("CR LF")});
    ui.cboFormat->parentWidget()->layout()->addWidget(x.cboLineEnding);
    // Made after the line ending, which comes before it in the focus order.
    m_sendChecksum = new TSendChecksum(this, ui.edSendItem, ui.cboFormat,
                                       {[this] { return RefuseUnparsedInstantText(); },
                                        [this] { return GetInstantItem(); },
                                        [this](const CCommData &item) { SetInstantItem(item); }});

    // The find bar is made after the checksum's lists, which come before it in the focus order.
    new TFindCommands(this, centralWidget(), *ui.edData, *m_slots);

    // Operate: reconnect, after the modem lines.
    x.mnuOpReconnect = MakeAction(this, "mnuOpReconnect", QStringLiteral("Reconnect &Automatically"), true);
    m_slots->Add(MenuSlot::OperateReconnect, x.mnuOpReconnect);
    connect(x.mnuOpReconnect, &QAction::toggled, this, [this](bool on) {
        m_session->SetReconnect(on);
        ShowReconnectWait();
        if (m_session->LostLink())
            UpdateControls(); // Close Port ends a wait
    });
    connect(&x.reconnectTimer, &QTimer::timeout, this, &TfrmMain::ReconnectTick);
}

void TfrmMain::LoadEverydaySettings(const QSettings &settings)
{
    TfrmMainExtras &x = *m_extras;
    const int ending = settings.value(QStringLiteral("LineEnding")).toString().trimmed().toInt();
    x.cboLineEnding->setCurrentIndex(ending >= 0 && ending < x.cboLineEnding->count() ? ending : 0);
    m_logView->LoadStamps(settings);
    x.mnuOpReconnect->setChecked(ReadFlag(settings, "ReconnectAutomatically"));
}

void TfrmMain::SaveEverydaySettings(QSettings &settings)
{
    const TfrmMainExtras &x = *m_extras;
    settings.setValue(QStringLiteral("LineEnding"), x.cboLineEnding->currentIndex());
    m_logView->SaveStamps(settings);
    settings.setValue(QStringLiteral("ReconnectAutomatically"), m_session->Reconnect() ? 1 : 0);
}
