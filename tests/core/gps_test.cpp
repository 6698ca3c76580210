#include "demo/gps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>

using namespace std::chrono_literals;
using demo::Clock;

namespace {

struct ST_Sentence
{
    Clock::time_point At;
    std::vector<std::string> Fields; // the talker and type first
    size_t Size = 0;
};

class CSentenceOutput : public demo::IDemoOutput
{
public:
    // Each write is checked as one sentence on its own: "$", fields, "*HH", CR LF.
    void Write(const uint8_t *data, size_t size) override
    {
        const std::string text(reinterpret_cast<const char *>(data), size);
        ASSERT_GE(text.size(), 6u) << text;
        ASSERT_EQ(text.front(), '$') << text;
        ASSERT_EQ(text.substr(text.size() - 2), "\r\n") << text;
        const size_t star = text.size() - 5;
        ASSERT_EQ(text[star], '*') << text;
        unsigned sum = 0;
        for (size_t i = 1; i < star; ++i)
            sum ^= uint8_t(text[i]);
        EXPECT_EQ(std::stoul(text.substr(star + 1, 2), nullptr, 16), sum) << text;
        ST_Sentence sentence{*Now, {}, size};
        for (size_t at = 1, comma; at <= star; at = comma + 1) {
            comma = std::min(text.find(',', at), star);
            sentence.Fields.push_back(text.substr(at, comma - at));
        }
        Sentences.push_back(sentence);
    }
    demo::ST_DemoLine Line() const override { return Settings; }

    const Clock::time_point *Now = nullptr;
    demo::ST_DemoLine Settings;
    std::vector<ST_Sentence> Sentences;
};

// Degrees from NMEA's ddmm.mmmm and its hemisphere.
double Degrees(const std::string &value, const std::string &hemisphere)
{
    const double raw = std::stod(value);
    const double degrees = std::floor(raw / 100.0) + std::fmod(raw, 100.0) / 60.0;
    return hemisphere == "S" || hemisphere == "W" ? -degrees : degrees;
}

double Metres(double lat1, double lon1, double lat2, double lon2)
{
    const double north = (lat2 - lat1) * 111320.0;
    const double east = (lon2 - lon1) * 111320.0 * std::cos(lat1 * M_PI / 180.0);
    return std::hypot(north, east);
}

class Gps : public ::testing::Test
{
protected:
    // Runs the device for `duration` of its clock, as the runner would, at `baud`.
    void Run(uint32_t baud, Clock::duration duration)
    {
        m_out.Now = &m_now;
        m_out.Settings.Baud = baud;
        m_gps.Start(m_out, m_now);
        const uint8_t noise[] = {'$', 'G', 'P', 0, 0xFF, '\r', '\n'};
        const Clock::time_point end = m_now + duration;
        while (m_gps.NextTick() <= end) {
            m_now = std::max(m_now, m_gps.NextTick());
            m_gps.Tick(m_out, m_now);
            m_gps.Received(m_out, noise, sizeof noise, m_now);
        }
    }
    // The sentences in fixes, each under its time: a fix begins with its RMC.
    std::vector<std::pair<std::string, std::vector<ST_Sentence>>> Fixes() const
    {
        std::vector<std::pair<std::string, std::vector<ST_Sentence>>> fixes;
        for (const ST_Sentence &s : m_out.Sentences) {
            if (s.Fields[0] == "GPRMC")
                fixes.push_back({s.Fields[1], {}});
            if (fixes.empty())
                ADD_FAILURE() << "a sentence before the first fix";
            else
                fixes.back().second.push_back(s);
        }
        return fixes;
    }

    Clock::time_point m_now = Clock::time_point{} + 1h;
    CSentenceOutput m_out;
    demo::CGpsDevice m_gps;
};

} // namespace

TEST_F(Gps, EachSecondAFixMovingAlongTheTrack)
{
    Run(4800, 5s);
    auto fixes = Fixes();
    ASSERT_GE(fixes.size(), 5u);
    fixes.pop_back(); // cut short by the end of the run
    std::vector<std::pair<double, double>> track;
    for (const auto &[time, sentences] : fixes) {
        std::map<std::string, int> count;
        size_t bytes = 0;
        int satellites = 0, listed = 0;
        for (const ST_Sentence &s : sentences) {
            ++count[s.Fields[0]];
            bytes += s.Size;
            if (s.Fields[0] == "GPGGA") {
                ASSERT_EQ(s.Fields.size(), 15u);
                EXPECT_EQ(s.Fields[1], time);
                EXPECT_EQ(s.Fields[6], "1");
                track.emplace_back(Degrees(s.Fields[2], s.Fields[3]), Degrees(s.Fields[4], s.Fields[5]));
            } else if (s.Fields[0] == "GPRMC") {
                ASSERT_GE(s.Fields.size(), 12u);
                EXPECT_EQ(s.Fields[2], "A");
                EXPECT_NEAR(std::stod(s.Fields[7]), 1.4 * 1.9438, 0.1); // knots
            } else if (s.Fields[0] == "GPGSV") {
                EXPECT_EQ(std::stoi(s.Fields[2]), count["GPGSV"]);
                satellites = std::stoi(s.Fields[3]);
                listed += int(s.Fields.size() - 4) / 4;
            }
        }
        EXPECT_EQ(count["GPRMC"], 1);
        EXPECT_EQ(count["GPGGA"], 1);
        EXPECT_EQ(count["GPVTG"], 1);
        EXPECT_GE(count["GPGSV"], 2);
        EXPECT_EQ(listed, satellites);
        EXPECT_LE(bytes, 480u) << "more than a second of the line at " << time;
    }
    // Walking pace along a circle of 150 m around the fixed point.
    for (size_t i = 1; i < track.size(); ++i) {
        const double step = Metres(track[i - 1].first, track[i - 1].second, track[i].first, track[i].second);
        EXPECT_NEAR(step, 1.4, 0.35) << i; // the printed digits hold 0.2 m
        EXPECT_NEAR(Metres(demo::CGpsDevice::kCentreLatitude, demo::CGpsDevice::kCentreLongitude,
                           track[i].first, track[i].second),
                    150.0, 1.0);
    }
}

TEST_F(Gps, NeverMoreThanTheLineCarries)
{
    for (const uint32_t baud : {4800u, 2400u, 1200u, 300u}) {
        m_out.Sentences.clear();
        Run(baud, 10s);
        const Clock::duration charTime = m_out.Settings.CharTime();
        ASSERT_FALSE(m_out.Sentences.empty()) << baud;
        for (size_t i = 1; i < m_out.Sentences.size(); ++i) {
            const ST_Sentence &before = m_out.Sentences[i - 1];
            EXPECT_GE(m_out.Sentences[i].At - before.At, charTime * int(before.Size)) << baud;
        }
        EXPECT_EQ(m_out.Sentences.front().Fields[0], "GPRMC") << baud;
    }
}
