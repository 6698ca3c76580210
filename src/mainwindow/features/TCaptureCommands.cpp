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
    m_start = new QAction(QStringLiteral("&Capture to File\u2026"), this);
    m_start->setObjectName(QStringLiteral("mnuFileCapture"));
    m_stop = new QAction(QStringLiteral("S&top Capture"), this);
    m_stop->setObjectName(QStringLiteral("mnuFileStopCapture"));
    // Before the separator above "Exit", after sending a file.
    menus.Add(MenuSlot::FileTools, m_start, 10);
    menus.Add(MenuSlot::FileTools, m_stop, 11);
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
