#include "replay/replaydevice.h"

#include "demo/modbusframe.h"

#include <algorithm>
#include <cstring>
#include <functional>

using demo::Clock;

namespace {

// What a Modbus RTU request is asked of: its unit, function and first address (none for the
// functions that have none).
struct ST_ModbusKey
{
    uint8_t Unit = 0, Function = 0;
    int Address = -1;

    uint64_t Packed() const
    {
        return uint64_t{Unit} << 40 | uint64_t{Function} << 32 | uint32_t(Address + 1);
    }
};

bool ModbusKeyOf(const uint8_t *data, size_t size, ST_ModbusKey *key)
{
    const long length = demo::ModbusRequestLength(data, size);
    if (length <= 0 || static_cast<size_t>(length) != size || !demo::ModbusCrcOk(data, size))
        return false;
    key->Unit = data[0];
    key->Function = data[1];
    static const uint8_t kAddressed[] = {1, 2, 3, 4, 5, 6, 15, 16, 22, 23};
    if (size >= 6 && std::find(std::begin(kAddressed), std::end(kAddressed), data[1]) != std::end(kAddressed))
        key->Address = data[2] << 8 | data[3];
    return true;
}

} // namespace

void CReplayControl::Step()
{
    m_steps.fetch_add(1);
    // Under the lock: once SetWake(nullptr) returns, no wake of the runner it named is under way.
    const std::lock_guard<std::mutex> guard(m_lock);
    if (m_wake)
        m_wake();
}

void CReplayControl::SetWake(std::function<void()> wake)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    m_wake = std::move(wake);
}

CReplayDevice::CReplayDevice(ST_Recording recording, const ST_ReplayOptions &options,
                             std::shared_ptr<CReplayControl> control)
    : m_recording(std::move(recording)), m_options(options), m_control(std::move(control))
{
    const std::vector<ST_ReplayRecord> &records = m_recording.Records;
    for (size_t i = 0; i < records.size(); ++i) {
        const bool device = records[i].Side == EReplaySide::Device;
        if (!m_options.Answer) {
            if (device)
                m_playing.push_back(i);
            continue;
        }
        if (!device) {
            // The program's pieces with no answer between them are one request.
            if (m_requests.empty() || !m_requests.back().Answer.empty())
                m_requests.emplace_back();
            ST_Request &request = m_requests.back();
            request.Bytes.insert(request.Bytes.end(), records[i].Bytes.begin(), records[i].Bytes.end());
            request.EndMicros = records[i].Micros;
        } else if (m_requests.empty()) {
            m_playing.push_back(i);
        } else {
            m_requests.back().Answer.push_back(i);
        }
    }
    // Looked up by their bytes and by what a Modbus request asks, so a long recording answers
    // each request as fast as a short one.
    for (size_t r = 0; r < m_requests.size(); ++r) {
        ST_Request &request = m_requests[r];
        // A request of more than the held bytes could never be recognised.
        if (request.Bytes.size() > kMaxHeld)
            request.Bytes.erase(request.Bytes.begin(), request.Bytes.end() - kMaxHeld);
        if (request.Bytes.empty())
            continue;
        m_byBytes[std::string(request.Bytes.begin(), request.Bytes.end())].push_back(r);
        m_lengths.push_back(request.Bytes.size());
        ST_ModbusKey key;
        if (ModbusKeyOf(request.Bytes.data(), request.Bytes.size(), &key))
            m_byKey[key.Packed()].push_back(r);
    }
    std::sort(m_lengths.begin(), m_lengths.end(), std::greater<size_t>());
    m_lengths.erase(std::unique(m_lengths.begin(), m_lengths.end()), m_lengths.end());
    m_control->SetTotal(m_playing.size());
}

Clock::duration CReplayDevice::Scaled(int64_t micros) const
{
    if (m_options.Speed <= 0)
        return Clock::duration::zero();
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::micro>(
        static_cast<double>(std::max<int64_t>(0, micros)) / m_options.Speed));
}

Clock::duration CReplayDevice::LineTime(const demo::IDemoOutput &out, size_t bytes)
{
    return out.Line().CharTime() * static_cast<Clock::rep>(bytes);
}

void CReplayDevice::Start(demo::IDemoOutput &out, Clock::time_point now)
{
    m_started = now + std::chrono::microseconds(std::max<int64_t>(0, m_options.SettleMicros));
    m_lineFree = m_started;
    m_running = true;
    if (m_playing.empty() && !m_options.Answer)
        m_control->SetFinished();
    Tick(out, now);
}

Clock::time_point CReplayDevice::PlayingAt() const
{
    if (!m_running || m_next >= m_playing.size())
        return Clock::time_point::max();
    if (m_options.Step && !m_options.Answer)
        return m_control->Steps() > m_stepsUsed ? Clock::time_point::min() : Clock::time_point::max();
    // Never faster than the line carries it: a device could not have sent it sooner, and a
    // program that reads at the line's pace never finds the runner's queue overflowing.
    return std::max(m_lineFree, m_started + Scaled(m_recording.Records[m_playing[m_next]].Micros -
                                                   m_recording.Records[m_playing.front()].Micros));
}

Clock::time_point CReplayDevice::AnswerAt() const
{
    return m_due.empty() ? Clock::time_point::max() : std::max(m_due.front().At, m_lineFree);
}

Clock::time_point CReplayDevice::NextTick() const
{
    if (!m_running)
        return Clock::time_point::max();
    return std::min(PlayingAt(), AnswerAt());
}

void CReplayDevice::Send(demo::IDemoOutput &out, size_t record, Clock::time_point now)
{
    const std::vector<uint8_t> &bytes = m_recording.Records[record].Bytes;
    out.Write(bytes);
    m_lineFree = std::max(m_lineFree, now) + LineTime(out, bytes.size());
}

void CReplayDevice::Tick(demo::IDemoOutput &out, Clock::time_point now)
{
    // What is due goes out in the recording's order, however late the tick came.
    while (NextTick() <= now) {
        if (AnswerAt() <= PlayingAt()) {
            Send(out, m_due.front().Record, now);
            m_due.pop_front();
            continue;
        }
        if (m_options.Step && !m_options.Answer)
            ++m_stepsUsed;
        Send(out, m_playing[m_next++], now);
        m_control->CountPlayed();
        if (m_next == m_playing.size() && !m_options.Answer)
            m_control->SetFinished();
    }
}

size_t CReplayDevice::NextOf(const std::vector<size_t> &requests) const
{
    const auto next = std::lower_bound(requests.begin(), requests.end(), m_nextRequest);
    return next == requests.end() ? requests.front() : *next;
}

long CReplayDevice::FindRequest()
{
    // The longest request the bytes end with: a short one ("\r") is no answer to a longer one
    // that ends the same way. Of equal ones, the first from the one after the last answered.
    for (size_t length : m_lengths) {
        if (length > m_held.size())
            continue;
        const auto found =
            m_byBytes.find(std::string(m_held.end() - static_cast<ptrdiff_t>(length), m_held.end()));
        if (found != m_byBytes.end())
            return static_cast<long>(NextOf(found->second));
    }
    ST_ModbusKey asked;
    bool whole = false;
    for (size_t from = 0; from + demo::kModbusMinFrame <= m_held.size() && !whole; ++from)
        whole = ModbusKeyOf(m_held.data() + from, m_held.size() - from, &asked);
    if (!whole)
        return -1;
    const auto found = m_byKey.find(asked.Packed());
    if (found != m_byKey.end())
        return static_cast<long>(NextOf(found->second));
    // A whole request the recording never answered: the next one starts afresh.
    m_held.clear();
    m_control->CountAnswer(false);
    return -1;
}

void CReplayDevice::Answer(size_t request, Clock::time_point now)
{
    const ST_Request &asked = m_requests[request];
    for (size_t record : asked.Answer) {
        Clock::time_point at = now + Scaled(m_recording.Records[record].Micros - asked.EndMicros);
        // Answers of two requests asked close together keep their order.
        if (!m_due.empty())
            at = std::max(at, m_due.back().At);
        m_due.push_back({at, record});
    }
    m_nextRequest = (request + 1) % m_requests.size();
    m_control->CountAnswer(true);
}

void CReplayDevice::Received(demo::IDemoOutput &out, const uint8_t *data, size_t size, Clock::time_point now)
{
    if (!m_options.Answer || m_requests.empty())
        return;
    m_held.insert(m_held.end(), data, data + size);
    if (m_held.size() > kMaxHeld)
        m_held.erase(m_held.begin(), m_held.end() - static_cast<ptrdiff_t>(kMaxHeld));
    const long found = FindRequest();
    if (found < 0)
        return;
    m_held.clear();
    Answer(static_cast<size_t>(found), now);
    Tick(out, now);
}
