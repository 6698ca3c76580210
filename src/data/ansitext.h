#pragma once
// Terminal escape sequences in text from a peer: removed, or (in marking mode) turned into
// style marks that the log renders as colours. The parser keeps its place between calls, so a
// sequence cut between two pieces of data is still recognised.
//
// Recognised: CSI (ESC [ parameters, intermediates, a final byte 0x40..0x7E), OSC (ESC ] up to
// BEL or ESC \) and ESC followed by intermediates and one final byte. A control byte inside a CSI
// or a two-byte sequence ends it and is kept as text; CAN and SUB cancel a sequence. An OSC left
// open for kLongestString bytes is given up, so lost terminators cannot swallow the output.
#include "data/commdata.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct AnsiStyle
{
    static constexpr uint8_t kDefaultColor = 16;
    uint8_t color = kDefaultColor; // 0..7 normal, 8..15 bright, 16 the text's own colour
    bool bold = false;

    bool operator==(const AnsiStyle &o) const { return color == o.color && bold == o.bold; }
    bool operator!=(const AnsiStyle &o) const { return !(*this == o); }
};

// A mark in marked text is kAnsiMark followed by one code byte: 0x40 + the colour, plus 0x20
// when bold. ESC never remains in marked text otherwise.
constexpr uint8_t kAnsiMark = 0x1B;
uint8_t AnsiMarkCode(AnsiStyle style);
AnsiStyle AnsiStyleOfMark(uint8_t code);

class CAnsiParser
{
public:
    static constexpr size_t kLongestString = 4096;

    // Appends the text of `bytes` to `out` without its escape sequences. With `mark`, each change
    // of colour or boldness (SGR 0, 1, 22, 30..37, 39, 90..97) is written as a mark, and the
    // style in force is marked again at the start of the call's output.
    void Feed(const uint8_t *bytes, size_t length, Bytes &out, bool mark);
    AnsiStyle Style() const { return m_style; }
    // Forgets a sequence in progress and the style.
    void Reset();

private:
    enum class State : uint8_t { Text, Escape, EscapeIntermediate, Csi, Osc, OscEscape };

    void ApplySgr();

    State m_state = State::Text;
    AnsiStyle m_style;
    std::string m_params; // of the CSI in progress, capped
    bool m_private = false;
    size_t m_oscLength = 0;
};
