// The everyday tools' controls: where they sit in the window, the settings they keep between runs,
// finer time stamps, capture to file and the find bar.
#include "mainwindow/MainWindowExtras.h"
#include "app/TSharedStore.h"
#include "data/gui/dialogsupport.h"
#include "log/gui/TFindBar.h"
#include "log/gui/TLogCapture.h"
#include "log/gui/TTrafficLog.h"
#include "log/gui/logtime.h"
#include "mainwindow/TMenuSlots.h"
#include "mainwindow/TStatusArea.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TInstantSend.h"
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
        m_instantSend->SetUtf8(on);
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

    // File: capture, before the separator above "Exit".
    x.capture = std::make_unique<TLogCapture>(ui.edData, ui.stbComStatus);
    m_status->AddPermanent(x.capture->Label(), TStatusArea::CaptureRank);
    x.mnuFileCapture = MakeAction(this, "mnuFileCapture", QStringLiteral("&Capture to File\u2026"));
    x.mnuFileStopCapture = MakeAction(this, "mnuFileStopCapture", QStringLiteral("S&top Capture"));
    m_slots->Add(MenuSlot::FileTools, x.mnuFileCapture, 10);
    m_slots->Add(MenuSlot::FileTools, x.mnuFileStopCapture, 11);
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
    x.mnuEditFind = MakeAction(this, "mnuEditFind", QStringLiteral("&Find..."));
    x.mnuEditFind->setShortcut(QKeySequence::Find);
    QAction *findNext = MakeAction(this, "mnuEditFindNext", QStringLiteral("Find &Next"));
    findNext->setShortcut(Qt::Key_F3);
    QAction *findPrevious = MakeAction(this, "mnuEditFindPrevious", QStringLiteral("Find Pre&vious"));
    findPrevious->setShortcut(Qt::SHIFT | Qt::Key_F3);
    for (QAction *find : {x.mnuEditFind, findNext, findPrevious})
        m_slots->Add(MenuSlot::EditFind, find);
    connect(x.mnuEditFind, &QAction::triggered, x.findBar, &TFindBar::Open);
    connect(findNext, &QAction::triggered, x.findBar, &TFindBar::FindNext);
    connect(findPrevious, &QAction::triggered, x.findBar, &TFindBar::FindPrevious);
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
    x.mnuViewMilliseconds->setChecked(ReadFlag(settings, "Milliseconds"));
    x.mnuViewTimeSincePrevious->setChecked(ReadFlag(settings, "TimeSincePrevious"));
}

void TfrmMain::SaveEverydaySettings(QSettings &settings)
{
    const TfrmMainExtras &x = *m_extras;
    settings.setValue(QStringLiteral("Milliseconds"), x.milliseconds ? 1 : 0);
    settings.setValue(QStringLiteral("TimeSincePrevious"), x.sincePrevious ? 1 : 0);
}

void TfrmMain::UpdateEverydayControls()
{
    if (!m_extras)
        return;
    TfrmMainExtras &x = *m_extras;
    const bool capturing = x.capture->IsRunning();
    x.mnuFileCapture->setEnabled(!capturing);
    x.mnuFileStopCapture->setEnabled(capturing);
}
