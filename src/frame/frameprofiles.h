#pragma once
// The framings of the protocols people most often watch, by name, so that a run or a view can be
// told "Modbus RTU" instead of a framer's settings. Where a protocol's check is carried as text
// (Modbus ASCII's LRC and NMEA 0183's *HH are hex digits), the profile judges the frame itself:
// the framer's check looks at binary values only.
#include "frame/framer.h"

#include <memory>
#include <string>
#include <vector>

class CFrameProfile
{
public:
    // `name` in any case. Throws std::invalid_argument for an unknown name, naming the known ones.
    CFrameProfile(const std::string &name, const ST_LineTiming &timing);

    // The names, as lists show them.
    static const std::vector<std::string> &Names();
    const std::string &Name() const { return m_name; }

    // As CFramer's, with the profile's check given to every frame handed out.
    void Feed(EFrameDirection dir, const uint8_t *data, size_t size, FrameTime time,
              std::vector<ST_Frame> &out);
    void Tick(FrameTime now, std::vector<ST_Frame> &out);
    void Flush(std::vector<ST_Frame> &out);
    std::optional<FrameTime> NextDeadline() const { return m_framer->NextDeadline(); }

private:
    void Judge(std::vector<ST_Frame> &out, size_t from) const;

    std::string m_name;
    std::unique_ptr<CFramer> m_framer;
    EFrameCheck (*m_judge)(const ST_Frame &) = nullptr;
};

// ":" hex pairs, the last the LRC of the bytes before it, CR LF.
EFrameCheck ModbusAsciiCheck(const std::vector<uint8_t> &frame);
// "$" or "!", the sentence, "*" and two hex digits of the XOR of the bytes between, CR LF. A
// sentence without "*" has no check (older talkers send none).
EFrameCheck NmeaCheck(const std::vector<uint8_t> &frame);
