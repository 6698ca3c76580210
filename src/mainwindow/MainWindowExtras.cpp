// The everyday tools' controls: where they sit in the window, the settings they keep between runs
// and finer time stamps.
#include "mainwindow/MainWindowExtras.h"
#include "app/TSharedStore.h"
#include "data/gui/dialogsupport.h"
#include "log/gui/TTrafficLog.h"
#include "log/gui/logtime.h"
#include "mainwindow/TMenuSlots.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TFindCommands.h"
#include "mainwindow/features/TSendChecksum.h"
#include "platform/gui/commandguard.h"
#include "platform/logstamp.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QTime>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <chrono>

namespace {

int64_t SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

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

// A submenu of exclusive choices; the first is checked.
QMenu *AddChoiceMenu(TMenuSlots &menus, QWidget *parent, int rank, const char *name, const QString &title,
                     std::initializer_list<std::pair<const char *, QString>> choices,
                     std::vector<QAction *> &actions)
{
    auto *sub = new QMenu(title, parent);
    sub->setObjectName(QString::fromLatin1(name));
    sub->setAccessibleName(QString(title).remove(QLatin1Char('&')));
    sub->menuAction()->setObjectName(QString::fromLatin1(name) + QStringLiteral("Action"));
    menus.AddMenu(MenuSlot::ViewReceived, sub, rank);
    auto *group = new QActionGroup(sub);
    for (const auto &[choice, text] : choices) {
        QAction *action = sub->addAction(text);
        action->setObjectName(QString::fromLatin1(choice));
        action->setCheckable(true);
        group->addAction(action);
        actions.push_back(action);
    }
    actions.front()->setChecked(true);
    return sub;
}

} // namespace

TfrmMainExtras::TfrmMainExtras() = default;
TfrmMainExtras::~TfrmMainExtras() = default;

void TfrmMain::AddTextFormMenus()
{
    TfrmMainExtras &x = *m_extras;
    std::vector<QAction *> encodings;
    x.mnuViewEncoding =
        AddChoiceMenu(*m_slots, ui.mnuView, 40, "mnuViewEncoding", QStringLiteral("Text &Encoding"),
                      {{"mnuViewEncodingLatin1", QStringLiteral("&Latin-1")},
                       {"mnuViewEncodingUtf8", QStringLiteral("&UTF-8")}},
                      encodings);
    x.mnuViewEncodingLatin1 = encodings[0];
    x.mnuViewEncodingUtf8 = encodings[1];
    connect(x.mnuViewEncodingUtf8, &QAction::toggled, this, [this](bool on) {
        ui.edData->SetUtf8(on);
        // The instant text is shown again in the new encoding; its bytes stay.
        const CCommData item = GetInstantItem();
        m_shownInstantText.SetUtf8(on);
        if (m_currentType == FMT_STRING)
            SetInstantItem(item);
    });

    std::vector<QAction *> ansi;
    x.mnuViewAnsi = AddChoiceMenu(*m_slots, ui.mnuView, 50, "mnuViewAnsi", QStringLiteral("ANSI C&olours"),
                                  {{"mnuViewAnsiOff", QStringLiteral("&Off")},
                                   {"mnuViewAnsiStrip", QStringLiteral("&Strip")},
                                   {"mnuViewAnsiShow", QStringLiteral("S&how")}},
                                  ansi);
    x.mnuViewAnsiOff = ansi[0];
    x.mnuViewAnsiStrip = ansi[1];
    x.mnuViewAnsiShow = ansi[2];
    for (int i = 0; i < 3; ++i)
        connect(ansi[static_cast<size_t>(i)], &QAction::toggled, ui.edData, [this, i](bool on) {
            if (on)
                ui.edData->SetAnsi(static_cast<LogAnsi>(i));
        });
}

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

    // View: finer stamps, after "Show SendData".
    x.mnuViewMilliseconds = MakeAction(this, "mnuViewMilliseconds", QStringLiteral("&Milliseconds"), true);
    x.mnuViewTimeSincePrevious =
        MakeAction(this, "mnuViewTimeSincePrevious", QStringLiteral("Time Since &Previous"), true);
    m_slots->Add(MenuSlot::ViewReceived, x.mnuViewMilliseconds, 10);
    m_slots->Add(MenuSlot::ViewReceived, x.mnuViewTimeSincePrevious, 20);
    connect(x.mnuViewMilliseconds, &QAction::toggled, this, [this](bool on) {
        m_extras->milliseconds = on;
        UpdateViewState();
    });
    connect(x.mnuViewTimeSincePrevious, &QAction::toggled, this, [this](bool on) {
        m_extras->sincePrevious = on;
        UpdateViewState();
    });
    ui.edData->SetTimeSource([this](int64_t ageMs) { return StampText(ageMs); });
    x.mnuViewSplitLines =
        MakeAction(this, "mnuViewSplitLines", QStringLiteral("Split Received &Lines"), true);
    m_slots->Add(MenuSlot::ViewReceived, x.mnuViewSplitLines, 30);
    connect(x.mnuViewSplitLines, &QAction::toggled, ui.edData, &TTrafficLog::SetSplitLines);
    AddTextFormMenus();

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

bool TfrmMain::ExtraStamps() const
{
    return m_extras && (m_extras->milliseconds || m_extras->sincePrevious);
}

std::string TfrmMain::StampText(int64_t ageMs)
{
    TfrmMainExtras &x = *m_extras;
    std::string time;
    if (x.milliseconds)
        time =
            TimeOfDayMsText(QTime::currentTime().addMSecs(static_cast<int>(-ageMs)).msecsSinceStartOfDay());
    else if (m_showTime)
        time = LogTimeText(ageMs);
    const int64_t now = SteadyMs() - ageMs;
    std::string since;
    if (x.sincePrevious && x.lastLineMs >= 0)
        since = SincePreviousText(now - x.lastLineMs);
    x.lastLineMs = now;
    return JoinStamp(time, since);
}

void TfrmMain::LoadEverydaySettings(const QSettings &settings)
{
    TfrmMainExtras &x = *m_extras;
    const int ending = settings.value(QStringLiteral("LineEnding")).toString().trimmed().toInt();
    x.cboLineEnding->setCurrentIndex(ending >= 0 && ending < x.cboLineEnding->count() ? ending : 0);
    x.mnuViewMilliseconds->setChecked(ReadFlag(settings, "Milliseconds"));
    x.mnuViewTimeSincePrevious->setChecked(ReadFlag(settings, "TimeSincePrevious"));
    x.mnuOpReconnect->setChecked(ReadFlag(settings, "ReconnectAutomatically"));
}

void TfrmMain::SaveEverydaySettings(QSettings &settings)
{
    const TfrmMainExtras &x = *m_extras;
    settings.setValue(QStringLiteral("LineEnding"), x.cboLineEnding->currentIndex());
    settings.setValue(QStringLiteral("Milliseconds"), x.milliseconds ? 1 : 0);
    settings.setValue(QStringLiteral("TimeSincePrevious"), x.sincePrevious ? 1 : 0);
    settings.setValue(QStringLiteral("ReconnectAutomatically"), m_session->Reconnect() ? 1 : 0);
}
