#include "mainwindow/features/TReplayCommands.h"

#include "link/linksetting.h"
#include "log/gui/TTrafficLog.h"
#include "portbase/demoports.h"
#include "session/portsession.h"
#include "shell/TFeatureServices.h"
#include "shell/TMenuSlots.h"

#include <QAction>
#include <exception>

namespace {

std::string Local(const QString &text)
{
    return text.toLocal8Bit().toStdString();
}

} // namespace

TReplayCommands::TReplayCommands(QWidget *window, CPortSession &session, TFeatureServices &services,
                                 TMenuSlots &menus, TTrafficLog &log,
                                 std::function<void(const QString &)> showMessage)
    : QObject(window), m_window(window), m_session(session), m_services(services), m_log(log),
      m_showMessage(std::move(showMessage))
{
    m_item = menus.AddNew(this, "mnuFileReplay", tr("Re&play Capture\u2026"));
    connect(m_item, &QAction::triggered, this, [this] {
        if (!m_dialog) {
            m_dialog = new TfrmReplay(m_window);
            connect(m_dialog, &TfrmReplay::StartAsked, this, &TReplayCommands::Start);
            connect(m_dialog, &TfrmReplay::StepAsked, this, [this] {
                if (m_control)
                    m_control->Step();
                ShowStatus();
            });
            connect(m_dialog, &TfrmReplay::StopAsked, this, &TReplayCommands::Stop);
            ShowStatus();
        }
        m_dialog->show();
        m_dialog->raise();
        m_dialog->activateWindow();
        if (m_control)
            m_statusTimer.start();
        ShowStatus();
    });
    // The counts come from the runner's thread: read while a replay runs, never waited for.
    m_statusTimer.setInterval(250);
    connect(&m_statusTimer, &QTimer::timeout, this, &TReplayCommands::ShowStatus);
    connect(&m_services, &TFeatureServices::PortClosed, this, [this] {
        if (m_inWindow) {
            m_inWindow = false;
            if (!m_outlet)
                m_control.reset();
            ShowStatus();
        }
    });
}

TReplayCommands::~TReplayCommands()
{
    if (m_reader.joinable())
        m_reader.join();
}

QString TReplayCommands::VirtualPortPath() const
{
    return m_outlet ? QString::fromLocal8Bit(m_outlet->SlavePath()) : QString();
}

void TReplayCommands::Start(const ST_ReplayChoice &choice)
{
    if (m_reader.joinable())
        return; // a file is still being read
    Stop();
    if (m_dialog)
        m_dialog->SetStatus(tr("Reading %1\u2026").arg(choice.File));
    m_reader = std::thread([this, choice] {
        ST_Recording recording;
        QString error;
        try {
            recording = ReadRecordingFile(Local(choice.File), 0);
        } catch (const std::exception &e) {
            error = QString::fromLocal8Bit(e.what());
        }
        QMetaObject::invokeMethod(
            this,
            [this, choice, recording = std::move(recording), error]() mutable {
                Read(choice, std::move(recording), error);
            },
            Qt::QueuedConnection);
    });
}

void TReplayCommands::Read(const ST_ReplayChoice &choice, ST_Recording recording, const QString &error)
{
    m_reader.join();
    if (!error.isEmpty()) {
        if (m_dialog)
            m_dialog->SetStatus(QString());
        m_showMessage(error);
        return;
    }
    m_stepping = choice.Options.Step && !choice.Options.Answer;
    if (choice.Target == ST_ReplayChoice::ETarget::VirtualPort) {
        std::string why;
        m_outlet = CReplayOutlet::Make(std::move(recording), choice.Options, &why);
        if (!m_outlet) {
            m_showMessage(tr("Cannot replay %1: %2").arg(choice.File, QString::fromLocal8Bit(why)));
            ShowStatus();
            return;
        }
        m_control = m_outlet->Control();
        // The log's lines stay English, as its files are read by other programs.
        m_log.LogNote("Replay of " + Local(choice.File) + " for another program on " + m_outlet->SlavePath());
    } else {
        const std::string file = Local(choice.File);
        m_control = PrepareReplay(file, choice.Options, std::move(recording));
        // The window's line settings stay as they were: the program's side of the line is the
        // same whatever the recording came from.
        COM_PORT_SETTING link = m_session.Link()               ? *m_session.Link()
                                : m_services.Port().LastLink() ? *m_services.Port().LastLink()
                                                               : DefaultLinkSetting();
        link.PortName = ReplayPortName(file);
        m_services.Port().Open(link);
        m_inWindow = m_session.IsOpen() && PlaysInWindow();
        if (!m_inWindow)
            m_control.reset();
    }
    if (m_control)
        m_statusTimer.start();
    ShowStatus();
}

bool TReplayCommands::PlaysInWindow() const
{
    return m_session.Link() && IsReplayPortName(m_session.Link()->PortName);
}

void TReplayCommands::Stop()
{
    m_outlet.reset();
    if (m_inWindow && m_session.IsOpen() && PlaysInWindow())
        m_services.Port().ClosePortCommand();
    m_inWindow = false;
    m_control.reset();
    ShowStatus();
}

void TReplayCommands::ShowStatus()
{
    // Counted only while someone can see the counts, and until there is nothing more to count.
    if (!m_control || !m_dialog || !m_dialog->isVisible() || m_control->Finished())
        m_statusTimer.stop();
    if (!m_dialog)
        return;
    m_dialog->SetRunning(m_control != nullptr, m_stepping);
    if (!m_control) {
        m_dialog->SetStatus(QString());
        return;
    }
    QString text;
    if (m_control->Finished())
        text = tr("Played all %1 frames").arg(m_control->Total());
    else if (m_control->Answered() + m_control->Unanswered() > 0)
        text = tr("Answered %1 requests, %2 without a recorded answer")
                   .arg(m_control->Answered())
                   .arg(m_control->Unanswered());
    else
        text = tr("Played %1 of %2 frames").arg(m_control->Played()).arg(m_control->Total());
    if (m_outlet)
        text = tr("Virtual port %1: %2").arg(VirtualPortPath(), text);
    m_dialog->SetStatus(text);
}
