#pragma once
// A colour (0x00BBGGRR) and a font-style set used when writing text into a coloured view. The GUI
// turns the colour into its own type; the core only keeps the values.
#include <cstdint>

enum : uint8_t { STYLE_BOLD = 1, STYLE_ITALIC = 2, STYLE_UNDERLINE = 4, STYLE_STRIKEOUT = 8 };

class CDataPattern
{
public:
    CDataPattern() = default;
    explicit CDataPattern(uint32_t color, uint8_t style = 0) : Color(color), Style(style) {}

    void SetColor(uint32_t color) { Color = color; }
    uint8_t Red() const { return Color & 0xFF; }
    uint8_t Green() const { return (Color >> 8) & 0xFF; }
    uint8_t Blue() const { return (Color >> 16) & 0xFF; }

    bool operator==(const CDataPattern &o) const { return Color == o.Color && Style == o.Style; }

    uint32_t Color = 0;
    uint8_t Style = 0;
};

constexpr uint32_t kColorBlue = 0x00FF0000;
constexpr uint32_t kColorRed = 0x000000FF;
constexpr uint32_t kColorNavy = 0x00800000;

// The presets all have the regular style and differ only in colour: blue and red for received and
// sent data, navy for symbol strings.
inline const CDataPattern kPatternBlue{kColorBlue};
inline const CDataPattern kPatternRed{kColorRed};
inline const CDataPattern kPatternSymbol{kColorNavy};
