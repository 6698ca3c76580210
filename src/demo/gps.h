#pragma once
// A GPS receiver behind the demo port: once a second, on the whole UTC second, the NMEA 0183
// sentences of a fix (GGA, RMC, the satellites in view as GSV, VTG) of someone walking a circle
// around a fixed point. The sentences leave at the line's pace: each is written when the one
// before it would have left the wire, and a line too slow for all of them gets fewer satellites,
// then fewer sentences, never more bytes than it can carry. Input is read and dropped.
#include "demo/demodevice.h"

#include <chrono>
#include <deque>

namespace demo {

// "$<body>*HH\r\n": the body with its checksum (the XOR of its bytes) in hex and the line end.
std::string NmeaSentence(const std::string &body);

class CGpsDevice : public IDemoDevice
{
public:
    // Where the track runs, as a point and a radius; a walking pace.
    static constexpr double kCentreLatitude = 47.2714;
    static constexpr double kCentreLongitude = 8.6412;
    static constexpr double kRadiusMetres = 150.0;
    static constexpr double kSpeedMetresPerSecond = 1.4;

    void Start(IDemoOutput &out, Clock::time_point now) override;
    void Received(IDemoOutput &, const uint8_t *, size_t, Clock::time_point) override {}
    Clock::time_point NextTick() const override;
    void Tick(IDemoOutput &out, Clock::time_point now) override;

private:
    // The sentences of the fix `elapsed` seconds after the track began, at UTC `utc`, that fit in
    // `budget` characters.
    static std::vector<std::string> Fix(double elapsed, std::chrono::system_clock::time_point utc,
                                        size_t budget);

    Clock::time_point m_started{};
    std::chrono::system_clock::time_point m_utcAtStart{};
    Clock::time_point m_nextFix = Clock::time_point::max();
    std::deque<std::string> m_queue;
    Clock::time_point m_nextWrite = Clock::time_point::max();
};

} // namespace demo
