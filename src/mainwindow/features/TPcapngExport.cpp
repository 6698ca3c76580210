#include "mainwindow/features/TPcapngExport.h"

#include "data/gui/dialogsupport.h"
#include "log/gui/TTrafficLog.h"
#include "log/logpcapng.h"
#include "platform/textfile.h"
#include "shell/TFeatureServices.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>

TPcapngExport::TPcapngExport(QWidget *window, TTrafficLog &log, TFeatureServices &services,
                             QAction *exportItem, std::function<void(const QString &)> showMessage)
    : QObject(window), m_window(window), m_log(&log), m_services(services),
      m_showMessage(std::move(showMessage))
{
    auto *menu = new QMenu(window);
    menu->setObjectName(QStringLiteral("mnuFileExportMenu"));
    exportItem->setMenu(menu);
    exportItem->setVisible(true);
    m_item = menu->addAction(tr("&Wireshark Capture (pcapng)\u2026"));
    m_item->setObjectName(QStringLiteral("mnuFileExportPcapng"));
    connect(m_item, &QAction::triggered, this, [this] {
        QFileDialog dialog(m_window);
        dialog.setObjectName(QStringLiteral("dlgExportPcapng"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setNameFilters({tr("Wireshark capture(*.pcapng)")});
        dialog.setDefaultSuffix(QStringLiteral("pcapng"));
        dialog.setDirectory(UserFilesFolder());
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            ExportLog(dialog.selectedFiles().first());
    });
    connect(this, &TPcapngExport::Exported, this, [this](const QString &, const QString &error) {
        if (!error.isEmpty() && m_showMessage)
            m_showMessage(error);
    });
    // Every block, shown or not: an LF the log joined to the line before still crossed the line.
    m_observer =
        m_log->AddObserver([this](LogDirection direction, const uint8_t *bytes, size_t length, bool) {
            m_recorder.Add(direction, bytes, length, WallNowMicros() - m_log->TellingAgeMs(direction) * 1000);
        });
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
    return ExportPackets(path, Interfaces(), m_recorder.Take());
}

bool TPcapngExport::ExportPackets(const QString &path, std::vector<ST_PcapngInterface> interfaces,
                                  CPcapngRecorder::Snapshot packets)
{
    if (m_writer.joinable())
        return false;
    m_item->setEnabled(false);
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
                piece = *packets[next++];
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
    emit Exported(path, error);
}

void TPcapngExport::UpdateControls()
{
    m_item->setEnabled(!m_writer.joinable());
}
