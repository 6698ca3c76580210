#include "session/trafficpath.h"

#include <algorithm>
#include <chrono>
#include <utility>

int64_t WallMicrosAt(int64_t steadyMicros)
{
    using namespace std::chrono;
    const int64_t wall = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    const int64_t steady = duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    return wall - std::max<int64_t>(0, steady - steadyMicros);
}

void CTrafficPath::Add(std::string name, Stage stage)
{
    m_stages.push_back({std::move(name), std::move(stage)});
}

void CTrafficPath::Run(ST_Traffic &event)
{
    event.Seq = ++m_seq;
    for (const ST_Stage &stage : m_stages)
        stage.Run(event);
}

std::vector<std::string> CTrafficPath::Names() const
{
    std::vector<std::string> names;
    names.reserve(m_stages.size());
    for (const ST_Stage &stage : m_stages)
        names.push_back(stage.Name);
    return names;
}

void CTrafficPath::SetReader(const std::string &name, std::shared_ptr<Reader> reader)
{
    const std::lock_guard<std::mutex> guard(m_read->Lock);
    auto readers = std::make_shared<std::vector<ST_Reader>>(*m_read->Readers);
    const auto found = std::find_if(readers->begin(), readers->end(),
                                    [&name](const ST_Reader &r) { return r.Name == name; });
    if (found != readers->end())
        found->Run = std::move(reader);
    else if (reader)
        readers->push_back({name, std::move(reader)});
    m_read->Readers = std::move(readers);
}

void CTrafficPath::Read(const uint8_t *data, size_t size)
{
    std::shared_ptr<const std::vector<ST_Reader>> readers;
    {
        const std::lock_guard<std::mutex> guard(m_read->Lock);
        m_read->Read.Bytes += size;
        readers = m_read->Readers;
    }
    for (const ST_Reader &reader : *readers)
        if (reader.Run && *reader.Run)
            (*reader.Run)(data, size);
}

bool CTrafficPath::HasReaders() const
{
    const std::lock_guard<std::mutex> guard(m_read->Lock);
    return std::any_of(m_read->Readers->begin(), m_read->Readers->end(),
                       [](const ST_Reader &reader) { return reader.Run && *reader.Run; });
}

CTrafficPath::ST_ReadMark CTrafficPath::ReadSoFar() const
{
    const std::lock_guard<std::mutex> guard(m_read->Lock);
    return m_read->Read;
}

CTrafficPath::ReadMarker CTrafficPath::Marker() const
{
    return [state = m_read] {
        const std::lock_guard<std::mutex> guard(state->Lock);
        return state->Read;
    };
}

void CTrafficPath::AfterRead(const ST_ReadMark &mark, std::function<void()> then)
{
    uint64_t run = 0;
    {
        const std::lock_guard<std::mutex> guard(m_read->Lock);
        run = m_read->Read.Run;
    }
    // Whatever waits already came first, so nothing may pass it.
    if (mark.Run != run || (m_waiting.empty() && m_arrived >= mark.Bytes)) {
        then();
        return;
    }
    m_waiting.push_back({mark.Bytes, std::move(then)});
}

void CTrafficPath::Arrived(size_t bytes)
{
    m_arrived += bytes;
    RunDue();
}

void CTrafficPath::RunDue()
{
    while (!m_waiting.empty() && m_waiting.front().Bytes <= m_arrived) {
        const std::function<void()> then = std::move(m_waiting.front().Then);
        m_waiting.pop_front();
        then();
    }
}

void CTrafficPath::EndReads()
{
    {
        const std::lock_guard<std::mutex> guard(m_read->Lock);
        ++m_read->Read.Run;
        m_read->Read.Bytes = 0;
    }
    m_arrived = 0;
    std::deque<ST_Waiting> waiting;
    waiting.swap(m_waiting);
    for (ST_Waiting &w : waiting)
        w.Then();
}
