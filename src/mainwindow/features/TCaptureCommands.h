#pragma once
// Capture to file: File > Capture to File... and Stop Capture, with the capture's size in the
// status bar while it runs. A capture kept with a link follows that link's port.
#include "session/wallstamps.h"

#include <QObject>
#include <functional>
#include <memory>

class CPortSession;
class QAction;
class QSettings;
class TFeatureServices;
class QWidget;
class TLogCapture;
class TMenuSlots;
class TStatusArea;
class TTrafficLog;

class TCaptureCommands : public QObject
{
    Q_OBJECT
public:
    TCaptureCommands(QWidget *window, TTrafficLog &log, TMenuSlots &menus, TStatusArea &status);
    // Watches the log to the end: the window deletes it before the log goes, once the port is
    // closed and what the close logged is captured.
    ~TCaptureCommands() override;

    TLogCapture &Capture() const { return *m_capture; }
    void UpdateControls();
    // The port whose link a capture can be kept with; `isOpen` tells whether it is open now, and
    // `window` is what {window} stands for.
    void Follow(TFeatureServices &services, std::function<bool()> isOpen, int window);
    // A pcapng capture's packets and line events, from the session's traffic path and record.
    void FollowTraffic(CPortSession &session);
    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;

private:
    QWidget *m_window;
    TFeatureServices *m_services = nullptr;
    std::function<bool()> m_isOpen;
    std::unique_ptr<TLogCapture> m_capture;
    CWallStamps m_stamps; // the pcapng capture's packets and line events
    QAction *m_start = nullptr, *m_stop = nullptr;
};
