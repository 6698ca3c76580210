#include "netport/telnetcodec.h"

#include <cstdint>
#include <cstdlib>

namespace {

using telnet::Bytes;
using telnet::ST_Command;

// Fed in pieces whose sizes come from `seed` (all at once for 0), checking the decoder's hold
// after each piece.
void Decode(const uint8_t *data, size_t size, uint32_t seed, Bytes *out, std::vector<ST_Command> *commands)
{
    telnet::CDecoder decoder;
    const bool whole = seed == 0;
    for (size_t at = 0; at < size;) {
        seed = seed * 1103515245u + 12345u;
        const size_t piece = whole ? size : 1 + (seed >> 16) % 17;
        const size_t n = piece < size - at ? piece : size - at;
        decoder.Feed(data + at, n, out, commands);
        at += n;
        if (decoder.Held() > telnet::CDecoder::kMaxSubnegotiation)
            std::abort();
    }
}

} // namespace

// The first two bytes choose how the rest is split; the rest is what a server sent.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const uint32_t seed = static_cast<uint32_t>(data[0]) << 8 | data[1];
    data += 2;
    size -= 2;

    Bytes whole;
    std::vector<ST_Command> wholeCommands;
    Decode(data, size, 0, &whole, &wholeCommands);
    Bytes split;
    std::vector<ST_Command> splitCommands;
    Decode(data, size, seed | 1, &split, &splitCommands);
    if (split != whole || splitCommands != wholeCommands)
        std::abort();
    if (whole.size() > size || wholeCommands.size() * 3 > size)
        std::abort();

    // What came out goes back in unchanged: data escaped, each command built again.
    Bytes again;
    std::vector<ST_Command> none;
    const Bytes escaped = telnet::Escaped(whole);
    Decode(escaped.data(), escaped.size(), seed, &again, &none);
    if (again != whole || !none.empty())
        std::abort();
    for (const ST_Command &c : wholeCommands) {
        const Bytes wire = c.Kind == ST_Command::ComPort
                               ? telnet::ComPortCommand(c.Code, c.Value)
                               : telnet::OptionCommand(static_cast<uint8_t>(telnet::WILL + c.Kind), c.Option);
        Bytes noData;
        std::vector<ST_Command> one;
        Decode(wire.data(), wire.size(), seed, &noData, &one);
        if (!noData.empty() || one.size() != 1 || !(one[0] == c))
            std::abort();
    }
    return 0;
}
