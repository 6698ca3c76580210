#include "replay/recording.h"
#include "replay/replaydevice.h"

#include <cstdlib>
#include <string>

namespace {

class CDropped : public demo::IDemoOutput
{
public:
    void Write(const uint8_t *, size_t) override {}
    demo::ST_DemoLine Line() const override { return {}; }
};

void Check(const ST_Recording &recording)
{
    int64_t previous = 0;
    for (const ST_ReplayRecord &record : recording.Records) {
        if (record.Bytes.empty() || record.Micros < previous)
            std::abort();
        previous = record.Micros;
    }
}

} // namespace

// A text or raw capture of any content is read, its times never going back and no record empty;
// a raw capture keeps every byte. The recording, answering, takes the same bytes as requests.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const ST_Recording text = RecordingOfText(std::string(reinterpret_cast<const char *>(data), size), 9600);
    Check(text);
    const ST_Recording raw = RecordingOfRaw(data, size, size % 2 ? 960 : 0);
    Check(raw);
    std::string back;
    for (const ST_ReplayRecord &record : raw.Records)
        back.append(record.Bytes.begin(), record.Bytes.end());
    if (back != std::string(reinterpret_cast<const char *>(data), size))
        std::abort();

    CDropped out;
    CReplayDevice device(text, {0, false, true}, std::make_shared<CReplayControl>());
    const demo::Clock::time_point t0{};
    device.Start(out, t0);
    for (size_t at = 0; at < size; at += 7)
        device.Received(out, data + at, std::min<size_t>(7, size - at), t0);
    device.Tick(out, t0 + std::chrono::hours(1));
    return 0;
}
