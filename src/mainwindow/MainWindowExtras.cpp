// The everyday tools' controls: where they sit in the window, the settings they keep between runs,
// finer time stamps, capture to file and the find bar.
#include "mainwindow/MainWindowExtras.h"
#include "app/TSharedStore.h"
#include "data/gui/dialogsupport.h"
#include "log/gui/TFindBar.h"
#include "log/gui/TLogCapture.h"
#include "log/gui/TTrafficLog.h"
#include "log/gui/logtime.h"
#include "mainwindow/TfrmMain.h"
#include "platform/gui/commandguard.h"
#include "platform/logstamp.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
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

QAction *AddAction(QMenu *menu, QAction *before, const char *name, const QString &text,
                   bool checkable = false)
{
    auto *action = new QAction(text, menu);
    action->setObjectName(QString::fromLatin1(name));
    action->setCheckable(checkable);
    menu->insertAction(before, action);
    return action;
}

QToolButton *AddToolButton(QToolBar *bar, const char *name, const QString &text, const QString &tip)
{
    QToolButton *button = MakeToolButton(bar, name, text, tip);
    bar->addWidget(button);
    return button;
}

bool ReadFlag(const QSettings &settings, const char *name)
{
    return settings.value(QLatin1String(name)).toString().trimmed().toInt() != 0;
}

// A submenu of exclusive choices; the first is checked.
QMenu *AddChoiceMenu(QMenu *menu, QAction *before, const char *name, const QString &title,
                     std::initializer_list<std::pair<const char *, QString>> choices,
                     std::vector<QAction *> &actions)
{
    auto *sub = new QMenu(title, menu);
    sub->setObjectName(QString::fromLatin1(name));
    sub->setAccessibleName(QString(title).remove(QLatin1Char('&')));
    sub->menuAction()->setObjectName(QString::fromLatin1(name) + QStringLiteral("Action"));
    menu->insertMenu(before, sub);
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

void TfrmMain::AddTextFormMenus(QAction *before)
{
    TfrmMainExtras &x = *m_extras;
    std::vector<QAction *> encodings;
    x.mnuViewEncoding = AddChoiceMenu(ui.mnuView, before, "mnuViewEncoding", QStringLiteral("Text &Encoding"),
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
    x.mnuViewAnsi = AddChoiceMenu(ui.mnuView, before, "mnuViewAnsi", QStringLiteral("ANSI C&olours"),
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
    AddChecksumControls();

    // View: finer stamps, after "Show SendData".
    QAction *afterShowSend =
        ui.mnuView->actions().value(ui.mnuView->actions().indexOf(ui.mnuViewShowSendData) + 1);
    x.mnuViewMilliseconds =
        AddAction(ui.mnuView, afterShowSend, "mnuViewMilliseconds", QStringLiteral("&Milliseconds"), true);
    x.mnuViewTimeSincePrevious = AddAction(ui.mnuView, afterShowSend, "mnuViewTimeSincePrevious",
                                           QStringLiteral("Time Since &Previous"), true);
    connect(x.mnuViewMilliseconds, &QAction::toggled, this, [this](bool on) {
        m_extras->milliseconds = on;
        UpdateViewState();
    });
    connect(x.mnuViewTimeSincePrevious, &QAction::toggled, this, [this](bool on) {
        m_extras->sincePrevious = on;
        UpdateViewState();
    });
    ui.edData->SetTimeSource([this](int64_t ageMs) { return StampText(ageMs); });
    x.mnuViewSplitLines = AddAction(ui.mnuView, afterShowSend, "mnuViewSplitLines",
                                    QStringLiteral("Split Received &Lines"), true);
    connect(x.mnuViewSplitLines, &QAction::toggled, ui.edData, &TTrafficLog::SetSplitLines);
    AddTextFormMenus(afterShowSend);

    // File: capture, before the separator above "Exit".
    x.capture = std::make_unique<TLogCapture>(ui.edData, ui.stbComStatus);
    QAction *beforeExit = ui.mnuFile->actions().value(ui.mnuFile->actions().indexOf(ui.mnuFileExit) - 1);
    x.mnuFileCapture =
        AddAction(ui.mnuFile, beforeExit, "mnuFileCapture", QStringLiteral("&Capture to File\u2026"));
    x.mnuFileStopCapture =
        AddAction(ui.mnuFile, beforeExit, "mnuFileStopCapture", QStringLiteral("S&top Capture"));
    connect(x.mnuFileCapture, &QAction::triggered, this, [this] {
        TfrmCapture dialog(this, UserFilesFolder(), [this](const QString &path, bool raw) {
            return m_extras->capture->Start(path, raw);
        });
        dialog.exec();
    });
    connect(x.mnuFileStopCapture, &QAction::triggered, this, [this] { m_extras->capture->Stop(); });
    connect(x.capture.get(), &TLogCapture::StateChanged, this, &TfrmMain::UpdateEverydayControls);

    // Edit: find over the log, in a bar above it.
    x.findBar = new TFindBar(centralWidget(), ui.edData);
    if (auto *column = qobject_cast<QVBoxLayout *>(centralWidget()->layout()))
        column->insertWidget(0, x.findBar);
    ui.mnuSetting->addSeparator();
    x.mnuEditFind = AddAction(ui.mnuSetting, nullptr, "mnuEditFind", QStringLiteral("&Find..."));
    x.mnuEditFind->setShortcut(QKeySequence::Find);
    QAction *findNext = AddAction(ui.mnuSetting, nullptr, "mnuEditFindNext", QStringLiteral("Find &Next"));
    findNext->setShortcut(Qt::Key_F3);
    QAction *findPrevious =
        AddAction(ui.mnuSetting, nullptr, "mnuEditFindPrevious", QStringLiteral("Find Pre&vious"));
    findPrevious->setShortcut(Qt::SHIFT | Qt::Key_F3);
    connect(x.mnuEditFind, &QAction::triggered, x.findBar, &TFindBar::Open);
    connect(findNext, &QAction::triggered, x.findBar, &TFindBar::FindNext);
    connect(findPrevious, &QAction::triggered, x.findBar, &TFindBar::FindPrevious);

    // Operate: modem output lines, break and reconnect, at the end; their buttons end the toolbar.
    ui.mnuOperate->addSeparator();
    x.mnuOpDTR = AddAction(ui.mnuOperate, nullptr, "mnuOpDTR", QStringLiteral("&DTR"), true);
    x.mnuOpRTS = AddAction(ui.mnuOperate, nullptr, "mnuOpRTS", QStringLiteral("&RTS"), true);
    x.mnuOpSendBreak = AddAction(ui.mnuOperate, nullptr, "mnuOpSendBreak", QStringLiteral("Send &Break"));
    ui.mnuOperate->addSeparator();
    x.mnuOpReconnect =
        AddAction(ui.mnuOperate, nullptr, "mnuOpReconnect", QStringLiteral("Reconnect &Automatically"), true);
    if (auto *bar = findChild<QToolBar *>(QStringLiteral("tbrMain"))) {
        bar->addSeparator();
        x.btnDTR = AddToolButton(bar, "btnDTR", QStringLiteral("DTR"), QStringLiteral("DTR line"));
        x.btnRTS = AddToolButton(bar, "btnRTS", QStringLiteral("RTS"), QStringLiteral("RTS line"));
        x.btnSendBreak =
            AddToolButton(bar, "btnSendBreak", QStringLiteral("BRK"), QStringLiteral("Send Break"));
        x.btnDTR->setDefaultAction(x.mnuOpDTR);
        x.btnRTS->setDefaultAction(x.mnuOpRTS);
        x.btnSendBreak->setDefaultAction(x.mnuOpSendBreak);
        x.btnDTR->setToolTip(QStringLiteral("DTR line"));
        x.btnRTS->setToolTip(QStringLiteral("RTS line"));
    }
    static const char *const names[4] = {"CTS", "DSR", "DCD", "RI"};
    for (int i = 0; i < 4; ++i) {
        auto *label = new QLabel(QString::fromLatin1(names[i]), ui.stbComStatus);
        label->setObjectName(QStringLiteral("lb") + QString::fromLatin1(names[i]));
        label->setAccessibleName(QString::fromLatin1(names[i]));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(28);
        label->setEnabled(false);
        label->hide(); // until a port is open; hidden before it joins the bar, so it never widens it
        ui.stbComStatus->addPermanentWidget(label);
        x.modemLines[i] = label;
    }
    connect(x.mnuOpDTR, &QAction::triggered, this, &TfrmMain::ApplyLineControl);
    connect(x.mnuOpRTS, &QAction::triggered, this, &TfrmMain::ApplyLineControl);
    // The break goes out on the sender thread, after what was queued before it: the window never
    // waits the quarter second, and Close Port ends it early like any send.
    connect(x.mnuOpSendBreak, &QAction::triggered, this, [this] { m_session->SendBreak(250); });
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

void TfrmMain::UpdateEverydayControls()
{
    if (!m_extras)
        return;
    TfrmMainExtras &x = *m_extras;
    const bool capturing = x.capture->IsRunning();
    x.mnuFileCapture->setEnabled(!capturing);
    x.mnuFileStopCapture->setEnabled(capturing);
    x.mnuOpSendBreak->setEnabled(IsPortOpen());
    ApplyLineControl();
}
