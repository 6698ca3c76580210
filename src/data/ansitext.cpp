#include "data/ansitext.h"

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kBel = 0x07;
constexpr size_t kLongestParams = 64;

bool Cancels(uint8_t b)
{
    return b == 0x18 || b == 0x1A;
}

} // namespace

uint8_t AnsiMarkCode(AnsiStyle style)
{
    return static_cast<uint8_t>(0x40 + (style.color & 0x1F) + (style.bold ? 0x20 : 0));
}

AnsiStyle AnsiStyleOfMark(uint8_t code)
{
    AnsiStyle style;
    const int value = code - 0x40;
    style.bold = (value & 0x20) != 0;
    const int color = value & 0x1F;
    style.color = color <= AnsiStyle::kDefaultColor && value >= 0 ? static_cast<uint8_t>(color)
                                                                  : AnsiStyle::kDefaultColor;
    return style;
}

void CAnsiParser::Reset()
{
    m_state = State::Text;
    m_style = AnsiStyle{};
    m_params.clear();
    m_oscLength = 0;
}

void CAnsiParser::Feed(const uint8_t *bytes, size_t length, Bytes &out, bool mark)
{
    AnsiStyle written;
    const auto markStyle = [&] {
        if (mark && m_style != written) {
            out.push_back(kAnsiMark);
            out.push_back(AnsiMarkCode(m_style));
            written = m_style;
        }
    };
    markStyle();
    for (size_t i = 0; i < length; ++i) {
        const uint8_t b = bytes[i];
        switch (m_state) {
        case State::Text:
            if (b == kEsc)
                m_state = State::Escape;
            else
                out.push_back(b);
            continue;
        case State::Escape:
            if (b == '[') {
                m_state = State::Csi;
                m_params.clear();
                m_private = false;
            } else if (b == ']') {
                m_state = State::Osc;
                m_oscLength = 0;
            } else if (b >= 0x20 && b <= 0x2F) {
                m_state = State::EscapeIntermediate;
            } else if (b > 0x2F && b <= 0x7E) {
                m_state = State::Text;
            } else if (b == kEsc) {
                // A new sequence begins; the first ESC had no more to it.
            } else {
                m_state = State::Text;
                if (!Cancels(b))
                    out.push_back(b);
            }
            continue;
        case State::EscapeIntermediate:
            if (b >= 0x20 && b <= 0x2F)
                continue;
            m_state = b == kEsc ? State::Escape : State::Text;
            if ((b < 0x20 && b != kEsc && !Cancels(b)) || b > 0x7E)
                out.push_back(b);
            continue;
        case State::Csi:
            if (b >= 0x40 && b <= 0x7E) {
                m_state = State::Text;
                if (b == 'm' && !m_private) {
                    ApplySgr();
                    markStyle();
                }
            } else if (b >= 0x20 && b <= 0x3F) {
                if (b >= 0x3C && b <= 0x3F)
                    m_private = true;
                if (m_params.size() < kLongestParams)
                    m_params.push_back(static_cast<char>(b));
            } else {
                m_state = b == kEsc ? State::Escape : State::Text;
                if (b != kEsc && !Cancels(b))
                    out.push_back(b);
            }
            continue;
        case State::Osc:
            if (b == kBel || Cancels(b))
                m_state = State::Text;
            else if (b == kEsc)
                m_state = State::OscEscape;
            else if (++m_oscLength >= kLongestString)
                m_state = State::Text;
            continue;
        case State::OscEscape:
            // ESC \ ends the string; ESC and anything else ends it too and starts afresh.
            if (b == '\\') {
                m_state = State::Text;
            } else {
                m_state = State::Escape;
                --i;
            }
            continue;
        }
    }
}

// Colour and boldness only; the arguments of extended colours (38;5;n, 38;2;r;g;b and the same
// for backgrounds) are skipped so that they are not read as codes of their own.
void CAnsiParser::ApplySgr()
{
    int codes[kLongestParams / 2 + 1];
    size_t count = 0;
    int value = 0;
    bool overflow = false;
    for (size_t i = 0; i <= m_params.size(); ++i) {
        const char c = i < m_params.size() ? m_params[i] : ';';
        if (c >= '0' && c <= '9') {
            value = value * 10 + (c - '0');
            overflow = overflow || value > 9999;
            if (overflow)
                value = 9999;
        } else if (c == ';' || c == ':') {
            if (count < sizeof codes / sizeof codes[0])
                codes[count++] = value;
            value = 0;
        } else {
            return; // not a plain list of numbers
        }
    }
    for (size_t i = 0; i < count; ++i) {
        const int code = codes[i];
        if (code == 0) {
            m_style = AnsiStyle{};
        } else if (code == 1) {
            m_style.bold = true;
        } else if (code == 22) {
            m_style.bold = false;
        } else if (code >= 30 && code <= 37) {
            m_style.color = static_cast<uint8_t>(code - 30);
        } else if (code >= 90 && code <= 97) {
            m_style.color = static_cast<uint8_t>(code - 90 + 8);
        } else if (code == 39) {
            m_style.color = AnsiStyle::kDefaultColor;
        } else if (code == 38 || code == 48) {
            if (i + 1 < count && codes[i + 1] == 5)
                i += 2;
            else if (i + 1 < count && codes[i + 1] == 2)
                i += 4;
        }
    }
}
