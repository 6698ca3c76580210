#include "mainwindow/features/TReceiveFileCommands.h"
#include "data/gui/dialogsupport.h"
#include "log/gui/TTrafficLog.h"
#include "platform/gui/settingvalue.h"
#include "shell/TFeatureServices.h"
#include "shell/TMenuSlots.h"
#include "shell/TSessionBridge.h"
#include "transfer/gui/TTransferAskBar.h"
#include "transfer/transferline.h"
#include "transfer/transfers.h"

#include <QAction>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const TSettingValue<QString> kFolder("ReceiveFileFolder", QString());
// Below the lowest protocol: the choice keeps its own.
const TSettingValue<int> kProtocol("ReceiveFileProtocol", -1);
const TSettingValue<QString> kFileName("ReceiveFileName", QString());
// On unless turned off.
const TSettingValue<bool> kAutoStart("ZmodemAutoStart", true);
const TSettingValue<bool> kKeepParts("ReceiveFileKeepParts", false);
// Not above 0: the choice keeps its own.
const TSettingValue<int> kUnknownSizeMax("ReceiveFileUnknownSizeMax", 0);

// How long bytes that may begin a device's header wait for the rest of it.
constexpr int kHeldStartMs = 200;
const char *const kAcceptLinks = "ZmodemAcceptLinks";

} // namespace

TReceiveFileCommands::TReceiveFileCommands(QWidget *window, QWidget *column, CPortSession &session,
                                           TSessionBridge &events, TFeatureServices &services,
                                           TMenuSlots &menus, TTrafficLog &log,
                                           std::function<void(const QString &)> showMessage)
    : QObject(window), m_window(window), m_session(session), m_services(services), m_log(log),
      m_showMessage(std::move(showMessage))
{
    m_ask = new TTransferAskBar(column);
    if (auto *layout = qobject_cast<QVBoxLayout *>(column->layout()))
        layout->insertWidget(0, m_ask);
    connect(m_ask, &TTransferAskBar::Accepted, this, &TReceiveFileCommands::AcceptAsked);
    connect(m_ask, &TTransferAskBar::Refused, this, &TReceiveFileCommands::RefuseAsked);
    // A device whose last bytes may begin a header sends nothing more to decide it. The timer
    // runs only while bytes are held, so an idle window sleeps.
    m_release = new QTimer(this);
    m_release->setSingleShot(true);
    m_release->setInterval(kHeldStartMs);
    connect(m_release, &QTimer::timeout, this, [this] {
        if (!m_session.ReleaseHeldStart(kHeldStartMs) && m_session.HoldsStart())
            m_release->start();
    });
    connect(&events, &TSessionBridge::HoldsStart, m_release, qOverload<>(&QTimer::start));

    m_action = menus.AddNew(this, "mnuFileReceiveFile", tr("&Receive File..."));
    connect(m_action, &QAction::triggered, this, &TReceiveFileCommands::ReceiveFile);
    m_auto =
        menus.AddNew(this, "mnuFileZmodemAuto", tr("Start &ZMODEM transfers when the device asks"), true);
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
    // The port closed, or a transfer began, while the bar asked.
    if (m_ask->Asking() && m_session.TransferAsked() != EZmodemStart::SenderStarts)
        m_ask->Withdraw();
}

QString TReceiveFileCommands::LinkKey() const
{
    const auto &link = m_session.Link();
    return link ? QString::fromLocal8Bit(link->PortName) : QString();
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
        emit m_services.SendAsked();
        return;
    }
    if (m_acceptLinks.contains(LinkKey())) {
        AcceptAsked(false);
        return;
    }
    const QString folder = m_choice.Folder.isEmpty() ? UserFilesFolder() : m_choice.Folder;
    m_ask->Ask(tr("The device on %1 starts sending files by ZMODEM, into %2. Their names and sizes show as "
                  "they come.")
                   .arg(LinkKey(), folder));
}

void TReceiveFileCommands::AcceptAsked(bool always)
{
    if (m_session.TransferAsked() != EZmodemStart::SenderStarts)
        return;
    if (always && !m_acceptLinks.contains(LinkKey()))
        m_acceptLinks << LinkKey();
    const QString folder = m_choice.Folder.isEmpty() ? UserFilesFolder() : m_choice.Folder;
    if (!Start(ETransferProtocol::Zmodem, folder, QString()))
        m_session.DeclineTransfer();
}

void TReceiveFileCommands::RefuseAsked(bool timedOut)
{
    if (m_session.TransferAsked() != EZmodemStart::SenderStarts)
        return;
    m_session.DeclineTransfer();
    const std::vector<uint8_t> abort = TransferAbortBytes();
    const auto count = [&abort](uint8_t byte) {
        return std::to_string(std::count(abort.begin(), abort.end(), byte));
    };
    m_log.LogNote(
        std::string("File receive: the ZMODEM send the device started was refused") +
        (timedOut ? " (no answer in " + std::to_string(TTransferAskBar::kWaitMs / 1000) + " s)" : "") +
        "; sent " + count(transferline::CAN) + " CAN and " + count(transferline::BS) + " BS to end it");
}

bool TReceiveFileCommands::Start(ETransferProtocol protocol, const QString &folder, const QString &fileName)
{
    ST_ReceiveLimits limits;
    limits.KeepPartsForResume = m_choice.KeepParts;
    limits.UnknownSizeMax = static_cast<uint64_t>(std::max(1, m_choice.UnknownSizeMaxMiB)) << 20;
    std::shared_ptr<IReceiveSink> sink = CanReceive(protocol)
                                             ? MakeReceiveFolder(folder.toLocal8Bit().toStdString(),
                                                                 fileName.toLocal8Bit().toStdString(), limits)
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
    m_choice.Folder = kFolder.Read(settings);
    const int protocol = kProtocol.Read(settings);
    if (protocol >= static_cast<int>(ETransferProtocol::Xmodem) &&
        protocol <= static_cast<int>(ETransferProtocol::Zmodem))
        m_choice.Protocol = static_cast<ETransferProtocol>(protocol);
    m_choice.FileName = kFileName.Read(settings);
    m_auto->setChecked(kAutoStart.Read(settings));
}

void TReceiveFileCommands::Save(QSettings &settings) const
{
    kFolder.Write(settings, m_choice.Folder);
    kProtocol.Write(settings, static_cast<int>(m_choice.Protocol));
    kFileName.Write(settings, m_choice.FileName);
    kAutoStart.Write(settings, m_auto->isChecked());
}

void TReceiveFileCommands::LoadLimits(const QSettings &settings)
{
    m_choice.KeepParts = kKeepParts.Read(settings);
    const int sizeMax = kUnknownSizeMax.Read(settings);
    if (sizeMax > 0)
        m_choice.UnknownSizeMaxMiB = sizeMax;
    m_acceptLinks.clear();
    const QString array = QLatin1String(kAcceptLinks) + QLatin1Char('/');
    const int count = settings.value(array + QStringLiteral("size")).toInt();
    for (int i = 1; i <= count; ++i) {
        const QString link = settings.value(array + QString::number(i) + QStringLiteral("/Link")).toString();
        if (!link.isEmpty() && !m_acceptLinks.contains(link))
            m_acceptLinks << link;
    }
}

void TReceiveFileCommands::SaveLimits(QSettings &settings) const
{
    kKeepParts.Write(settings, m_choice.KeepParts);
    kUnknownSizeMax.Write(settings, m_choice.UnknownSizeMaxMiB);
    settings.remove(QLatin1String(kAcceptLinks));
    if (m_acceptLinks.isEmpty())
        return;
    settings.beginWriteArray(QLatin1String(kAcceptLinks), static_cast<int>(m_acceptLinks.size()));
    for (int i = 0; i < m_acceptLinks.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("Link"), m_acceptLinks[i]);
    }
    settings.endArray();
}
