#include "mainwindow/features/TLogViewCommands.h"
#include "data/gui/TfrmAscTable.h"
#include "data/gui/dialogsupport.h"
#include "log/capturenames.h"
#include "log/gui/TTrafficLog.h"
#include "log/gui/logtime.h"
#include "platform/clock.h"
#include "platform/gui/actiontwin.h"
#include "platform/gui/commandguard.h"
#include "platform/gui/settingvalue.h"
#include "platform/logstamp.h"
#include "shell/TMenuSlots.h"
#include "shell/TSessionBridge.h"

#include <QAction>
#include <QActionGroup>
#include <QFileDialog>
#include <QMenu>
#include <QSettings>
#include <QTime>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <iterator>
#include <limits>
#include <vector>

namespace {

const TSettingValue<bool> kMilliseconds("Milliseconds", false);
const TSettingValue<bool> kSincePrevious("TimeSincePrevious", false);
const TSettingValue<bool> kDates("DateStamps", false);
// Not above 0: the log keeps the size it has.
const TSettingValue<qlonglong> kScrollbackMiB("ScrollbackMiB", 0);
const TSettingValue<bool> kSplitLines("SplitReceivedLines", false);
// Missing: the log keeps the encoding and the colours it has.
const TSettingValue<int> kEncoding("TextEncoding", 0);
const TSettingValue<int> kAnsi("AnsiColours", 0);

const int kModes[] = {FMT_STRING, FMT_HEX, FMT_DEC, FMT_STR_SYMBOL};

int64_t SteadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A submenu of exclusive choices; the first is checked.
void AddChoiceMenu(TMenuSlots &menus, QWidget *parent, const char *name, const QString &title,
                   std::initializer_list<std::pair<const char *, QString>> choices,
                   std::vector<QAction *> &actions)
{
    auto *sub = new QMenu(title, parent);
    sub->setObjectName(QString::fromLatin1(name));
    sub->setAccessibleName(QString(title).remove(QLatin1Char('&')));
    sub->menuAction()->setObjectName(QString::fromLatin1(name) + QStringLiteral("Action"));
    menus.AddMenu(sub);
    auto *group = new QActionGroup(sub);
    for (const auto &[choice, text] : choices) {
        QAction *action = sub->addAction(text);
        action->setObjectName(QString::fromLatin1(choice));
        action->setCheckable(true);
        group->addAction(action);
        actions.push_back(action);
    }
    actions.front()->setChecked(true);
}

} // namespace

TLogViewCommands::TLogViewCommands(QWidget *window, const ST_Controls &ui, TSessionBridge &events,
                                   TMenuSlots &menus, TFeatureServices &services,
                                   std::function<void()> reloadSymbols)
    : QObject(window), m_window(window), m_log(*ui.edData), m_events(events), m_services(services),
      m_reloadSymbols(std::move(reloadSymbols))
{
    services.Offer(static_cast<ILogStamps &>(*this));
    ConnectModes(ui.Chains);
    connect(ui.mnuViewClearDisplay, &QAction::triggered, this, [this] { m_log.Clear(); });
    FollowAction(ui.mnuClearDisplay, ui.mnuViewClearDisplay);
    connect(ui.mnuFileSave, &QAction::triggered, this, &TLogViewCommands::SaveLog);
    connect(ui.mnuCopytoClipboard, &QAction::triggered, this, [this] { m_log.CopyToClipboard(); });
    connect(ui.mnuViewAsciiTable, &QAction::triggered, this, &TLogViewCommands::ShowAsciiTable);
    AddStamps(menus);
    AddTextForms(ui.mnuView, menus);
}

void TLogViewCommands::ConnectModes(const ST_Chain (&chains)[6])
{
    std::copy(std::begin(chains), std::end(chains), m_chains);
    const auto connectChain = [this](const ST_Chain &chain, auto command) {
        connect(chain.menu, &QAction::triggered, this, command);
        FollowAction(chain.popup, chain.menu);
    };
    for (int i = 0; i < kModeCount; ++i) {
        const int mode = kModes[i];
        connectChain(m_chains[i], [this, mode] { SetDisplayType(mode); });
    }
    connectChain(m_chains[kModeCount], [this] {
        m_showTime = !m_showTime;
        UpdateViewState();
    });
    connectChain(m_chains[kModeCount + 1], [this] {
        SetShowSendData(!ShowSendData());
        UpdateViewState();
    });
}

void TLogViewCommands::AddStamps(TMenuSlots &menus)
{
    // After "Show SendData". A week of lines is placed in time only with the date on each.
    m_datesItem = menus.AddNew(this, "mnuViewDateAndTime", tr("Date a&nd Time"), true);
    connect(m_datesItem, &QAction::toggled, this, [this](bool on) {
        m_dates = on;
        UpdateViewState();
    });
    m_millisecondsItem = menus.AddNew(this, "mnuViewMilliseconds", tr("&Milliseconds"), true);
    m_sincePreviousItem = menus.AddNew(this, "mnuViewTimeSincePrevious", tr("Time Since Pre&vious"), true);
    connect(m_millisecondsItem, &QAction::toggled, this, [this](bool on) {
        m_milliseconds = on;
        UpdateViewState();
    });
    connect(m_sincePreviousItem, &QAction::toggled, this, [this](bool on) {
        m_sincePrevious = on;
        UpdateViewState();
    });
    m_log.SetTimeSource([this](int64_t ageMs) { return StampText(ageMs); });
    m_splitLinesItem = menus.AddNew(this, "mnuViewSplitLines", tr("Split Received &Lines"), true);
    connect(m_splitLinesItem, &QAction::toggled, &m_log, &TTrafficLog::SetSplitLines);
}

void TLogViewCommands::AddTextForms(QWidget *viewMenu, TMenuSlots &menus)
{
    std::vector<QAction *> encodings;
    AddChoiceMenu(menus, viewMenu, "mnuViewEncoding", tr("Text Encod&ing"),
                  {{"mnuViewEncodingLatin1", tr("&Latin-1")}, {"mnuViewEncodingUtf8", tr("&UTF-8")}},
                  encodings);
    m_latin1Item = encodings[0];
    m_utf8Item = encodings[1];
    connect(m_utf8Item, &QAction::toggled, this, [this](bool on) {
        m_log.SetUtf8(on);
        emit m_services.Utf8Changed(on);
    });

    std::vector<QAction *> ansi;
    AddChoiceMenu(menus, viewMenu, "mnuViewAnsi", tr("ANSI C&olours"),
                  {{"mnuViewAnsiOff", tr("&Off")},
                   {"mnuViewAnsiStrip", tr("&Strip")},
                   {"mnuViewAnsiShow", tr("S&how")}},
                  ansi);
    for (int i = 0; i < 3; ++i) {
        m_ansiItems[i] = ansi[static_cast<size_t>(i)];
        connect(m_ansiItems[i], &QAction::toggled, &m_log, [this, i](bool on) {
            if (on)
                m_log.SetAnsi(static_cast<LogAnsi>(i));
        });
    }
}

void TLogViewCommands::SetDisplayType(int type)
{
    m_curDisplayType = type;
    UpdateViewState();
}

bool TLogViewCommands::ShowSendData() const
{
    return m_events.LogsSends();
}

void TLogViewCommands::SetShowSendData(bool on)
{
    m_events.SetLogsSends(on);
}

// The context-menu twin follows the main-menu item, which its tool button shows.
void TLogViewCommands::UpdateViewState()
{
    bool on[kModeCount + 2];
    for (int i = 0; i < kModeCount; ++i)
        on[i] = m_curDisplayType == kModes[i];
    on[kModeCount] = m_showTime;
    on[kModeCount + 1] = ShowSendData();
    m_log.SetDisplayType(m_curDisplayType);
    m_log.SetShowTime(m_showTime || ExtraStamps());
    for (int i = 0; i < kModeCount + 2; ++i)
        m_chains[i].menu->setChecked(on[i]);
}

std::string TLogViewCommands::StampText(int64_t ageMs)
{
    std::string time;
    if (m_dates)
        time = LocalDateTimeText(CSystemClock::Instance().NowMs() - ageMs, m_milliseconds);
    else if (m_milliseconds)
        time =
            TimeOfDayMsText(QTime::currentTime().addMSecs(static_cast<int>(-ageMs)).msecsSinceStartOfDay());
    else if (m_showTime)
        time = LogTimeText(ageMs);
    const int64_t now = SteadyMs() - ageMs;
    std::string since;
    if (m_sincePrevious && m_lastLineMs >= 0)
        since = SincePreviousText(now - m_lastLineMs);
    m_lastLineMs = now;
    return JoinStamp(time, since);
}

void TLogViewCommands::SaveLog()
{
    QFileDialog dlgSave(m_window);
    dlgSave.setObjectName(QStringLiteral("dlgSave"));
    dlgSave.setAcceptMode(QFileDialog::AcceptSave);
    dlgSave.setOption(QFileDialog::DontUseNativeDialog);
    // Qt reads a filter's patterns from between its parentheses, so the text entry's
    // description carries its closing parenthesis.
    dlgSave.setNameFilters({tr("Log file(*.log)"), tr("Text file(*.txt)")});
    dlgSave.setDefaultSuffix(QStringLiteral("log"));
    dlgSave.setDirectory(UserFilesFolder());
    if (dlgSave.exec() != QDialog::Accepted || dlgSave.selectedFiles().isEmpty())
        return;
    const std::string path = dlgSave.selectedFiles().first().toLocal8Bit().toStdString();
    RunGuarded(m_window, [this, &path] { m_log.SaveToFile(path); });
}

void TLogViewCommands::ShowAsciiTable()
{
    RunGuarded(m_window, [this] {
        {
            TfrmAscTable table(m_window, false);
            table.exec();
        }
        m_reloadSymbols();
    });
}

void TLogViewCommands::LoadStamps(const QSettings &settings)
{
    m_millisecondsItem->setChecked(kMilliseconds.Read(settings));
    m_sincePreviousItem->setChecked(kSincePrevious.Read(settings));
}

void TLogViewCommands::SaveStamps(QSettings &settings) const
{
    kMilliseconds.Write(settings, m_milliseconds);
    kSincePrevious.Write(settings, m_sincePrevious);
}

// After every value older versions wrote.
void TLogViewCommands::LoadDates(const QSettings &settings)
{
    m_datesItem->setChecked(kDates.Read(settings));
}

void TLogViewCommands::SaveDates(QSettings &settings) const
{
    kDates.Write(settings, m_dates);
}

// Kept apart from the window's first values: a store without it reads as before.
void TLogViewCommands::LoadScrollback(const QSettings &settings)
{
    const qlonglong value = kScrollbackMiB.Read(settings);
    if (value > 0 && value <= std::numeric_limits<int>::max())
        m_log.SetScrollbackBytes(static_cast<size_t>(value) * 1024 * 1024);
}

void TLogViewCommands::SaveScrollback(QSettings &settings) const
{
    kScrollbackMiB.Write(settings, static_cast<qlonglong>(m_log.ScrollbackBytes() / (1024 * 1024)));
}

void TLogViewCommands::LoadTextForms(const QSettings &settings)
{
    m_splitLinesItem->setChecked(kSplitLines.Read(settings));
    if (const std::optional<int> encoding = kEncoding.Find(settings))
        (*encoding == 1 ? m_utf8Item : m_latin1Item)->setChecked(true);
    if (const std::optional<int> ansi = kAnsi.Find(settings))
        m_ansiItems[*ansi == 1 ? 1 : *ansi == 2 ? 2 : 0]->setChecked(true);
}

void TLogViewCommands::SaveTextForms(QSettings &settings) const
{
    kSplitLines.Write(settings, m_splitLinesItem->isChecked());
    kEncoding.Write(settings, m_log.Utf8() ? 1 : 0);
    kAnsi.Write(settings, static_cast<int>(m_log.Ansi()));
}
