#pragma once
// File > Export > Wireshark Capture (pcapng)...: the window's traffic since it opened (the last
// CPcapngRecorder::kDefaultByteLimit of it), each block a packet both ways stamped to the
// microsecond when its first byte was read or its write began, the log's notes and the line's
// events (modem lines, breaks, line errors) between them, for the protocol analyser. The
// traffic is taken from the session's path, not from the log's lines, which a split or a hold
// would cut and stamp otherwise; the events from the session's record as they come, kept among
// the packets, so they go with the oldest packets when the limit is reached. With lines selected in
// the log, only the packets of the blocks they show go, with what came between them: each block of
// the path is numbered (ST_Traffic::Seq), and the log's lines and the kept packets both keep it.
//
// File > Export > Frames as Wireshark Capture (pcapng)...: the frames view's frames, a packet
// each with the frame's start, those selected when more than one is, else every one the view
// shows (its filter applies).
//
// The file is written on a thread of its own, as a temporary file renamed into place; the window
// hears how it went through Exported.
#include "log/pcapng.h"
#include "log/pcapngrecorder.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <thread>

class CPortSession;
class QAction;
class QWidget;
class TFeatureServices;
class TTrafficLog;

class TPcapngExport : public QObject
{
    Q_OBJECT
public:
    // `exportItem` is File > Export, which gets the submenu.
    TPcapngExport(QWidget *window, CPortSession &session, TTrafficLog &log, TFeatureServices &services,
                  QAction *exportItem, std::function<void(const QString &)> showMessage);
    ~TPcapngExport() override; // waits for a file being written

    // Writes the log's packets to `path`; with lines selected in the log, only the packets of the
    // blocks those lines show and what came between them (a block the log split or held is still
    // its whole packet), which the status bar then counts. False while an export is still being
    // written, or when the selection holds no packet still kept, which the user is told.
    bool ExportLog(const QString &path);
    // Writes the frames view's frames (see above) to `path`; false while busy or with no frames
    // to write, which the user is told.
    bool ExportFrames(const QString &path);
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
    QString AskPath(const char *name, const QString &title = QString());

    QWidget *m_window;
    QPointer<TTrafficLog> m_log; // the window may delete the log first
    TFeatureServices &m_services;
    std::function<void(const QString &)> m_showMessage;
    QAction *m_item = nullptr;
    QAction *m_framesItem = nullptr;
    CPcapngRecorder m_recorder;
    uint64_t m_observer = 0;
    std::thread m_writer;
    QString m_doneNote; // for the status bar once the file is written
};
