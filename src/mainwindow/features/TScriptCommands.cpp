#include "mainwindow/features/TScriptCommands.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/TMenuSlots.h"
#include "mainwindow/TSessionBridge.h"
#include "platform/gui/qthandover.h"
#include "serial/serial.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace {

constexpr int kRecentCount = 10;

} // namespace

TScriptCommands::TScriptCommands(QWidget *window, CPortSession &session, TSessionBridge &events,
                                 TMenuSlots &menus, TTrafficLog &log,
                                 std::function<const std::vector<CCommData> &()> sendList,
                                 std::function<void(const QString &)> showMessage)
    : QObject(window), m_window(window), m_session(session), m_log(log), m_sendList(std::move(sendList)),
      m_showMessage(std::move(showMessage)), m_toWindow(std::make_unique<CQtHandOver>(window))
{
    m_run =
        menus.AddNew(MenuSlot::OperateScripts, this, "mnuOpRunScript", QStringLiteral("Run &Script..."), 0);
    connect(m_run, &QAction::triggered, this, &TScriptCommands::ChooseAndRun);
    m_recentMenu = new QMenu(QStringLiteral("Recen&t Scripts"), window);
    m_recentMenu->setObjectName(QStringLiteral("mnuOpRecentScripts"));
    m_recentAction = menus.AddMenu(MenuSlot::OperateScripts, m_recentMenu, 1);
    m_stop =
        menus.AddNew(MenuSlot::OperateScripts, this, "mnuOpStopScript", QStringLiteral("Sto&p Script"), 2);
    connect(m_stop, &QAction::triggered, this, [this] { StopScript(false, "stopped by the user"); });

    connect(&events, &TSessionBridge::SendDone, this, [this] {
        {
            const std::lock_guard<std::mutex> guard(m_lock);
            ++m_sendsDone;
        }
        m_changed.notify_all();
    });
    connect(&events, &TSessionBridge::TransferDone, this,
            [this](const ST_TransferOutcome &outcome, bool portLost) {
                {
                    const std::lock_guard<std::mutex> guard(m_lock);
                    m_transferOutcome = outcome;
                    m_transferPortLost = portLost;
                    m_transferDone = true;
                }
                m_changed.notify_all();
            });
    connect(&events, &TSessionBridge::PortLost, this, [this] { StopScript(true, "the port was lost"); });
    ShowRecent();
    UpdateControls();
}

TScriptCommands::~TScriptCommands()
{
    EndRun();
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
    const QString path = QFileDialog::getOpenFileName(m_window, QStringLiteral("Run Script"), start,
                                                      QStringLiteral("Lua scripts (*.lua);;All files (*)"));
    if (!path.isEmpty())
        Run(path);
}

bool TScriptCommands::Run(const QString &path)
{
    if (Running())
        return false;
    if (!m_session.IsOpen()) {
        m_showMessage(QStringLiteral("The port is not open; the script was not started."));
        return false;
    }
    RememberRecent(path);
    m_running = path;
    m_toWindow->Resume();
    m_runner = std::make_shared<CScriptRunner>(static_cast<IScriptHost &>(*this));
    m_log.LogNote("Script " + path.toStdString() + " started");
    const std::shared_ptr<CScriptRunner> runner = m_runner;
    // The script has each read's bytes as they come, not when their block is complete.
    m_session.SetReadTap(std::make_shared<CSerialWnd::ReadTap>(
        [runner](const uint8_t *data, size_t size) { runner->Feed(data, size); }));
    const std::string file = path.toLocal8Bit().toStdString();
    m_thread = std::thread([this, runner = runner.get(), file] {
        const ST_ScriptOutcome outcome = runner->Run(file);
        m_toWindow->Forward([this, outcome] { Finished(outcome); });
    });
    UpdateControls();
    emit StateChanged();
    return true;
}

void TScriptCommands::Finished(const ST_ScriptOutcome &outcome)
{
    if (m_thread.joinable())
        m_thread.join(); // it has handed its last word over: nothing is left for it to wait on
    m_session.SetReadTap(nullptr);
    m_runner.reset();
    std::string text = "Script " + m_running.toStdString() + " " + ScriptEndText(outcome.End);
    if (!outcome.Message.empty())
        text += ": " + outcome.Message;
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
    // Under the lock, so a script about to wait for the window sees the stop or hears of it.
    {
        const std::lock_guard<std::mutex> guard(m_lock);
    }
    m_changed.notify_all();
}

void TScriptCommands::EndRun()
{
    if (!m_thread.joinable())
        return;
    StopScript(false, "the window closed");
    m_toWindow->Cancel();
    m_thread.join();
    m_session.SetReadTap(nullptr);
    m_runner.reset();
}

// ---- On the script's thread ----

bool TScriptCommands::SendOnOwner(const CCommData &item, std::string *error)
{
    for (;;) {
        CPortSession::ESend result = CPortSession::ESend::NotOpen;
        uint64_t doneBefore = 0;
        if (!m_toWindow->Deliver([&] {
                {
                    const std::lock_guard<std::mutex> guard(m_lock);
                    doneBefore = m_sendsDone;
                }
                result = m_session.Send(item);
            })) {
            *error = "the script was stopped";
            return false;
        }
        switch (result) {
        case CPortSession::ESend::Queued:
            return true;
        case CPortSession::ESend::NotOpen:
            *error = "the port is not open";
            return false;
        case CPortSession::ESend::Transferring:
            *error = "a file transfer holds the line";
            return false;
        case CPortSession::ESend::Refused:
            break;
        }
        // The sender's queue is full: a send done makes room.
        std::unique_lock<std::mutex> guard(m_lock);
        m_changed.wait(guard, [&] { return m_sendsDone != doneBefore || m_runner->StopRequested(); });
        if (m_runner->StopRequested()) {
            *error = "the script was stopped";
            return false;
        }
    }
}

bool TScriptCommands::Write(const std::vector<uint8_t> &bytes, std::string *error)
{
    return SendOnOwner(CCommData(bytes, FMT_STRING), error);
}

bool TScriptCommands::SendItem(const std::string &name, std::string *error)
{
    CCommData item;
    bool found = false;
    m_toWindow->Deliver([&] {
        for (const CCommData &candidate : m_sendList())
            if (candidate.GetName() == name) {
                item = candidate;
                found = true;
                return;
            }
    });
    if (!found) {
        *error = "no send-list item is named \"" + name + "\"";
        return false;
    }
    return SendOnOwner(item, error);
}

bool TScriptCommands::SetLines(int dtr, int rts, std::string *error)
{
    long code = -1;
    m_toWindow->Deliver([&] {
        if (!m_session.IsOpen())
            return;
        code = 0;
        if (dtr >= 0)
            code = m_session.Device().SetDTR(dtr != 0);
        if (code == 0 && rts >= 0)
            code = m_session.Device().SetRTS(rts != 0);
    });
    if (code != 0)
        *error =
            code < 0 ? "the port is not open" : "the port refused the line: " + SerialErrorText(code, false);
    return code == 0;
}

bool TScriptCommands::GetLines(ST_ScriptLines *lines, std::string *error)
{
    bool ok = false;
    ST_ModemLines now;
    m_toWindow->Deliver([&] { ok = m_session.IsOpen() && m_session.Device().GetModemLines(&now); });
    if (!ok) {
        *error = "the modem lines could not be read";
        return false;
    }
    *lines = ST_ScriptLines{now.Dtr, now.Rts, now.Cts, now.Dsr, now.Dcd, now.Ring};
    return true;
}

bool TScriptCommands::SendBreak(uint32_t ms, std::string *error)
{
    bool open = false;
    m_toWindow->Deliver([&] {
        open = m_session.IsOpen();
        if (open)
            m_session.SendBreak(ms);
    });
    if (!open)
        *error = "the port is not open";
    return open;
}

bool TScriptCommands::SendFile(const std::string &path, const std::string &protocolName, std::string *error)
{
    ETransferProtocol protocol = ETransferProtocol::Raw;
    bool known = false;
    for (const ETransferProtocol p :
         {ETransferProtocol::Raw, ETransferProtocol::Xmodem, ETransferProtocol::Xmodem1K,
          ETransferProtocol::Ymodem, ETransferProtocol::Zmodem})
        if (QString::fromLatin1(TransferProtocolName(p))
                .compare(QString::fromStdString(protocolName), Qt::CaseInsensitive) == 0) {
            protocol = p;
            known = true;
        }
    if (!known) {
        *error = "no file protocol is named \"" + protocolName + "\"";
        return false;
    }
    ST_TransferFile file;
    try {
        file = TransferFileAt(path);
    } catch (const std::exception &e) {
        *error = e.what();
        return false;
    }
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_transferDone = false;
    }
    std::string why = "the port is not open or not taking data";
    bool started = false;
    m_toWindow->Deliver([&] {
        ST_TransferOptions options;
        options.Protocol = protocol;
        try {
            started = m_session.IsOpen() && !m_session.TransferRunning() &&
                      m_session.StartTransfer({file}, options);
        } catch (const std::exception &e) {
            why = e.what();
        }
    });
    if (!started) {
        *error = why;
        return false;
    }
    std::unique_lock<std::mutex> guard(m_lock);
    m_changed.wait(guard, [this] { return m_transferDone || m_runner->StopRequested(); });
    if (!m_transferDone) {
        // Stopped: the transfer is cancelled, and ends as usual while the script goes.
        guard.unlock();
        m_toWindow->Deliver([this] { m_session.CancelTransfer(); });
        *error = "the script was stopped";
        return false;
    }
    if (m_transferOutcome.End == ETransferEnd::Done)
        return true;
    *error = std::string("the file was not sent: ") + TransferEndText(m_transferOutcome.End) +
             (m_transferPortLost ? " (the port was lost)" : "");
    return false;
}

void TScriptCommands::Note(const std::string &text)
{
    m_toWindow->Forward([this, text] { m_log.LogNote("Script: " + text); });
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
    m_recent = settings.value(QStringLiteral("RecentScripts")).toStringList().mid(0, kRecentCount);
    ShowRecent();
}

void TScriptCommands::Save(QSettings &settings) const
{
    if (!m_recent.isEmpty())
        settings.setValue(QStringLiteral("RecentScripts"), m_recent);
}
