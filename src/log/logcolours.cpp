#include "log/logcolours.h"

#include "data/datapattern.h"
#include "log/logrender.h"

#include <algorithm>
#include <cmath>

namespace {

// Written as the web writes colours, 0xRRGGBB, and turned into the core's order.
constexpr uint32_t Rgb(uint32_t rgb)
{
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

double Linear(uint32_t channel)
{
    const double s = static_cast<double>(channel & 0xFF) / 255.0;
    return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
}

uint32_t Channel(double value)
{
    return static_cast<uint32_t>(std::clamp(std::lround(value), 0L, 255L));
}

// Each channel moved `share` of the way to `target` (0 or 255).
uint32_t Towards(uint32_t colour, double target, double share)
{
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double c = static_cast<double>((colour >> shift) & 0xFF);
        out |= Channel(c + (target - c) * share) << shift;
    }
    return out;
}

} // namespace

double RelativeLuminance(uint32_t colour)
{
    return 0.2126 * Linear(colour) + 0.7152 * Linear(colour >> 8) + 0.0722 * Linear(colour >> 16);
}

double ContrastRatio(uint32_t a, uint32_t b)
{
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

uint32_t WithContrast(uint32_t colour, uint32_t ground, double ratio)
{
    if (ContrastRatio(colour, ground) >= ratio)
        return colour;
    const double target = RelativeLuminance(ground) > 0.18 ? 0.0 : 255.0;
    // The share of the way is searched in steps of a channel's unit, the smallest that is enough.
    for (int step = 1; step <= 255; ++step) {
        const uint32_t moved = Towards(colour, target, step / 255.0);
        if (ContrastRatio(moved, ground) >= ratio)
            return moved;
    }
    return target == 0.0 ? 0 : 0x00FFFFFF;
}

const std::vector<ST_LogColour> &LogColours()
{
    // The light column is the first colour, or where that fell short on white, WithContrast's.
    // The dark column is chosen for the dark page: the same hues, light enough to read.
    static const std::vector<ST_LogColour> colours = [] {
        std::vector<ST_LogColour> c = {
            {"received, stamps", kColorBlue, kColorBlue, Rgb(0x6CB6FF)},
            {"sent", kColorRed, Rgb(0xEE0000), Rgb(0xFF7B72)},
            {"sent symbols", kColorNavy, kColorNavy, Rgb(0xA0A8FF)},
            {"notes", kColorNote, kColorNote, Rgb(0xE08BE8)},
            {"checksum marks", kColorChecksumBad, Rgb(0xC05800), Rgb(0xFFA24D)},
            {"escaped bytes", kColorEscape, Rgb(0x767676), Rgb(0xA0A0A0)},
            {"dropped lines", kColorMarker, Rgb(0x767676), Rgb(0xA8A8A8)},
        };
        // Colour marks in the data: a terminal's eight and their bright forms.
        static const uint32_t kAnsiLight[16] = {Rgb(0x000000), Rgb(0xC00000), Rgb(0x008000), Rgb(0x7A7A00),
                                                Rgb(0x0000C0), Rgb(0xA000A0), Rgb(0x008080), Rgb(0x767676),
                                                Rgb(0x606060), Rgb(0xEE0000), Rgb(0x008A00), Rgb(0x9C6E00),
                                                Rgb(0x0000FF), Rgb(0xC800C8), Rgb(0x00838B), Rgb(0x646464)};
        static const uint32_t kAnsiDark[16] = {Rgb(0xBDBDBD), Rgb(0xFF6E6E), Rgb(0x5FD75F), Rgb(0xD7D75F),
                                               Rgb(0x7FA7FF), Rgb(0xE07FE0), Rgb(0x5FD7D7), Rgb(0xD0D0D0),
                                               Rgb(0xA8A8A8), Rgb(0xFF7B72), Rgb(0x87FF87), Rgb(0xFFE27A),
                                               Rgb(0x6CB6FF), Rgb(0xFF9EFF), Rgb(0x8AF0F0), Rgb(0xF2F2F2)};
        for (uint8_t i = 0; i < 16; ++i) {
            const uint32_t rendered = AnsiColor(i, false, 0);
            // The bright red and blue are the sent and received colours, already in the set.
            if (std::none_of(c.begin(), c.end(),
                             [&](const ST_LogColour &e) { return e.Rendered == rendered; }))
                c.push_back({"colour marks", rendered, kAnsiLight[i], kAnsiDark[i]});
        }
        return c;
    }();
    return colours;
}

uint32_t LogPage(ELogTheme theme)
{
    return theme == ELogTheme::Dark ? Rgb(0x1E1E1E) : Rgb(0xFFFFFF);
}

uint32_t LogFindMark(ELogTheme theme)
{
    return theme == ELogTheme::Dark ? Rgb(0x4A4000) : Rgb(0xFFF078);
}

uint32_t LogShownColour(ELogTheme theme, uint32_t rendered)
{
    for (const ST_LogColour &c : LogColours())
        if (c.Rendered == rendered)
            return theme == ELogTheme::Dark ? c.Dark : c.Light;
    return rendered;
}
