#pragma once
// Capture to file: File > Capture to File... and Stop Capture, with the capture's size in the
// status bar while it runs.
#include <QObject>
#include <memory>

class QAction;
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

private:
    QWidget *m_window;
    std::unique_ptr<TLogCapture> m_capture;
    QAction *m_start = nullptr, *m_stop = nullptr;
};
