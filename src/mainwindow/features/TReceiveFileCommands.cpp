#include "mainwindow/features/TReceiveFileCommands.h"
#include "data/gui/dialogsupport.h"
#include "filesend/transfers.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/TMenuSlots.h"
#include "mainwindow/TSessionBridge.h"
#include "platform/gui/appsettings.h"

#include <QAction>
#include <QSettings>
#include <QTimer>

TReceiveFileCommands::TReceiveFileCommands(QWidget *window, CPortSession &session, TSessionBridge &events,
                                           TMenuSlots &menus, TTrafficLog &log,
                                           std::function<void(const QString &)> showMessage)
    : QObject(window), m_window(window), m_session(session), m_log(log), m_showMessage(std::move(showMessage))
{
    m_action = menus.AddNew(MenuSlot::FileTools, this, "mnuFileReceiveFile", tr("&Receive File..."), 1);
    connect(m_action, &QAction::triggered, this, &TReceiveFileCommands::ReceiveFile);
    m_auto = menus.AddNew(MenuSlot::FileTools, this, "mnuFileZmodemAuto",
                          tr("Start &ZMODEM transfers when the device asks"), 2, true);
    m_auto->setChecked(m_session.ZmodemAutoStart());
    connect(m_auto, &QAction::toggled, this, [this](bool on) { m_session.SetZmodemAutoStart(on); });

    // Later, as the session asks: the dialog it may open must not run inside the receive path.
    connect(&events, &TSessionBridge::TransferAsked, this,
            [this](EZmodemStart start) { QTimer::singleShot(0, this, [this, start] { Asked(start); }); });
    connect(&events, &TSessionBridge::TransferFile, this, &TReceiveFileCommands::FileBegun);
    connect(&events, &TSessionBridge::TransferProgress, this, [this](const ST_TransferProgress &progress) {
        if (m_sink)
            m_received = progress.Sent;
    });
    connect(&events, &TSessionBridge::TransferDone, this,
            [this](const ST_TransferOutcome &outcome, bool) { Done(outcome); });
    UpdateControls();
}

void TReceiveFileCommands::UpdateControls()
{
    m_action->setEnabled(m_session.IsOpen() && !m_session.TransferRunning());
}

void TReceiveFileCommands::ReceiveFile()
{
    TfrmReceiveFile dialog(m_window, m_choice);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_choice = dialog.Choice();
    if (!m_session.IsOpen() || m_session.TransferRunning()) {
        m_showMessage(tr("The port is not open; nothing is received."));
        return;
    }
    Start(m_choice.Protocol, m_choice.Folder,
          TfrmReceiveFile::NamesNoFile(m_choice.Protocol) ? m_choice.FileName : QString());
}

void TReceiveFileCommands::Asked(EZmodemStart start)
{
    // The port may have closed, or a transfer begun, since.
    if (m_session.TransferAsked() != start)
        return;
    if (start == EZmodemStart::ReceiverWaits) {
        emit SendAsked();
        return;
    }
    const QString folder = m_choice.Folder.isEmpty() ? UserFilesFolder() : m_choice.Folder;
    if (!Start(ETransferProtocol::Zmodem, folder, QString()))
        m_session.DeclineTransfer();
}

bool TReceiveFileCommands::Start(ETransferProtocol protocol, const QString &folder, const QString &fileName)
{
    std::shared_ptr<IReceiveSink> sink =
        CanReceive(protocol)
            ? MakeReceiveFolder(folder.toLocal8Bit().toStdString(), fileName.toLocal8Bit().toStdString())
            : nullptr;
    if (!sink) {
        m_showMessage(tr("This build cannot receive files by %1.")
                          .arg(QString::fromLatin1(TransferProtocolName(protocol))));
        return false;
    }
    ST_TransferOptions options;
    options.Protocol = protocol;
    if (!m_session.StartReceive(sink, options)) {
        m_showMessage(tr("The port is not taking data; nothing is received."));
        return false;
    }
    m_sink = std::move(sink);
    m_protocol = protocol;
    m_begun.clear();
    m_received = 0;
    emit StateChanged();
    return true;
}

void TReceiveFileCommands::FileBegun(const ST_TransferProgress &progress)
{
    if (m_sink)
        m_begun.push_back({progress.FileName, progress.Sent});
}

// The files finished are the first ones begun, in order; each one's size is what came of it before
// the next began (the last: before the end).
void TReceiveFileCommands::Done(const ST_TransferOutcome &outcome)
{
    if (!m_sink || !outcome.Receiving)
        return;
    const std::vector<std::string> paths = ReceivedPaths(*m_sink);
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string name = i < m_begun.size() && !m_begun[i].Name.empty()
                                     ? m_begun[i].Name
                                     : paths[i].substr(paths[i].find_last_of('/') + 1);
        const uint64_t from = i < m_begun.size() ? m_begun[i].ReceivedBefore : 0;
        const uint64_t to = i + 1 < m_begun.size() ? m_begun[i + 1].ReceivedBefore : m_received;
        m_log.LogNote("File " + name + ", " + std::to_string(to >= from ? to - from : 0) + " bytes, " +
                      TransferProtocolName(m_protocol) + ", saved as " + paths[i]);
    }
    m_sink.reset();
    m_begun.clear();
}

void TReceiveFileCommands::Load(const QSettings &settings)
{
    m_choice.Folder = settings.value(QStringLiteral("ReceiveFileFolder")).toString();
    int protocol = -1;
    if (ReadSettingsInteger(settings, "ReceiveFileProtocol", protocol) &&
        protocol >= static_cast<int>(ETransferProtocol::Xmodem) &&
        protocol <= static_cast<int>(ETransferProtocol::Zmodem))
        m_choice.Protocol = static_cast<ETransferProtocol>(protocol);
    m_choice.FileName = settings.value(QStringLiteral("ReceiveFileName")).toString();
    // On unless turned off.
    m_auto->setChecked(!settings.contains(QStringLiteral("ZmodemAutoStart")) ||
                       ReadSettingsFlag(settings, "ZmodemAutoStart"));
}

void TReceiveFileCommands::Save(QSettings &settings) const
{
    settings.setValue(QStringLiteral("ReceiveFileFolder"), m_choice.Folder);
    settings.setValue(QStringLiteral("ReceiveFileProtocol"), static_cast<int>(m_choice.Protocol));
    settings.setValue(QStringLiteral("ReceiveFileName"), m_choice.FileName);
    settings.setValue(QStringLiteral("ZmodemAutoStart"), m_auto->isChecked() ? 1 : 0);
}
