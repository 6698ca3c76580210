#include "console/consolescreen.h"

#include <vterm.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <deque>

namespace {

// Far beyond what the lines' count alone would take on a screen of usual width; it bounds a
// scrollback of very wide screens full of colour changes.
constexpr size_t kScrollbackBudget = size_t{64} * 1024 * 1024;
// No display shows more cells than this; it keeps a mistaken size from taking the memory.
constexpr int kMaxExtent = 1000;
// libvterm 0.1.4 writes outside its buffer for a wide character on a screen of one column.
constexpr int kMinCols = 2;

// xterm's 16 colours, so that the device's colours look here as they do in the usual terminal.
constexpr uint8_t kXtermColours[16][3] = {
    {0, 0, 0},     {205, 0, 0},     {0, 205, 0},     {205, 205, 0},   {0, 0, 238}, {205, 0, 205},
    {0, 205, 205}, {229, 229, 229}, {127, 127, 127}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {92, 92, 255}, {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

// In a stored line's text, markers that no cell holds (cells never hold control characters).
constexpr char kEmptyCell = '\x00';
constexpr char kRightHalf = '\x01';
constexpr char kCombining = '\x02';

// The attributes of a run of cells in a stored line, from its column on.
struct ST_SbRun
{
    uint16_t Col = 0;
    uint8_t Flags = 0;
    uint8_t Fg[3] = {};
    uint8_t Bg[3] = {};
};

enum : uint8_t {
    kBold = 1,
    kItalic = 2,
    kUnderline = 4,
    kReverse = 8,
    kStrike = 16,
    kBlink = 32,
    kFgDefault = 64,
    kBgDefault = 128,
};

// A line of the scrollback: its cells' characters as UTF-8 (with the markers above) and its
// attribute runs, none when all its cells have the default ones. Trailing blanks are not kept.
struct ST_SbLine
{
    std::string Text;
    std::vector<ST_SbRun> Runs;
    size_t Bytes() const { return sizeof(ST_SbLine) + Text.capacity() + Runs.capacity() * sizeof(ST_SbRun); }
};

uint8_t FlagsOf(const ST_ConsoleCell &c)
{
    return static_cast<uint8_t>((c.Bold ? kBold : 0) | (c.Italic ? kItalic : 0) |
                                (c.Underline ? kUnderline : 0) | (c.Reverse ? kReverse : 0) |
                                (c.Strike ? kStrike : 0) | (c.Blink ? kBlink : 0) |
                                (c.Fg.Default ? kFgDefault : 0) | (c.Bg.Default ? kBgDefault : 0));
}

ST_SbRun RunOf(const ST_ConsoleCell &c, uint16_t col)
{
    ST_SbRun r;
    r.Col = col;
    r.Flags = FlagsOf(c);
    if (!c.Fg.Default) {
        r.Fg[0] = c.Fg.R;
        r.Fg[1] = c.Fg.G;
        r.Fg[2] = c.Fg.B;
    }
    if (!c.Bg.Default) {
        r.Bg[0] = c.Bg.R;
        r.Bg[1] = c.Bg.G;
        r.Bg[2] = c.Bg.B;
    }
    return r;
}

bool SameAttrs(const ST_SbRun &a, const ST_SbRun &b)
{
    return a.Flags == b.Flags && std::equal(a.Fg, a.Fg + 3, b.Fg) && std::equal(a.Bg, a.Bg + 3, b.Bg);
}

void ApplyRun(const ST_SbRun &r, ST_ConsoleCell &c)
{
    c.Bold = r.Flags & kBold;
    c.Italic = r.Flags & kItalic;
    c.Underline = r.Flags & kUnderline;
    c.Reverse = r.Flags & kReverse;
    c.Strike = r.Flags & kStrike;
    c.Blink = r.Flags & kBlink;
    c.Fg = ST_ConsoleColour{r.Fg[0], r.Fg[1], r.Fg[2], (r.Flags & kFgDefault) != 0};
    c.Bg = ST_ConsoleColour{r.Bg[0], r.Bg[1], r.Bg[2], (r.Flags & kBgDefault) != 0};
}

bool IsBlank(const ST_ConsoleCell &c)
{
    return c.Chars[0] == 0 && c.Width == 1 && c.Bg.Default && !c.Reverse && !c.Underline && !c.Strike;
}

void AppendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Reads back what AppendUtf8 wrote (only valid sequences are ever stored).
char32_t NextUtf8(const std::string &s, size_t &i)
{
    const auto b = static_cast<uint8_t>(s[i++]);
    if (b < 0x80)
        return b;
    const int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
    char32_t c = b & (0x3F >> more);
    for (int k = 0; k < more && i < s.size(); ++k)
        c = (c << 6) | (static_cast<uint8_t>(s[i++]) & 0x3F);
    return c;
}

ST_SbLine Encode(const std::vector<ST_ConsoleCell> &cells, std::string &scratch)
{
    size_t used = cells.size();
    while (used > 0 && IsBlank(cells[used - 1]))
        --used;
    scratch.clear();
    std::vector<ST_SbRun> runs;
    for (size_t col = 0; col < used; ++col) {
        const ST_ConsoleCell &c = cells[col];
        const ST_SbRun run = RunOf(c, static_cast<uint16_t>(col));
        if (runs.empty() ? run.Flags != (kFgDefault | kBgDefault) : !SameAttrs(runs.back(), run)) {
            if (runs.empty() && col > 0)
                runs.push_back(RunOf(ST_ConsoleCell{}, 0));
            runs.push_back(run);
        }
        if (c.Width == 0) {
            scratch += kRightHalf;
            continue;
        }
        if (c.Chars[0] == 0) {
            scratch += kEmptyCell;
            continue;
        }
        AppendUtf8(scratch, c.Chars[0]);
        for (size_t k = 1; k < ST_ConsoleCell::kMaxChars && c.Chars[k]; ++k) {
            scratch += kCombining;
            AppendUtf8(scratch, c.Chars[k]);
        }
    }
    ST_SbLine line;
    line.Text = scratch; // a copy takes no more than the text
    line.Runs = runs;
    return line;
}

void Decode(const ST_SbLine &line, std::vector<ST_ConsoleCell> &out, size_t cols)
{
    out.assign(cols, ST_ConsoleCell{});
    size_t col = 0;
    size_t run = 0;
    ST_ConsoleCell attrs;
    for (size_t i = 0; i < line.Text.size() && col < cols;) {
        while (run < line.Runs.size() && line.Runs[run].Col <= col)
            ApplyRun(line.Runs[run++], attrs);
        ST_ConsoleCell &c = out[col];
        c = attrs;
        const char b = line.Text[i];
        if (b == kRightHalf) {
            c.Width = 0;
            ++i;
        } else if (b == kEmptyCell) {
            ++i;
        } else {
            c.Chars[0] = NextUtf8(line.Text, i);
            for (size_t k = 1;
                 k < ST_ConsoleCell::kMaxChars && i < line.Text.size() && line.Text[i] == kCombining; ++k) {
                ++i;
                c.Chars[k] = NextUtf8(line.Text, i);
            }
            while (i < line.Text.size() && line.Text[i] == kCombining) { // beyond what a cell holds
                ++i;
                NextUtf8(line.Text, i);
            }
        }
        ++col;
    }
    // A wide character cut by a narrower screen loses its right half.
    for (size_t k = 0; k < cols; ++k)
        if (out[k].Width == 2 && (k + 1 == cols || out[k + 1].Width != 0))
            out[k].Width = 1;
}

char32_t Printable(uint32_t c)
{
    return (c < 0x20 && c != 0) || (c >= 0x7F && c < 0xA0) || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)
               ? char32_t{0xFFFD}
               : char32_t{c};
}

// libvterm 0.1.4 writes past its array of control sequence parameters when a sequence has more
// than it holds, and numbers beyond a long's range overflow. Bytes from a device must not reach
// it so: what would exceed the limits below is left out, which spoils only a sequence no terminal
// would understand anyway.
class CSequenceGuard
{
public:
    // False for a byte to leave out.
    bool Pass(uint8_t b)
    {
        switch (m_state) {
        case State::Text:
            if (b == 0x1b)
                m_state = State::Esc;
            else if (m_inString && m_stringIsOsc && b == 0x07) // BEL ends an OSC as ST does
                m_inString = false;
            else if (b == 0x0e || b == 0x0f) // shift out to G1, in to G0
                m_glIsG0 = b == 0x0f;
            else if (b >= 0x20 && b < 0x7f)
                m_singleShift = false;
            return true;
        case State::Esc:
            // Controls are carried out within an escape too, and intermediates (and bytes past ASCII,
            // which libvterm skips) come before its end.
            if (b == '[') {
                m_state = State::Csi;
                m_separators = m_digits = m_others = 0;
                m_params = false;
                m_intermediate = 0;
            } else if (b == 0x18 || b == 0x1a || (b >= 0x30 && b < 0x7f)) {
                m_state = State::Text;
                EscapeEnded(b);
            } else if (b >= 0x20 && b < 0x30 && m_intermediate == 0) {
                m_intermediate = b;
            }
            return true;
        case State::Csi:
            break;
        }
        if (b == 0x1b) {
            m_state = State::Esc;
            m_intermediate = 0;
            return true;
        }
        if (b == 0x18 || b == 0x1a || (b >= 0x40 && b < 0x7f)) { // cancelled, or the final byte
            m_state = State::Text;
            if (b == 'r' || b == 's') // margins: the whole screen again only without parameters
                m_margins = m_params;
            return true;
        }
        // A control inside a sequence is carried out and DEL ignored, the sequence goes on; bytes
        // past ASCII end nothing here either.
        if (b < 0x20 || b >= 0x7f)
            return true;
        m_params = true;
        if (b >= '0' && b <= '9')
            return ++m_digits <= kMaxDigits;
        if (b == ';' || b == ':') {
            m_digits = 0;
            return ++m_separators <= kMaxSeparators;
        }
        return ++m_others <= kMaxOthers; // leaders and intermediates
    }
    void Reset()
    {
        m_state = State::Text;
        m_intermediate = 0;
    }
    // Between sequences and strings (OSC, DCS and the like take printable bytes until they end):
    // the next printable byte is printed.
    bool Ground() const { return m_state == State::Text && !m_inString && !m_singleShift; }
    // Printable ASCII prints as itself (no other character set was shifted in), and a line feed
    // at the bottom scrolls the whole screen (no margins were set).
    bool Plain() const { return m_g0IsAscii && m_glIsG0 && !m_margins; }

private:
    void EscapeEnded(uint8_t b)
    {
        const uint8_t intermediate = m_intermediate;
        m_intermediate = 0;
        if (intermediate == '(') {
            m_g0IsAscii = b == 'B';
        } else if (intermediate != 0) {
            // Other sets designated, line attributes and the like: none changes how G0 prints.
        } else if (b == ']' || b == 'P' || b == '_' || b == '^' || b == 'X') {
            m_inString = true;
            m_stringIsOsc = b == ']';
        } else if (b == '\\') {
            m_inString = false;
        } else if (b == 'N' || b == 'O') {
            m_singleShift = true;
        } else if (b == 'n' || b == 'o') {
            m_glIsG0 = false;
        } else if (b == 'c') { // a full reset
            m_g0IsAscii = m_glIsG0 = true;
            m_margins = m_inString = m_singleShift = false;
        }
    }

    static constexpr int kMaxSeparators = 12; // libvterm holds 16 parameters
    static constexpr int kMaxDigits = 6;
    static constexpr int kMaxOthers = 3;
    enum class State : uint8_t { Text, Esc, Csi };
    State m_state = State::Text;
    int m_separators = 0, m_digits = 0, m_others = 0;
    uint8_t m_intermediate = 0;
    bool m_params = false;
    bool m_g0IsAscii = true, m_glIsG0 = true;
    bool m_margins = false, m_inString = false, m_stringIsOsc = false, m_singleShift = false;
};
} // namespace

struct CConsoleScreen::Impl
{
    VTerm *Vt = nullptr;
    VTermScreen *Screen = nullptr;
    VTermState *State = nullptr;
    int Rows = 0, Cols = 0;

    std::vector<uint8_t> Answers;
    std::string *Divert = nullptr; // while the key modes are probed

    std::deque<ST_SbLine> Sb;
    size_t SbLimit = 10000;
    size_t SbMemory = 0;
    std::vector<ST_ConsoleCell> RowScratch;
    std::string TextScratch;
    std::string InputScratch;

    int DirtyFirst = INT_MAX, DirtyEnd = 0;
    size_t Pushed = 0;
    bool CursorMoved = false;
    bool CursorVisible = true;
    bool Alt = false;
    bool Bell = false;
    std::string Title;
    bool Latin1 = false; // received bytes are Latin-1, turned into UTF-8 for libvterm
    CSequenceGuard Guard;
    char LastByte = 0; // of what libvterm was given

    // Hands libvterm the bytes in pieces around those the guard leaves out.
    void Write(const char *bytes, size_t count)
    {
        size_t start = 0;
        for (size_t i = 0; i < count; ++i)
            if (!Guard.Pass(static_cast<uint8_t>(bytes[i]))) {
                if (i > start)
                    vterm_input_write(Vt, bytes + start, i - start);
                start = i + 1;
            }
        if (count > start)
            vterm_input_write(Vt, bytes + start, count - start);
        if (count > 0)
            LastByte = bytes[count - 1];
    }

    // A flood of text lines scrolls the whole screen at every line, and libvterm moves every cell
    // of the screen at each scroll: the console spent most of its time there. A run of plain
    // lines (printable ASCII that fits a row, each ended by CR LF) that scrolls more than a
    // screen's worth is taken here instead, with the outcome libvterm would give: the screen's
    // rows above the cursor and the run's first lines go into the scrollback in the order the
    // scrolls would push them, and the screen shows the run's last lines. Only where that outcome
    // is certain: see Scrollable.
    void Feed(const char *bytes, size_t count)
    {
        const size_t least = std::max<size_t>(2 * static_cast<size_t>(Rows), 8);
        size_t at = 0;
        while (at < count) {
            size_t first = 0, end = 0, lines = 0;
            if (!FindPlainLines(bytes, count, at, least, first, end, lines)) {
                Write(bytes + at, count - at);
                return;
            }
            Write(bytes + at, first - at);
            if (Scrollable())
                ScrollPast(bytes + first, end - first, lines);
            else
                Write(bytes + first, end - first);
            at = end;
        }
    }

    // The first run of at least `least` plain lines from `at` on, each starting after a LF.
    bool FindPlainLines(const char *bytes, size_t count, size_t at, size_t least, size_t &first, size_t &end,
                        size_t &lines) const
    {
        const auto cols = static_cast<size_t>(Cols);
        size_t runFirst = at, runLines = 0;
        for (size_t line = at; line < count;) {
            const auto *nl = static_cast<const char *>(std::memchr(bytes + line, '\n', count - line));
            if (nl == nullptr)
                break;
            const auto lf = static_cast<size_t>(nl - bytes);
            // The first line may go on from what came before.
            const bool starts = line > 0 ? bytes[line - 1] == '\n' : LastByte == '\n';
            bool plain = starts && lf > line && bytes[lf - 1] == '\r' && lf - 1 - line <= cols;
            for (size_t i = line; plain && i + 1 < lf; ++i)
                plain = bytes[i] >= 0x20 && bytes[i] < 0x7f;
            if (plain) {
                if (runLines++ == 0)
                    runFirst = line;
            } else {
                if (runLines >= least)
                    break;
                runLines = 0;
            }
            line = lf + 1;
            if (plain)
                end = line;
        }
        if (runLines < least)
            return false;
        first = runFirst;
        lines = runLines;
        return true;
    }

    // The next plain line prints from the start of a blank bottom row in the plain pen, in the
    // normal screen with no margins, and its CR LF scrolls the whole screen into the scrollback.
    bool Scrollable() const
    {
        // A screen of one row scrolls by erasing it in libvterm, pushing nothing.
        if (Rows < 2 || Alt || LastByte != '\n' || !Guard.Ground() || !Guard.Plain())
            return false;
        VTermPos cursor;
        vterm_state_get_cursorpos(State, &cursor);
        if (cursor.row != Rows - 1 || cursor.col != 0)
            return false;
        const VTermLineInfo *info = vterm_state_get_lineinfo(State, cursor.row);
        if (info == nullptr || info->doublewidth || info->doubleheight)
            return false;
        VTermValue value;
        for (VTermAttr attr : {VTERM_ATTR_BOLD, VTERM_ATTR_UNDERLINE, VTERM_ATTR_ITALIC, VTERM_ATTR_BLINK,
                               VTERM_ATTR_REVERSE, VTERM_ATTR_STRIKE, VTERM_ATTR_FONT})
            if (!vterm_state_get_penattr(State, attr, &value) || value.number != 0)
                return false;
        if (!vterm_state_get_penattr(State, VTERM_ATTR_FOREGROUND, &value) ||
            !VTERM_COLOR_IS_DEFAULT_FG(&value.color) ||
            !vterm_state_get_penattr(State, VTERM_ATTR_BACKGROUND, &value) ||
            !VTERM_COLOR_IS_DEFAULT_BG(&value.color))
            return false;
        VTermScreenCell v;
        for (int col = 0; col < Cols; ++col) {
            if (!vterm_screen_get_cell(Screen, VTermPos{cursor.row, col}, &v) || v.chars[0] != 0 ||
                v.width != 1 || v.attrs.bold || v.attrs.underline || v.attrs.italic || v.attrs.blink ||
                v.attrs.reverse || v.attrs.strike || v.attrs.font || !VTERM_COLOR_IS_DEFAULT_FG(&v.fg) ||
                !VTERM_COLOR_IS_DEFAULT_BG(&v.bg))
                return false;
        }
        return true;
    }

    // `lines` plain lines (at least a screen's rows) through a Scrollable screen.
    void ScrollPast(const char *bytes, size_t count, size_t lines)
    {
        const size_t kept = static_cast<size_t>(Rows) - 1; // the bottom row is left blank
        // The rows above the cursor go first, as libvterm hands a scrolled row over.
        std::vector<VTermScreenCell> cells(static_cast<size_t>(Cols));
        for (int row = 0; row < Rows - 1; ++row) {
            for (int col = 0; col < Cols; ++col)
                vterm_screen_get_cell(Screen, VTermPos{row, col}, &cells[static_cast<size_t>(col)]);
            OnPushLine(Cols, cells.data(), this);
        }
        size_t at = 0;
        for (size_t line = 0; line + kept < lines; ++line) {
            const auto *nl = static_cast<const char *>(std::memchr(bytes + at, '\n', count - at));
            const size_t lf = static_cast<size_t>(nl - bytes);
            ST_SbLine plain;
            plain.Text.assign(bytes + at, lf - 1 - at);
            PushLine(std::move(plain));
            at = lf + 1;
        }
        // The last lines are printed on a cleared screen from its top, and end where the scrolls
        // would have left them.
        static constexpr char kClear[] = "\x1b[H\x1b[2J";
        vterm_input_write(Vt, kClear, sizeof kClear - 1);
        vterm_input_write(Vt, bytes + at, count - at);
        LastByte = '\n';
        MarkRows(0, Rows);
        CursorMoved = true;
    }

    void MarkRows(int first, int end)
    {
        first = std::max(first, 0);
        end = std::min(end, Rows);
        if (first >= end)
            return;
        DirtyFirst = std::min(DirtyFirst, first);
        DirtyEnd = std::max(DirtyEnd, end);
    }

    ST_ConsoleColour Colour(VTermColor c, bool fg) const
    {
        if (fg ? VTERM_COLOR_IS_DEFAULT_FG(&c) : VTERM_COLOR_IS_DEFAULT_BG(&c))
            return {};
        vterm_screen_convert_color_to_rgb(Screen, &c);
        return ST_ConsoleColour{c.rgb.red, c.rgb.green, c.rgb.blue, false};
    }

    ST_ConsoleCell Convert(const VTermScreenCell &v) const
    {
        ST_ConsoleCell c;
        if (v.chars[0] == UINT32_MAX) { // the right half of a wide character
            c.Width = 0;
        } else {
            for (size_t k = 0; k < ST_ConsoleCell::kMaxChars && v.chars[k]; ++k)
                c.Chars[k] = Printable(v.chars[k]);
            c.Width = v.width == 2 ? 2 : 1;
        }
        c.Fg = Colour(v.fg, true);
        c.Bg = Colour(v.bg, false);
        c.Bold = v.attrs.bold;
        c.Italic = v.attrs.italic;
        c.Underline = v.attrs.underline != VTERM_UNDERLINE_OFF;
        c.Reverse = v.attrs.reverse;
        c.Strike = v.attrs.strike;
        c.Blink = v.attrs.blink;
        return c;
    }

    void ToVterm(const ST_ConsoleCell &c, VTermScreenCell &v) const
    {
        v = VTermScreenCell{};
        if (c.Width == 0) {
            v.chars[0] = UINT32_MAX;
        } else {
            for (size_t k = 0; k < ST_ConsoleCell::kMaxChars && c.Chars[k]; ++k)
                v.chars[k] = c.Chars[k];
        }
        v.width = static_cast<char>(c.Width == 2 ? 2 : 1);
        VTermColor fg, bg;
        vterm_state_get_default_colors(State, &fg, &bg);
        if (!c.Fg.Default)
            vterm_color_rgb(&fg, c.Fg.R, c.Fg.G, c.Fg.B);
        if (!c.Bg.Default)
            vterm_color_rgb(&bg, c.Bg.R, c.Bg.G, c.Bg.B);
        v.fg = fg;
        v.bg = bg;
        v.attrs.bold = c.Bold;
        v.attrs.italic = c.Italic;
        v.attrs.underline = c.Underline ? VTERM_UNDERLINE_SINGLE : VTERM_UNDERLINE_OFF;
        v.attrs.reverse = c.Reverse;
        v.attrs.strike = c.Strike;
        v.attrs.blink = c.Blink;
    }

    void Trim()
    {
        while (!Sb.empty() && (Sb.size() > SbLimit || SbMemory > kScrollbackBudget)) {
            SbMemory -= Sb.front().Bytes();
            Sb.pop_front();
        }
    }

    void ScreenRow(int row, std::vector<ST_ConsoleCell> &out) const
    {
        out.resize(static_cast<size_t>(Cols));
        VTermScreenCell v;
        for (int col = 0; col < Cols; ++col) {
            if (vterm_screen_get_cell(Screen, VTermPos{row, col}, &v))
                out[static_cast<size_t>(col)] = Convert(v);
            else
                out[static_cast<size_t>(col)] = ST_ConsoleCell{};
        }
    }

    static Impl &Of(void *user) { return *static_cast<Impl *>(user); }

    static void OnOutput(const char *s, size_t len, void *user)
    {
        Impl &d = Of(user);
        if (d.Divert)
            d.Divert->append(s, len);
        else
            d.Answers.insert(d.Answers.end(), s, s + len);
    }

    static int OnDamage(VTermRect rect, void *user)
    {
        Of(user).MarkRows(rect.start_row, rect.end_row);
        return 1;
    }

    static int OnMoveRect(VTermRect dest, VTermRect src, void *user)
    {
        Of(user).MarkRows(std::min(dest.start_row, src.start_row), std::max(dest.end_row, src.end_row));
        return 1;
    }

    static int OnMoveCursor(VTermPos, VTermPos, int, void *user)
    {
        Of(user).CursorMoved = true;
        return 1;
    }

    static int OnTermProp(VTermProp prop, VTermValue *val, void *user)
    {
        Impl &d = Of(user);
        switch (prop) {
        case VTERM_PROP_CURSORVISIBLE:
            d.CursorVisible = val->boolean;
            d.CursorMoved = true;
            break;
        case VTERM_PROP_ALTSCREEN:
            d.Alt = val->boolean;
            break;
        case VTERM_PROP_TITLE:
            d.Title = val->string ? val->string : "";
            break;
        default:
            break;
        }
        return 1;
    }

    static int OnBell(void *user)
    {
        Of(user).Bell = true;
        return 1;
    }

    static int OnResize(int rows, int cols, void *user)
    {
        Impl &d = Of(user);
        d.Rows = rows;
        d.Cols = cols;
        d.MarkRows(0, rows);
        return 1;
    }

    void PushLine(ST_SbLine line)
    {
        if (SbLimit == 0)
            return;
        Sb.push_back(std::move(line));
        SbMemory += Sb.back().Bytes();
        ++Pushed;
        Trim();
    }

    static int OnPushLine(int cols, const VTermScreenCell *cells, void *user)
    {
        Impl &d = Of(user);
        if (d.SbLimit == 0)
            return 1;
        // Most lines end in blanks; they are not kept, so not converted either.
        int used = cols;
        while (used > 0 && cells[used - 1].chars[0] == 0 && VTERM_COLOR_IS_DEFAULT_BG(&cells[used - 1].bg) &&
               !cells[used - 1].attrs.reverse && !cells[used - 1].attrs.underline &&
               !cells[used - 1].attrs.strike)
            --used;
        // A flood of plain text pushes a line per line received: such a line is its characters,
        // with no attribute runs, and needs no conversion cell by cell.
        ST_SbLine plain;
        plain.Text.resize(static_cast<size_t>(used));
        int col = 0;
        for (; col < used; ++col) {
            const VTermScreenCell &v = cells[col];
            const uint32_t c = v.chars[0];
            if (!((c >= 0x20 && c < 0x7F) || c == 0) || (c != 0 && v.chars[1] != 0) || v.width != 1 ||
                !VTERM_COLOR_IS_DEFAULT_FG(&v.fg) || !VTERM_COLOR_IS_DEFAULT_BG(&v.bg) || v.attrs.bold ||
                v.attrs.italic || v.attrs.underline || v.attrs.reverse || v.attrs.strike || v.attrs.blink)
                break;
            plain.Text[static_cast<size_t>(col)] = c == 0 ? kEmptyCell : static_cast<char>(c);
        }
        if (col == used) {
            d.PushLine(std::move(plain));
        } else {
            d.RowScratch.resize(static_cast<size_t>(used));
            for (int k = 0; k < used; ++k)
                d.RowScratch[static_cast<size_t>(k)] = d.Convert(cells[k]);
            d.PushLine(Encode(d.RowScratch, d.TextScratch));
        }
        return 1;
    }

    static int OnPopLine(int cols, VTermScreenCell *cells, void *user)
    {
        Impl &d = Of(user);
        if (d.Sb.empty())
            return 0;
        Decode(d.Sb.back(), d.RowScratch, static_cast<size_t>(cols));
        for (int col = 0; col < cols; ++col)
            d.ToVterm(d.RowScratch[static_cast<size_t>(col)], cells[col]);
        d.SbMemory -= d.Sb.back().Bytes();
        d.Sb.pop_back();
        return 1;
    }
};

namespace {

const VTermScreenCallbacks kCallbacks = {
    &CConsoleScreen::Impl::OnDamage,   &CConsoleScreen::Impl::OnMoveRect, &CConsoleScreen::Impl::OnMoveCursor,
    &CConsoleScreen::Impl::OnTermProp, &CConsoleScreen::Impl::OnBell,     &CConsoleScreen::Impl::OnResize,
    &CConsoleScreen::Impl::OnPushLine, &CConsoleScreen::Impl::OnPopLine,
};

} // namespace

CConsoleScreen::CConsoleScreen(int rows, int cols) : m_d(std::make_unique<Impl>())
{
    m_d->Rows = std::clamp(rows, 1, kMaxExtent);
    m_d->Cols = std::clamp(cols, kMinCols, kMaxExtent);
    m_d->Vt = vterm_new(m_d->Rows, m_d->Cols);
    vterm_set_utf8(m_d->Vt, 1);
    vterm_output_set_callback(m_d->Vt, &Impl::OnOutput, m_d.get());
    m_d->State = vterm_obtain_state(m_d->Vt);
    m_d->Screen = vterm_obtain_screen(m_d->Vt);
    vterm_screen_set_callbacks(m_d->Screen, &kCallbacks, m_d.get());
    vterm_screen_enable_altscreen(m_d->Screen, 1);
    // Scrolls are merged and handed over once per write, so a flood of lines costs one damage.
    vterm_screen_set_damage_merge(m_d->Screen, VTERM_DAMAGE_SCROLL);
    vterm_screen_reset(m_d->Screen, 1);
    for (int i = 0; i < 16; ++i) {
        VTermColor c;
        vterm_color_rgb(&c, kXtermColours[i][0], kXtermColours[i][1], kXtermColours[i][2]);
        vterm_state_set_palette_color(m_d->State, i, &c);
    }
}

CConsoleScreen::~CConsoleScreen()
{
    vterm_free(m_d->Vt);
}

void CConsoleScreen::SetUtf8(bool on)
{
    m_d->Latin1 = !on;
}

void CConsoleScreen::Feed(const uint8_t *bytes, size_t count)
{
    if (count == 0)
        return;
    const char *text = reinterpret_cast<const char *>(bytes);
    if (m_d->Latin1) {
        // libvterm's 8-bit mode reads the upper half as a second 7-bit set, not as Latin-1.
        std::string &utf8 = m_d->InputScratch;
        utf8.clear();
        for (size_t i = 0; i < count; ++i)
            AppendUtf8(utf8, bytes[i]);
        text = utf8.data();
        count = utf8.size();
    }
    m_d->Feed(text, count);
    vterm_screen_flush_damage(m_d->Screen);
}

std::vector<uint8_t> CConsoleScreen::TakeAnswers()
{
    std::vector<uint8_t> out;
    out.swap(m_d->Answers);
    return out;
}

void CConsoleScreen::Resize(int rows, int cols)
{
    rows = std::clamp(rows, 1, kMaxExtent);
    cols = std::clamp(cols, kMinCols, kMaxExtent);
    if (rows == m_d->Rows && cols == m_d->Cols)
        return;
    const bool shorter = rows < m_d->Rows;
    vterm_set_size(m_d->Vt, rows, cols);
    if (shorter) {
        // libvterm 0.1.4 keeps a scroll region reaching below a shortened screen and then scrolls
        // beyond its rows; the region goes back to the whole screen, the cursor stays.
        VTermPos pos;
        vterm_state_get_cursorpos(m_d->State, &pos);
        const std::string reset =
            "\x1b[r\x1b[" + std::to_string(pos.row + 1) + ';' + std::to_string(pos.col + 1) + 'H';
        vterm_input_write(m_d->Vt, reset.data(), reset.size());
        m_d->Guard.Reset(); // the escape ended any sequence the device was sending
    }
    vterm_screen_flush_damage(m_d->Screen);
    m_d->Rows = rows;
    m_d->Cols = cols;
    m_d->DirtyFirst = 0;
    m_d->DirtyEnd = rows;
    m_d->CursorMoved = true;
}

int CConsoleScreen::Rows() const
{
    return m_d->Rows;
}

int CConsoleScreen::Cols() const
{
    return m_d->Cols;
}

void CConsoleScreen::RowCells(int row, std::vector<ST_ConsoleCell> &out) const
{
    if (row >= 0 && row < m_d->Rows) {
        m_d->ScreenRow(row, out);
    } else if (row < 0 && static_cast<size_t>(-row) <= m_d->Sb.size()) {
        Decode(m_d->Sb[m_d->Sb.size() - static_cast<size_t>(-row)], out, static_cast<size_t>(m_d->Cols));
    } else {
        out.assign(static_cast<size_t>(m_d->Cols), ST_ConsoleCell{});
    }
}

ST_ConsoleCell CConsoleScreen::Cell(int row, int col) const
{
    if (col < 0 || col >= m_d->Cols)
        return {};
    if (row >= 0 && row < m_d->Rows) {
        VTermScreenCell v;
        if (!vterm_screen_get_cell(m_d->Screen, VTermPos{row, col}, &v))
            return {};
        return m_d->Convert(v);
    }
    std::vector<ST_ConsoleCell> cells;
    RowCells(row, cells);
    return cells[static_cast<size_t>(col)];
}

std::string CConsoleScreen::RowText(int row) const
{
    std::vector<ST_ConsoleCell> cells;
    RowCells(row, cells);
    std::string out;
    for (const ST_ConsoleCell &c : cells) {
        if (c.Width == 0)
            continue;
        if (c.Chars[0] == 0) {
            out += ' ';
            continue;
        }
        for (size_t k = 0; k < ST_ConsoleCell::kMaxChars && c.Chars[k]; ++k)
            AppendUtf8(out, c.Chars[k]);
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

size_t CConsoleScreen::ScrollbackLines() const
{
    return m_d->Sb.size();
}

void CConsoleScreen::SetScrollbackLimit(size_t lines)
{
    m_d->SbLimit = lines;
    m_d->Trim();
}

void CConsoleScreen::ClearScrollback()
{
    m_d->Sb.clear();
    m_d->SbMemory = 0;
}

size_t CConsoleScreen::MemoryBytes() const
{
    // libvterm keeps two buffers of cells (the normal and the alternate screen) of about this size.
    const size_t cells = static_cast<size_t>(m_d->Rows) * static_cast<size_t>(m_d->Cols);
    return m_d->SbMemory + 2 * cells * sizeof(VTermScreenCell);
}

CConsoleScreen::ST_Damage CConsoleScreen::TakeDamage()
{
    ST_Damage out;
    if (m_d->DirtyFirst < m_d->DirtyEnd) {
        out.FirstRow = m_d->DirtyFirst;
        out.EndRow = std::min(m_d->DirtyEnd, m_d->Rows);
    }
    out.PushedLines = m_d->Pushed;
    out.CursorMoved = m_d->CursorMoved;
    m_d->DirtyFirst = INT_MAX;
    m_d->DirtyEnd = 0;
    m_d->Pushed = 0;
    m_d->CursorMoved = false;
    return out;
}

ST_ConsolePos CConsoleScreen::Cursor() const
{
    VTermPos pos;
    vterm_state_get_cursorpos(m_d->State, &pos);
    return ST_ConsolePos{std::clamp(pos.row, 0, m_d->Rows - 1), std::clamp(pos.col, 0, m_d->Cols - 1)};
}

bool CConsoleScreen::CursorVisible() const
{
    return m_d->CursorVisible;
}

bool CConsoleScreen::AltScreen() const
{
    return m_d->Alt;
}

std::string CConsoleScreen::Title() const
{
    return m_d->Title;
}

bool CConsoleScreen::TakeBell()
{
    const bool bell = m_d->Bell;
    m_d->Bell = false;
    return bell;
}

ST_ConsoleKeyModes CConsoleScreen::KeyModes() const
{
    // libvterm keeps these modes to itself; what it would send for two keys tells them.
    std::string probe;
    m_d->Divert = &probe;
    ST_ConsoleKeyModes modes;
    vterm_keyboard_key(m_d->Vt, VTERM_KEY_UP, VTERM_MOD_NONE);
    modes.AppCursor = probe == "\x1bOA";
    probe.clear();
    vterm_keyboard_key(m_d->Vt, VTERM_KEY_KP_0, VTERM_MOD_NONE);
    modes.AppKeypad = probe == "\x1bOp";
    m_d->Divert = nullptr;
    return modes;
}
