#include "mainwindow/features/TFrameLineCommands.h"

#include "log/gui/TTrafficLog.h"
#include "platform/gui/settingvalue.h"
#include "session/portsession.h"
#include "shell/TFeatureServices.h"
#include "shell/TMenuSlots.h"

#include <QAction>
#include <QSettings>
#include <chrono>

namespace {

const TSettingValue<bool> kFrameLines("FrameLines", false);
const char kObserver[] = "log lines";

uint8_t MarkOf(const ST_Frame &frame)
{
    if (frame.Check == EFrameCheck::Bad)
        return kLogMarkFrameBad;
    if (frame.Marks & (FRAME_MAX_LENGTH | FRAME_BAD_ENCODING))
        return kLogMarkFrameCut;
    if (frame.Marks & FRAME_TIMED_OUT)
        return kLogMarkFrameTimedOut;
    return kLogMarkNone;
}

} // namespace

TFrameLineCommands::TFrameLineCommands(QObject *parent, CPortSession &session, TTrafficLog &log,
                                       TMenuSlots &menus, TFeatureServices &services)
    : QObject(parent), m_session(session), m_log(log)
{
    // Every letter of it is another View item's key already.
    m_item = menus.AddNew(this, "mnuViewFrameLines", tr("One Line per Frame"), true);
    m_item->setToolTip(tr("While the traffic is framed, each frame gets one log line; without "
                          "framing the log is as before"));
    m_item->setStatusTip(m_item->toolTip());
    m_log.FrameLines().SetFramingOn([&session] { return session.Frames().On(); });
    m_log.FrameLines().SetSideFramingOn([&session](int side) {
        return session.Frames()
            .SideProfile(side == 0 ? EFrameDirection::MonitorAtoB : EFrameDirection::MonitorBtoA)
            .has_value();
    });
    connect(m_item, &QAction::toggled, this, &TFrameLineCommands::Choose);
    // The frames a close ended have come by now; the bytes no frame took are shown as they came.
    connect(&services, &TFeatureServices::PortClosed, this, [this] { m_log.FrameLines().Settle(); });
}

void TFrameLineCommands::EndRun()
{
    m_session.Frames().SetObserver(kObserver, nullptr);
    m_log.FrameLines().SetFramingOn(nullptr);
    m_log.FrameLines().SetSideFramingOn(nullptr);
}

void TFrameLineCommands::Choose(bool on)
{
    CFrameLines &lines = m_log.FrameLines();
    if (!on) {
        m_session.Frames().SetObserver(kObserver, nullptr);
        lines.SetChosen(false);
        return;
    }
    lines.SetChosen(true);
    m_session.Frames().SetObserver(kObserver, [&lines](const ST_Frame &frame) {
        CFrameLines::ST_Frame line;
        line.Sent = frame.Direction == EFrameDirection::Sent;
        if (frame.Direction == EFrameDirection::MonitorAtoB ||
            frame.Direction == EFrameDirection::MonitorBtoA)
            line.Side = frame.Direction == EFrameDirection::MonitorAtoB ? 0 : 1;
        line.Data = frame.Bytes;
        line.StartMs = std::chrono::duration_cast<std::chrono::milliseconds>(frame.Start).count();
        line.Mark = MarkOf(frame);
        lines.Frame(std::move(line));
    });
}

void TFrameLineCommands::Load(const QSettings &settings)
{
    m_item->setChecked(kFrameLines.Read(settings));
}

void TFrameLineCommands::Save(QSettings &settings) const
{
    kFrameLines.Write(settings, m_item->isChecked());
}
