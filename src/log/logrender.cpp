#include "log/logrender.h"

#include "data/ansitext.h"
#include "data/commdata.h"
#include "data/datapattern.h"
#include "data/utf8text.h"

#include <algorithm>
#include <cstring>

const char *LogMarkText(uint8_t mark)
{
    switch (mark) {
    case kLogMarkChecksumShort:
        return kLogMarkChecksumShortText;
    case kLogMarkFrameTimedOut:
        return " [timed out]";
    case kLogMarkFrameCut:
        return " [cut]";
    case kLogMarkFrameBad:
        return " [check bad]";
    default:
        return kLogMarkChecksumBadText;
    }
}

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

// A rendering kept as a cache holds on to the room its largest block needed; past this it gives
// that room back for smaller blocks.
constexpr size_t kKeptRoom = 256 * 1024;

size_t RoomOf(const ST_LogRendered &r)
{
    return r.text.capacity() + r.pieces.capacity() * sizeof(ST_LogRendered::Piece) +
           r.lines.capacity() * sizeof(ST_LogRendered::Span);
}

// The monitor's port A takes the received colour and port B the sent one: in the usual setting A
// is the device and B the program that talks to it.
bool OnReceivedSide(LogDirection direction)
{
    return direction == LogDirection::Received || direction == LogDirection::PortA ||
           direction == LogDirection::AtoB;
}

uint32_t PlainColor(LogDirection direction)
{
    if (direction == LogDirection::Note)
        return kColorNote;
    return OnReceivedSide(direction) ? kColorBlue : kColorRed;
}

const char *Header(LogDirection direction)
{
    switch (direction) {
    case LogDirection::Received:
        return "Rec  :";
    case LogDirection::Sent:
        return "Send :";
    case LogDirection::PortA:
        return "A :";
    case LogDirection::PortB:
        return "B :";
    case LogDirection::AtoB:
        return "A>B :";
    case LogDirection::BtoA:
        return "B>A :";
    default:
        return "Note :";
    }
}

uint32_t SymbolColor(LogDirection direction)
{
    return OnReceivedSide(direction) ? kColorBlue : kColorNavy;
}

// A NUL is data like any other byte: it stays in the text (drawn as a blank, as the other control
// bytes are), so that the line, a save and a capture hold every byte the block had.
void AddPiece(ST_LogRendered &out, const char *text, size_t length, uint32_t color)
{
    if (length == 0)
        return;
    const auto start = static_cast<uint32_t>(out.text.size());
    out.text.append(text, length);
    out.pieces.push_back({start, static_cast<uint32_t>(length), color});
}

void AddPiece(ST_LogRendered &out, const std::string &text, uint32_t color)
{
    AddPiece(out, text.data(), text.size(), color);
}

void AddHex(ST_LogRendered &out, const uint8_t *bytes, size_t length, uint32_t color)
{
    const auto start = static_cast<uint32_t>(out.text.size());
    CCommData::AppendHexText(out.text, bytes, length);
    if (length)
        out.pieces.push_back({start, static_cast<uint32_t>(length * 3), color});
}

void AddDec(ST_LogRendered &out, const uint8_t *bytes, size_t length, uint32_t color)
{
    const auto start = static_cast<uint32_t>(out.text.size());
    for (size_t i = 0; i < length; ++i) {
        const uint8_t b = bytes[i];
        if (b >= 100)
            out.text.push_back(static_cast<char>('0' + b / 100));
        if (b >= 10)
            out.text.push_back(static_cast<char>('0' + b / 10 % 10));
        out.text.push_back(static_cast<char>('0' + b % 10));
        out.text.push_back(' ');
    }
    if (length)
        out.pieces.push_back({start, static_cast<uint32_t>(out.text.size() - start), color});
}

// Consecutive plain bytes form one run and consecutive symbols another; a hidden symbol still
// ends a plain run.
void AddSymbolRuns(ST_LogRendered &out, const ST_LogBlockView &block)
{
    static const CSymbolTable kNoSymbols;
    const CSymbolTable &table = block.table ? *block.table : kNoSymbols;
    const uint32_t plain = PlainColor(block.direction);
    const uint32_t symbol = SymbolColor(block.direction);
    std::string run;
    bool runIsSymbol = false;
    for (size_t i = 0; i < block.length; ++i) {
        const uint8_t b = block.bytes[i];
        const bool isSymbol = table.IsSymbol(b);
        if (isSymbol != runIsSymbol) {
            AddPiece(out, run, runIsSymbol ? symbol : plain);
            run.clear();
            runIsSymbol = isSymbol;
        }
        if (isSymbol) {
            const ST_Symbol &entry = table.Entry(b);
            if (!entry.ShowNothing)
                run += entry.SymbolString;
        } else {
            run.push_back(static_cast<char>(b));
        }
    }
    AddPiece(out, run, runIsSymbol ? symbol : plain);
}

// Text that is UTF-8 or carries colour marks. It follows the plain forms: mode 3 runs plain bytes
// and symbols apart; a received symbol takes the colour of the text around it.
void AddFormedText(ST_LogRendered &out, const ST_LogBlockView &block, bool symbols)
{
    static const CSymbolTable kNoSymbols;
    const CSymbolTable &table = block.table ? *block.table : kNoSymbols;
    const bool utf8 = (block.textForm & kLogUtf8) != 0;
    const bool marks = (block.textForm & kLogAnsiMarks) != 0;
    const uint32_t plain = PlainColor(block.direction);
    const bool receivedSide = OnReceivedSide(block.direction);
    uint32_t color = plain;
    std::string run;
    bool runIsSymbol = false;
    const auto runColor = [&] { return runIsSymbol && !receivedSide ? kColorNavy : color; };
    const auto flush = [&] {
        AddPiece(out, run, runColor());
        run.clear();
    };
    out.utf8 = utf8;
    for (size_t i = 0; i < block.length; ++i) {
        const uint8_t b = block.bytes[i];
        if (marks && b == kAnsiMark && i + 1 < block.length) {
            flush();
            const AnsiStyle style = AnsiStyleOfMark(block.bytes[++i]);
            color = AnsiColor(style.color, style.bold, plain);
            continue;
        }
        const bool isSymbol = symbols && table.IsSymbol(b);
        if (isSymbol != runIsSymbol) {
            flush();
            runIsSymbol = isSymbol;
        }
        if (isSymbol) {
            const ST_Symbol &entry = table.Entry(b);
            if (!entry.ShowNothing)
                run += entry.SymbolString;
            continue;
        }
        if (!utf8 || b < 0x80) {
            run.push_back(static_cast<char>(b));
            continue;
        }
        const Utf8Step step = ScanUtf8(block.bytes + i, block.length - i);
        if (step.kind == Utf8Step::Char) {
            run.append(reinterpret_cast<const char *>(block.bytes + i), step.length);
            i += step.length - 1u;
            continue;
        }
        // A start left cut off by the joiner never got its end: each of its bytes is invalid.
        flush();
        const char escape[] = {'\\', 'x', kHexDigits[b >> 4], kHexDigits[b & 0x0F]};
        AddPiece(out, escape, sizeof escape, kColorEscape);
    }
    flush();
}

// The note goes before the break the data ended with, so that it stays on the frame's own line.
void AddMark(ST_LogRendered &out, uint8_t mark)
{
    size_t end = out.text.size();
    while (end > 0 && (out.text[end - 1] == '\r' || out.text[end - 1] == '\n'))
        --end;
    const std::string breaks = out.text.substr(end);
    out.text.resize(end);
    while (!out.pieces.empty() && out.pieces.back().start >= end)
        out.pieces.pop_back();
    for (ST_LogRendered::Piece &piece : out.pieces) {
        piece.length = std::min<uint32_t>(piece.length, static_cast<uint32_t>(end) - piece.start);
        piece.color = kColorChecksumBad;
    }
    const char *text = LogMarkText(mark);
    if (end > 0 && out.text[end - 1] == ' ')
        ++text; // the hex and decimal views end with a space already
    AddPiece(out, text, std::strlen(text), kColorChecksumBad);
    out.text += breaks; // in no piece: breaks are never drawn
}

void SplitLines(ST_LogRendered &out)
{
    const std::string &t = out.text;
    const size_t n = t.size();
    size_t start = 0;
    for (size_t i = 0; i < n; ++i) {
        const char c = t[i];
        if (c != '\r' && c != '\n')
            continue;
        out.lines.push_back({static_cast<uint32_t>(start), static_cast<uint32_t>(i - start)});
        if (c == '\r' && i + 1 < n && t[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
}

} // namespace

uint32_t AnsiColor(uint8_t color, bool bold, uint32_t plain)
{
    // Darker than a terminal's so that all of them read on white; "white" is a grey. The log
    // draws one weight, so bold is shown as the bright colour.
    static const uint32_t kColors[16] = {
        0x00000000, 0x000000C0, 0x00008000, 0x00008080, 0x00C00000, 0x00A000A0, 0x00808000, 0x00969696,
        0x00606060, 0x000000FF, 0x0000AA00, 0x000078AA, 0x00FF0000, 0x00C800C8, 0x00AAA000, 0x00646464};
    if (color >= 16)
        return plain;
    return kColors[bold && color < 8 ? color + 8 : color];
}

void ST_LogRendered::Reset()
{
    utf8 = false;
    text.clear();
    pieces.clear();
    lines.clear();
}

std::string ST_LogRendered::LineText(size_t line) const
{
    const Span &span = lines.at(line);
    return text.substr(span.start, span.length);
}

std::vector<ST_LogRun> ST_LogRendered::LineRuns(size_t line) const
{
    const Span &span = lines.at(line);
    const uint32_t end = span.start + span.length;
    std::vector<ST_LogRun> runs;
    for (const Piece &piece : pieces) {
        const uint32_t from = std::max(piece.start, span.start);
        const uint32_t to = std::min(piece.start + piece.length, end);
        if (from < to)
            runs.push_back({text.substr(from, to - from), piece.color});
    }
    return runs;
}

void RenderLogBlock(const ST_LogBlockView &block, ST_LogRendered &out)
{
    const size_t room = 16 + block.length * 4;
    out.Reset();
    if (RoomOf(out) > std::max(kKeptRoom, 4 * room)) {
        out.text.shrink_to_fit();
        out.pieces.shrink_to_fit();
        out.lines.shrink_to_fit();
    }
    out.text.reserve(room);
    const uint32_t plain = PlainColor(block.direction);
    const char *header = Header(block.direction);
    AddPiece(out, header, std::strlen(header), plain);
    if (block.hasStamp && block.stamp)
        AddPiece(out, "(" + *block.stamp + ")", kColorBlue);
    switch (block.textForm != 0 && (block.mode == 0 || block.mode == 3) ? 4 : block.mode) {
    case 4:
        AddFormedText(out, block, block.mode == 3);
        break;
    case 0:
        AddPiece(out, reinterpret_cast<const char *>(block.bytes), block.length, plain);
        break;
    case 1:
        AddHex(out, block.bytes, block.length, plain);
        break;
    case 2:
        AddDec(out, block.bytes, block.length, plain);
        break;
    default:
        AddSymbolRuns(out, block);
        break;
    }
    if (block.mark != kLogMarkNone)
        AddMark(out, block.mark);
    const bool ended =
        block.ownBreak && !out.text.empty() && (out.text.back() == '\r' || out.text.back() == '\n');
    if (!ended)
        out.text.push_back('\n');
    SplitLines(out);
}

void LogFileLine(const ST_LogRendered &rendered, size_t line, std::string &out)
{
    const ST_LogRendered::Span &span = rendered.lines.at(line);
    out.assign(rendered.text, span.start, span.length);
    out += "\r\n";
}

bool MeasureLogLine(const ST_LogBlockView &block, size_t &width)
{
    if (block.mode != 1 && block.mode != 2)
        return false;
    size_t w = std::strlen(Header(block.direction));
    if (block.hasStamp && block.stamp)
        w += block.stamp->size() + 2;
    if (block.mode == 1) {
        w += block.length * 3;
    } else {
        for (size_t i = 0; i < block.length; ++i)
            w += 2 + (block.bytes[i] >= 10) + (block.bytes[i] >= 100);
    }
    if (block.mark != kLogMarkNone) {
        const char *text = LogMarkText(block.mark);
        // The bytes' text ends with a space, which the note's own leading space joins.
        w += std::strlen(text) - (block.length > 0 ? 1 : 0);
    }
    width = w;
    return true;
}
