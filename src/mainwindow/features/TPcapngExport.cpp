#include "mainwindow/features/TPcapngExport.h"

#include "data/gui/dialogsupport.h"
#include "frame/gui/TFramesView.h"
#include "log/gui/TTrafficLog.h"
#include "log/logpcapng.h"
#include "mainwindow/features/pcapngdirections.h"
#include "platform/textfile.h"
#include "session/portsession.h"
#include "shell/TFeatureServices.h"

#include <QAction>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
#include <QTableView>
#include <set>
#include <utility>

TPcapngExport::TPcapngExport(QWidget *window, CPortSession &session, TTrafficLog &log,
                             TFeatureServices &services, QAction *exportItem,
                             std::function<void(const QString &)> showMessage)
    : QObject(window), m_window(window), m_log(&log), m_services(services),
      m_showMessage(std::move(showMessage))
{
    auto *menu = new QMenu(window);
    menu->setObjectName(QStringLiteral("mnuFileExportMenu"));
    exportItem->setMenu(menu);
    exportItem->setVisible(true);
    m_item = menu->addAction(tr("&Wireshark Capture (pcapng)\u2026"));
    m_item->setObjectName(QStringLiteral("mnuFileExportPcapng"));
    m_framesItem = menu->addAction(tr("&Frames as Wireshark Capture (pcapng)\u2026"));
    m_framesItem->setObjectName(QStringLiteral("mnuFileExportFramesPcapng"));
    connect(m_item, &QAction::triggered, this, [this] {
        const bool selection = m_log && m_log->HasSelection();
        const QString path =
            AskPath("dlgExportPcapng", selection ? tr("Export the Selection (pcapng)") : QString());
        if (!path.isEmpty())
            ExportLog(path);
    });
    connect(m_framesItem, &QAction::triggered, this, [this] {
        const QString path = AskPath("dlgExportFramesPcapng");
        if (!path.isEmpty())
            ExportFrames(path);
    });
    connect(this, &TPcapngExport::Exported, this, [this](const QString &, const QString &error) {
        if (!error.isEmpty() && m_showMessage)
            m_showMessage(error);
    });
    // Every block both ways, a transfer's too: what crossed the line, stamped as the line saw it.
    session.Traffic().Add("pcapng export", [this](ST_Traffic &event) {
        const Bytes &bytes = event.Data.Data();
        if (!bytes.empty())
            m_recorder.AddTraffic(event.Seq, LogDirectionOf(event.Direction), bytes.data(), bytes.size(),
                                  TrafficWallMicros(event));
    });
    session.LineEvents().SetObserver("pcapng export", [this](const ST_LineEvent &event) {
        m_recorder.AddEvent(event, WallMicrosAt(event.SteadyMicros));
    });
    m_observer =
        m_log->AddObserver([this](LogDirection direction, const uint8_t *bytes, size_t length, bool) {
            if (direction == LogDirection::Note)
                m_recorder.Add(direction, bytes, length, WallNowMicros());
        });
}

QString TPcapngExport::AskPath(const char *name, const QString &title)
{
    QFileDialog dialog(m_window);
    dialog.setObjectName(QString::fromLatin1(name));
    if (!title.isEmpty())
        dialog.setWindowTitle(title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters({tr("Wireshark capture(*.pcapng)")});
    dialog.setDefaultSuffix(QStringLiteral("pcapng"));
    dialog.setDirectory(UserFilesFolder());
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        return dialog.selectedFiles().first();
    return QString();
}

TPcapngExport::~TPcapngExport()
{
    if (m_log)
        m_log->RemoveObserver(m_observer);
    if (m_writer.joinable())
        m_writer.join();
}

std::vector<ST_PcapngInterface> TPcapngExport::Interfaces() const
{
    const auto &link = m_services.Port().LastLink();
    return link ? LogPcapngInterfaces(PcapngPortName(link->PortName), PcapngLinkDescription(*link))
                : LogPcapngInterfaces(std::string(), std::string());
}

bool TPcapngExport::ExportLog(const QString &path)
{
    if (!m_log || !m_log->HasSelection())
        return ExportPackets(path, Interfaces(), m_recorder.Take());
    uint32_t first = 0, last = 0;
    size_t packets = 0;
    CPcapngRecorder::Snapshot pieces;
    if (m_log->SelectedTraffic(first, last))
        pieces = m_recorder.TakeTraffic(first, last, packets);
    if (packets == 0) {
        if (m_showMessage)
            m_showMessage(tr("The selection in the log holds no traffic that is still kept for an export. "
                             "Clear the selection to export everything."));
        return false;
    }
    if (!ExportPackets(path, Interfaces(), std::move(pieces)))
        return false;
    m_doneNote = tr("Packets exported from the selection: %1").arg(packets);
    return true;
}

bool TPcapngExport::ExportFrames(const QString &path)
{
    TFramesView *view = m_window->findChild<TFramesView *>();
    std::vector<size_t> rows;
    if (view) {
        const TFramesModel &model = view->Model();
        std::set<int> selected;
        for (const QItemSelectionRange &range : view->Table().selectionModel()->selection())
            for (int row = range.top(); row <= range.bottom(); ++row)
                selected.insert(row);
        if (selected.size() > 1) {
            for (const int row : selected)
                if (const std::optional<size_t> at = model.StoreRow(row))
                    rows.push_back(*at);
        } else {
            for (size_t n = 0; n < model.Store().Visible(); ++n)
                rows.push_back(model.Store().VisibleRow(n));
        }
    }
    if (rows.empty()) {
        if (m_showMessage)
            m_showMessage(
                tr("There are no frames to export: View > Frames shows the frames of a framed link."));
        return false;
    }
    const CFrameStore &store = view->Model().Store();
    const int64_t wallOffset = WallMicrosAt(0);
    CPcapngRecorder frames(size_t{1} << 40);
    std::string packet;
    for (const size_t row : rows) {
        const ST_Frame frame = store.At(row);
        packet.clear();
        AppendLogPcapng(packet, LogDirectionOf(frame.Direction), frame.Bytes.data(), frame.Bytes.size(),
                        wallOffset + frame.Start.count());
        frames.AddPacket(packet);
    }
    return ExportPackets(path, Interfaces(), frames.Take());
}

bool TPcapngExport::ExportPackets(const QString &path, std::vector<ST_PcapngInterface> interfaces,
                                  CPcapngRecorder::Snapshot packets)
{
    if (m_writer.joinable())
        return false;
    m_item->setEnabled(false);
    m_framesItem->setEnabled(false);
    m_writer = std::thread([this, path, interfaces = std::move(interfaces), packets = std::move(packets)] {
        QString error;
        size_t next = 0;
        bool header = true;
        try {
            WriteFileAtomic(path.toLocal8Bit().toStdString(), [&](std::string &piece) {
                if (header) {
                    header = false;
                    piece = PcapngHeader(interfaces);
                    return true;
                }
                if (next == packets.size())
                    return false;
                piece = packets[next++]->Text();
                return true;
            });
        } catch (const EKestrumError &e) {
            error = QString::fromLocal8Bit(e.what());
        }
        QMetaObject::invokeMethod(
            this, [this, path, error] { Finished(path, error); }, Qt::QueuedConnection);
    });
    return true;
}

void TPcapngExport::Finished(const QString &path, const QString &error)
{
    if (m_writer.joinable())
        m_writer.join();
    UpdateControls();
    const QString note = std::exchange(m_doneNote, QString());
    if (error.isEmpty() && !note.isEmpty())
        if (auto *main = qobject_cast<QMainWindow *>(m_window))
            main->statusBar()->showMessage(note, 10000);
    emit Exported(path, error);
}

void TPcapngExport::UpdateControls()
{
    m_item->setEnabled(!m_writer.joinable());
    m_framesItem->setEnabled(!m_writer.joinable());
}
