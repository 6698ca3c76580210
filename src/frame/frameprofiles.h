#pragma once
// The framings of the protocols people most often watch, by name, so that a run or a view can be
// told "Modbus RTU" instead of a framer's settings. Where a protocol's check is carried as text
// (Modbus ASCII's LRC and NMEA 0183's *HH are hex digits), the profile judges the frame itself:
// the framer's check looks at binary values only.
#include "frame/framers.h"

#include <memory>
#include <string>
#include <vector>

enum class EFramingMode : uint8_t { Silence, Delimiter, Length, Fixed, Cobs, Slip };

// A framing as a value: what a built-in name stands for and what the user's profiles file holds.
// Only the settings of the profile's mode are used.
struct ST_FramingProfile
{
    std::string Name;
    EFramingMode Mode = EFramingMode::Delimiter;
    ST_SilenceSettings Silence;
    ST_DelimiterSettings Delimiter{EDelimiterMode::End, {}, {'\r', '\n'}, true};
    ST_LengthField Length;
    size_t FixedLength = 1;
    std::string Check; // a name FrameCheckByName takes; "" for none
    size_t CheckSkip = 0;
    size_t CheckTrail = 0;
    ST_FramerLimits Limits;
    std::string Decoder; // kept for the decoders to come
    // Keys this version does not know (or that another mode uses), as read, so that a save keeps
    // what a later version wrote.
    std::vector<std::pair<std::string, std::string>> Unknown;

    bool operator==(const ST_FramingProfile &o) const;
    bool operator!=(const ST_FramingProfile &o) const { return !(*this == o); }
};

// The framer a profile describes. Throws std::invalid_argument for settings the framers refuse
// or a check no checksum has.
std::unique_ptr<CFramer> MakeFramer(const ST_FramingProfile &profile, const ST_LineTiming &timing);

class CFrameProfile
{
public:
    // `name` in any case. Throws std::invalid_argument for an unknown name, naming the known ones.
    CFrameProfile(const std::string &name, const ST_LineTiming &timing);
    // One of the user's own; throws as MakeFramer does.
    CFrameProfile(const ST_FramingProfile &profile, const ST_LineTiming &timing);
    // What a built-in name stands for (its checks carried as text aside); throws as the
    // constructor by name does.
    static ST_FramingProfile BuiltIn(const std::string &name);

    // The names, as lists show them.
    static const std::vector<std::string> &Names();
    const std::string &Name() const { return m_name; }

    // As CFramer's, with the profile's check given to every frame handed out.
    void Feed(EFrameDirection dir, const uint8_t *data, size_t size, FrameTime time,
              std::vector<ST_Frame> &out);
    void Tick(FrameTime now, std::vector<ST_Frame> &out);
    void Flush(std::vector<ST_Frame> &out);
    std::optional<FrameTime> NextDeadline() const { return m_framer->NextDeadline(); }
    void Recycle(std::vector<ST_Frame> &frames) { m_framer->Recycle(frames); }

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
