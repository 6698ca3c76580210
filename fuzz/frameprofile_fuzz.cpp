#include "frame/frameprofiles.h"

#include <cstdlib>
#include <vector>

// Whatever the line brings, each framing's verdicts are the same however it is cut into reads, and
// a frame whose check is carried as text is judged without reading past its bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const std::string &name = CFrameProfile::Names()[data[0] % CFrameProfile::Names().size()];
    const size_t step = data[1] % 17 + 1;
    data += 2;
    size -= 2;
    const ST_LineTiming line{9600, 8, false, 1};
    CFrameProfile whole(name, line), cut(name, line);
    std::vector<ST_Frame> a, b;
    whole.Feed(EFrameDirection::Received, data, size, FrameTime(0), a);
    for (size_t at = 0; at < size; at += step)
        cut.Feed(EFrameDirection::Received, data + at, std::min(step, size - at), FrameTime(0), b);
    whole.Flush(a);
    cut.Flush(b);
    if (a.size() != b.size())
        std::abort();
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].Bytes != b[i].Bytes || a[i].Check != b[i].Check)
            std::abort();
    const std::vector<uint8_t> raw(data, data + size);
    ModbusAsciiCheck(raw);
    NmeaCheck(raw);
    return 0;
}
