#include "demo/gps.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <iterator>

namespace demo {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerDegree = 111320.0;
constexpr double kKnotsPerMetreSecond = 1.943844;

struct ST_Satellite
{
    int Prn;
    int Elevation; // degrees
    int Azimuth;   // degrees
    int Snr;       // dB-Hz
};

// The sky of the demo: twelve satellites, slowly turning.
constexpr ST_Satellite kSky[] = {
    {2, 61, 45, 44},   {5, 27, 112, 38}, {7, 12, 190, 31},  {9, 48, 260, 42},
    {13, 8, 330, 26},  {15, 35, 15, 40}, {18, 72, 150, 46}, {20, 21, 220, 35},
    {24, 40, 300, 41}, {27, 15, 80, 30}, {29, 55, 175, 43}, {30, 5, 355, 22},
};
constexpr int kSatellitesInFix = 8;

std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char *format, ...)
{
    char text[128];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return std::string(text, size_t(std::max(0, std::min(n, int(sizeof text) - 1))));
}

// ddmm.mmmm,N or dddmm.mmmm,E
std::string Coordinate(double degrees, bool latitude)
{
    const char hemisphere = latitude ? (degrees < 0 ? 'S' : 'N') : (degrees < 0 ? 'W' : 'E');
    degrees = std::fabs(degrees);
    int whole = int(degrees);
    double minutes = (degrees - whole) * 60.0;
    // Rounded to the printed digits here, so 59.99999 minutes never print as 60.0000.
    minutes = std::round(minutes * 10000.0) / 10000.0;
    if (minutes >= 60.0) {
        minutes -= 60.0;
        ++whole;
    }
    return Format(latitude ? "%02d%07.4f,%c" : "%03d%07.4f,%c", whole, minutes, hemisphere);
}

std::vector<std::string> SkySentences(double elapsed, size_t sentences)
{
    const size_t listed = std::min(sentences * 4, std::size(kSky));
    std::vector<std::string> out;
    const int turn = int(elapsed / 60.0); // a degree a minute
    for (size_t n = 0; n < sentences; ++n) {
        std::string body = Format("GPGSV,%zu,%zu,%02zu", sentences, n + 1, listed);
        for (size_t i = n * 4; i < std::min(listed, n * 4 + 4); ++i) {
            const ST_Satellite &s = kSky[i];
            const int snr = s.Snr + int(std::lround(2.0 * std::sin(elapsed / 7.0 + double(i))));
            body += Format(",%02d,%02d,%03d,%02d", s.Prn, s.Elevation, (s.Azimuth + turn) % 360, snr);
        }
        out.push_back(NmeaSentence(body));
    }
    return out;
}

} // namespace

std::string NmeaSentence(const std::string &body)
{
    uint8_t sum = 0;
    for (const char c : body)
        sum ^= uint8_t(c);
    return "$" + body + Format("*%02X\r\n", sum);
}

std::vector<std::string> CGpsDevice::Fix(double elapsed, std::chrono::system_clock::time_point utc,
                                         size_t budget)
{
    const double angle = elapsed * kSpeedMetresPerSecond / kRadiusMetres;
    const double latitude = kCentreLatitude + kRadiusMetres * std::sin(angle) / kMetresPerDegree;
    const double longitude =
        kCentreLongitude +
        kRadiusMetres * std::cos(angle) / (kMetresPerDegree * std::cos(kCentreLatitude * kPi / 180.0));
    // Walking anticlockwise seen from above: north, then west, then south.
    double course = std::fmod(360.0 - angle * 180.0 / kPi, 360.0);
    if (course < 0)
        course += 360.0;
    const double knots = kSpeedMetresPerSecond * kKnotsPerMetreSecond;
    const double kmh = kSpeedMetresPerSecond * 3.6;
    const double altitude = 412.0 + 1.5 * std::sin(angle);

    const std::time_t seconds = std::chrono::system_clock::to_time_t(utc);
    std::tm t{};
    gmtime_r(&seconds, &t);
    const std::string time = Format("%02d%02d%02d.00", t.tm_hour, t.tm_min, t.tm_sec);
    const std::string date = Format("%02d%02d%02d", t.tm_mday, t.tm_mon + 1, t.tm_year % 100);
    const std::string position = Coordinate(latitude, true) + "," + Coordinate(longitude, false);

    // Most wanted first: what a reader can do with only the first few.
    std::vector<std::string> wanted = {
        NmeaSentence("GPRMC," + time + ",A," + position + Format(",%.1f,%.1f,", knots, course) + date +
                     ",,,A"),
        NmeaSentence("GPGGA," + time + "," + position +
                     Format(",1,%02d,0.9,%.1f,M,47.3,M,,", kSatellitesInFix, altitude)),
        NmeaSentence(Format("GPVTG,%.1f,T,,M,%.1f,N,%.1f,K,A", course, knots, kmh)),
    };
    std::vector<std::string> out;
    size_t used = 0;
    for (const std::string &s : wanted) {
        // The first always goes: a line too slow for it carries a fix every few seconds.
        if (!out.empty() && used + s.size() > budget)
            return out;
        out.push_back(s);
        used += s.size();
    }
    for (size_t sky = (std::size(kSky) + 3) / 4; sky > 0; --sky) {
        const std::vector<std::string> gsv = SkySentences(elapsed, sky);
        size_t size = 0;
        for (const std::string &s : gsv)
            size += s.size();
        if (used + size <= budget) {
            out.insert(out.end(), gsv.begin(), gsv.end());
            break;
        }
    }
    return out;
}

void CGpsDevice::Start(IDemoOutput &, Clock::time_point now)
{
    m_started = now;
    m_queue.clear();
    m_nextWrite = Clock::time_point::max();
    m_utcAtStart = std::chrono::system_clock::now();
    // The first fix comes on the next whole second of UTC, as a receiver's does.
    const auto intoSecond = m_utcAtStart.time_since_epoch() % std::chrono::seconds(1);
    m_nextFix = now + std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1) - intoSecond);
}

Clock::time_point CGpsDevice::NextTick() const
{
    return m_queue.empty() ? m_nextFix : m_nextWrite;
}

void CGpsDevice::Tick(IDemoOutput &out, Clock::time_point now)
{
    const ST_DemoLine line = out.Line();
    if (m_queue.empty() && now >= m_nextFix) {
        // A runner held up for seconds gives the latest fix, not the ones it missed.
        m_nextFix += std::chrono::seconds((now - m_nextFix) / std::chrono::seconds(1));
        const auto utc = m_utcAtStart + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                            m_nextFix - m_started);
        const double elapsed = std::chrono::duration<double>(m_nextFix - m_started).count();
        // A tenth of the second is left free, so a fix never runs into the next one.
        const double perSecond = 1.0 / std::chrono::duration<double>(line.CharTime()).count();
        const std::vector<std::string> fix = Fix(elapsed, utc, size_t(perSecond * 0.9));
        m_queue.assign(fix.begin(), fix.end());
        m_nextWrite = now;
        m_nextFix += std::chrono::seconds(1);
    }
    while (!m_queue.empty() && now >= m_nextWrite) {
        const std::string sentence = std::move(m_queue.front());
        m_queue.pop_front();
        out.Write(sentence);
        m_nextWrite = now + line.CharTime() * int(sentence.size());
    }
    // A line too slow for one second's fix skips the seconds its fix took.
    if (m_queue.empty() && m_nextWrite != Clock::time_point::max() && m_nextFix < m_nextWrite) {
        const auto late = (m_nextWrite - m_nextFix) / std::chrono::seconds(1) + 1;
        m_nextFix += std::chrono::seconds(late);
    }
}

} // namespace demo
