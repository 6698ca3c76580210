#pragma once
// File > Export > Wireshark Capture (pcapng)...: the log's traffic since the window opened (the
// last CPcapngRecorder::kDefaultByteLimit of it), each block a packet both ways stamped when it
// was read or its write began, for the protocol analyser. The file is written on a thread of its
// own, as a temporary file renamed into place; the window hears how it went through Exported.
#include "log/pcapng.h"
#include "log/pcapngrecorder.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <thread>

class QAction;
class QWidget;
class TFeatureServices;
class TTrafficLog;

class TPcapngExport : public QObject
{
    Q_OBJECT
public:
    // `exportItem` is File > Export, which gets the submenu.
    TPcapngExport(QWidget *window, TTrafficLog &log, TFeatureServices &services, QAction *exportItem,
                  std::function<void(const QString &)> showMessage);
    ~TPcapngExport() override; // waits for a file being written

    // Writes the log's packets to `path`; false while an export is still being written.
    bool ExportLog(const QString &path);
    // The hook for other packets (a view's frames, a selection): written as the log's are.
    bool ExportPackets(const QString &path, std::vector<ST_PcapngInterface> interfaces,
                       CPcapngRecorder::Snapshot packets);
    bool Busy() const { return m_writer.joinable(); }
    void UpdateControls();

signals:
    // Empty: written whole; otherwise why not (the file is then as it was).
    void Exported(const QString &path, const QString &error);

private:
    void Finished(const QString &path, const QString &error);
    std::vector<ST_PcapngInterface> Interfaces() const;

    QWidget *m_window;
    QPointer<TTrafficLog> m_log; // the window may delete the log first
    TFeatureServices &m_services;
    std::function<void(const QString &)> m_showMessage;
    QAction *m_item = nullptr;
    CPcapngRecorder m_recorder;
    uint64_t m_observer = 0;
    std::thread m_writer;
};
