#include "mainwindow/features/TScriptCommands.h"
#include "log/gui/TTrafficLog.h"
#include "platform/gui/qthandover.h"
#include "platform/gui/settingvalue.h"
#include "shell/TMenuSlots.h"
#include "shell/TSessionBridge.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <QTimer>

#include <chrono>

namespace {

const TSettingValue<QStringList> kRecent("RecentScripts", QStringList());

constexpr int kRecentCount = 10;
constexpr int kStopGraceMs = 1000;
const char *const kReader = "scripts";

} // namespace

TScriptCommands::TScriptCommands(QWidget *window, CPortSession &session, TSessionBridge &events,
                                 TMenuSlots &menus, TTrafficLog &log,
                                 std::function<const std::vector<CCommData> &()> sendList,
                                 std::function<void(const QString &)> showMessage)
    : QObject(window), m_window(window), m_session(session), m_log(log), m_sendList(std::move(sendList)),
      m_showMessage(std::move(showMessage)), m_toWindow(std::make_unique<CQtHandOver>(window))
{
    m_run = menus.AddNew(this, "mnuOpRunScript", tr("Run &Script..."));
    connect(m_run, &QAction::triggered, this, &TScriptCommands::ChooseAndRun);
    m_recentMenu = new QMenu(tr("Recen&t Scripts"), window);
    m_recentMenu->setObjectName(QStringLiteral("mnuOpRecentScripts"));
    m_recentAction = menus.AddMenu(m_recentMenu);
    m_stop = menus.AddNew(this, "mnuOpStopScript", tr("Sto&p Script"));
    connect(m_stop, &QAction::triggered, this, [this] { StopScript(false, "stopped by the user"); });

    MakeHost();
    connect(&events, &TSessionBridge::SendDone, this, [this] { m_host->SendDone(); });
    connect(&events, &TSessionBridge::TransferDone, this,
            [this](const ST_TransferOutcome &outcome, bool portLost) {
                m_host->TransferDone(outcome, portLost);
            });
    connect(&events, &TSessionBridge::PortLost, this, [this] { StopScript(true, "the port was lost"); });
    ShowRecent();
    UpdateControls();
}

TScriptCommands::~TScriptCommands()
{
    EndRun();
}

void TScriptCommands::MakeHost()
{
    // The script's thread reaches the window only through the hand-over, never through `this`.
    CQtHandOver *toWindow = m_toWindow.get();
    const CTrafficPath::ReadMarker marker = m_session.Traffic().Marker();
    m_host = std::make_unique<CSessionScriptHost>(
        m_session, *toWindow,
        [this](const std::string &name) -> std::optional<CCommData> {
            for (const CCommData &item : m_sendList())
                if (item.GetName() == name)
                    return item;
            return std::nullopt;
        },
        [this, toWindow, marker](const std::string &text) {
            // Made on the script's thread as soon as it read an answer, while that answer's block
            // may still be forming: the note waits for the bytes read before it to be logged.
            const CTrafficPath::ST_ReadMark read = marker();
            toWindow->Forward([this, text, read] {
                m_session.Traffic().AfterRead(read, [this, text] { m_log.LogNote("Script: " + text); });
            });
        });
}

void TScriptCommands::UpdateControls()
{
    m_run->setEnabled(m_session.IsOpen() && !Running());
    m_recentAction->setEnabled(m_session.IsOpen() && !Running() && !m_recent.isEmpty());
    m_stop->setEnabled(Running());
}

void TScriptCommands::ChooseAndRun()
{
    const QString start = m_recent.isEmpty() ? QString() : QFileInfo(m_recent.first()).absolutePath();
    const QString path = QFileDialog::getOpenFileName(m_window, tr("Run Script"), start,
                                                      tr("Lua scripts (*.lua);;All files (*)"));
    if (!path.isEmpty())
        Run(path);
}

bool TScriptCommands::Run(const QString &path)
{
    if (Running())
        return false;
    if (!m_session.IsOpen()) {
        m_showMessage(tr("The port is not open; the script was not started."));
        return false;
    }
    RememberRecent(path);
    m_running = path;
    m_toWindow->Resume();
    m_runner = std::make_shared<CScriptRunner>(*m_host);
    m_host->SetRunner(m_runner.get());
    m_log.LogNote("Script " + path.toStdString() + " started");
    const std::shared_ptr<CScriptRunner> runner = m_runner;
    // The script has each read's bytes as they come, not when their block is complete.
    m_session.Traffic().SetReader(
        kReader, std::make_shared<CTrafficPath::Reader>(
                     [runner](const uint8_t *data, size_t size) { runner->Feed(data, size); }));
    m_session.Decoding().SetObserver(kReader,
                                     [runner, this](const ST_Frame &frame, const ST_FrameReading &reading) {
                                         FeedScriptFrame(*runner, m_session.Decoding(), frame, reading);
                                     });
    const std::string file = path.toLocal8Bit().toStdString();
    auto ended = std::make_shared<std::promise<void>>();
    m_ended = ended->get_future();
    CQtHandOver *toWindow = m_toWindow.get();
    m_thread = std::thread(
        [this, runner, file, ended, toWindow, marker = m_session.Traffic().Marker(), id = ++m_runId] {
            const ST_ScriptOutcome outcome = runner->Run(file);
            const CTrafficPath::ST_ReadMark read = marker();
            ended->set_value();
            toWindow->Forward([this, outcome, id, read] {
                if (id == m_runId)
                    Finished(outcome, &read);
            });
        });
    UpdateControls();
    emit StateChanged();
    return true;
}

void TScriptCommands::Finished(const ST_ScriptOutcome &outcome, const CTrafficPath::ST_ReadMark *read)
{
    if (m_thread.joinable())
        m_thread.join(); // it has handed its last word over: nothing is left for it to wait on
    m_session.Traffic().SetReader(kReader, nullptr);
    m_session.Decoding().SetObserver(kReader, nullptr);
    m_runner.reset();
    std::string text = "Script " + m_running.toStdString() + " " + ScriptEndText(outcome.End);
    if (!outcome.Message.empty())
        text += ": " + outcome.Message;
    if (read)
        m_session.Traffic().AfterRead(*read, [this, text] { m_log.LogNote(text); });
    else
        m_log.LogNote(text);
    UpdateControls();
    emit StateChanged();
}

void TScriptCommands::StopScript(bool portLost, const std::string &why)
{
    if (!m_runner)
        return;
    if (portLost)
        m_runner->PortLost(why);
    else
        m_runner->Stop(why);
    m_host->Wake();
    // A script stops within a few thousand instructions, except inside a finalizer, where Lua
    // looks at no hook: one that has not ended in a second is let go.
    QTimer::singleShot(kStopGraceMs, this, [this, id = m_runId] {
        if (id != m_runId || !Running() || Ended())
            return;
        Abandon(true);
        ST_ScriptOutcome outcome;
        outcome.End = EScriptEnd::Stopped;
        outcome.Message = "it did not stop within a second and was left running on its own";
        Finished(outcome);
    });
}

bool TScriptCommands::Ended() const
{
    return m_ended.valid() && m_ended.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

void TScriptCommands::Abandon(bool again)
{
    m_toWindow->Cancel();
    m_thread.detach();
    ++m_runId;
    // What the thread may still reach stays: its runner (its own), the host and the hand-over,
    // which is cancelled, so that nothing reaches the window any more.
    CQtHandOver *keptHandOver = m_toWindow.release();
    CSessionScriptHost *keptHost = m_host.release();
    static_cast<void>(keptHandOver);
    static_cast<void>(keptHost);
    if (again) {
        m_toWindow = std::make_unique<CQtHandOver>(m_window);
        MakeHost();
    }
    m_session.Traffic().SetReader(kReader, nullptr);
    m_session.Decoding().SetObserver(kReader, nullptr);
    m_runner.reset();
}

void TScriptCommands::EndRun()
{
    if (!m_thread.joinable())
        return;
    StopScript(false, "the window closed");
    m_toWindow->Cancel();
    if (m_ended.wait_for(std::chrono::milliseconds(kStopGraceMs)) == std::future_status::ready) {
        m_thread.join();
        m_session.Traffic().SetReader(kReader, nullptr);
        m_session.Decoding().SetObserver(kReader, nullptr);
        m_runner.reset();
    } else {
        Abandon(false);
    }
}

// ---- The recent scripts ----

void TScriptCommands::RememberRecent(const QString &path)
{
    m_recent.removeAll(path);
    m_recent.prepend(path);
    while (m_recent.size() > kRecentCount)
        m_recent.removeLast();
    ShowRecent();
}

void TScriptCommands::ShowRecent()
{
    m_recentMenu->clear();
    for (int i = 0; i < m_recent.size(); ++i) {
        const QString &path = m_recent.at(i);
        QAction *action = m_recentMenu->addAction(
            QStringLiteral("&%1 %2").arg(i == 9 ? 0 : i + 1).arg(QFileInfo(path).fileName()));
        action->setObjectName(QStringLiteral("mnuOpRecentScript%1").arg(i + 1));
        action->setToolTip(path);
        connect(action, &QAction::triggered, this, [this, path] { Run(path); });
    }
    if (m_recentAction)
        m_recentAction->setEnabled(m_session.IsOpen() && !Running() && !m_recent.isEmpty());
}

void TScriptCommands::Load(const QSettings &settings)
{
    m_recent = kRecent.Read(settings).mid(0, kRecentCount);
    ShowRecent();
}

void TScriptCommands::Save(QSettings &settings) const
{
    if (!m_recent.isEmpty())
        kRecent.Write(settings, m_recent);
}
