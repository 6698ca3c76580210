#include "mainwindow/features/TCaptureCommands.h"
#include "data/gui/dialogsupport.h"
#include "log/gui/TLogCapture.h"
#include "mainwindow/TMenuSlots.h"
#include "mainwindow/TStatusArea.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>

TCaptureCommands::TCaptureCommands(QWidget *window, TTrafficLog &log, TMenuSlots &menus, TStatusArea &status)
    : QObject(window), m_window(window), m_capture(std::make_unique<TLogCapture>(&log, status.Bar()))
{
    status.AddPermanent(m_capture->Label(), TStatusArea::CaptureRank);
    // Before the separator above "Exit", after sending a file.
    m_start = menus.AddNew(MenuSlot::FileTools, this, "mnuFileCapture",
                           QStringLiteral("&Capture to File\u2026"), 10);
    m_stop =
        menus.AddNew(MenuSlot::FileTools, this, "mnuFileStopCapture", QStringLiteral("S&top Capture"), 11);
    connect(m_start, &QAction::triggered, this, [this] {
        TfrmCapture dialog(m_window, UserFilesFolder(),
                           [this](const QString &path, bool raw) { return m_capture->Start(path, raw); });
        dialog.exec();
    });
    connect(m_stop, &QAction::triggered, this, [this] { m_capture->Stop(); });
    connect(m_capture.get(), &TLogCapture::StateChanged, this, &TCaptureCommands::UpdateControls);
}

TCaptureCommands::~TCaptureCommands() = default;

void TCaptureCommands::UpdateControls()
{
    const bool capturing = m_capture->IsRunning();
    m_start->setEnabled(!capturing);
    m_stop->setEnabled(capturing);
}
