#include "script/headlessreplay.h"

#include "data/commdata.h"
#include "link/linksetting.h"
#include "platform/handover.h"
#include "portbase/demoports.h"
#include "replay/replayports.h"
#include "session/portsession.h"
#include "session/sessionframes.h"

#include <cmath>
#include <cstdlib>

bool CHeadlessReplay::ParseSpeed(const std::string &text, double *speed)
{
    if (text == "max") {
        *speed = 0;
        return true;
    }
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || !(value > 0) || value > 1000)
        return false;
    *speed = value;
    return true;
}

void CHeadlessReplay::PreparePort(const std::string &port, const ST_ReplayOptions &options)
{
    if (IsReplayPortName(port))
        PrepareReplay(ReplayFileOf(port), options);
}

void CHeadlessReplay::Start(const std::string &path, const ST_ReplayOptions &options,
                            const COM_PORT_SETTING &link, CPortSession &session, CHandOver &owner)
{
    ST_Recording recording = ReadRecordingFile(path, 0);
    const ST_LineTiming timing = LineTimingOf(link);
    demo::ST_DemoLine line;
    if (timing.Baud)
        line.Baud = timing.Baud;
    line.DataBits = timing.DataBits;
    line.Parity = timing.Parity;
    line.StopBits = timing.StopBits > 1 ? 2 : 1;
    m_answer = options.Answer;
    m_pump = std::make_shared<CReplayPump>(std::move(recording), options, line,
                                           [&session, &owner](const uint8_t *data, size_t size) {
                                               std::vector<uint8_t> bytes(data, data + size);
                                               owner.Forward([&session, bytes = std::move(bytes)] {
                                                   if (session.IsOpen())
                                                       session.Send(CCommData(bytes, FMT_STRING));
                                               });
                                           });
    m_control = m_pump->Control();
    std::weak_ptr<CReplayPump> pump = m_pump;
    session.Traffic().SetReader(
        "replay", std::make_shared<CTrafficPath::Reader>([pump](const uint8_t *data, size_t size) {
            if (const auto playing = pump.lock())
                playing->Received(data, size);
        }));
}

void CHeadlessReplay::Stop(CPortSession &session)
{
    if (!m_pump)
        return;
    session.Traffic().SetReader("replay", nullptr);
    m_pump.reset();
}

std::string CHeadlessReplay::Summary() const
{
    if (!m_control)
        return std::string();
    if (m_answer)
        return "answered " + std::to_string(m_control->Answered()) + " requests, " +
               std::to_string(m_control->Unanswered()) + " without a recorded answer";
    return "played " + std::to_string(m_control->Played()) + " of " + std::to_string(m_control->Total()) +
           " frames";
}
