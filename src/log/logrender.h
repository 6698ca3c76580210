#pragma once
// Turns one logged block into the text and colours the log shows for it. Plain C++ so that save,
// copy and painting all render a block the same way.
#include "data/symboltable.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A note is a line of the program's own, such as a port that was lost or came back. The last four
// are the blocks of the two-port monitor: read on A or B, or read on one and written to the other.
enum class LogDirection : uint8_t {
    Received = 0,
    Sent = 1,
    Note = 2,
    PortA = 3,
    PortB = 4,
    AtoB = 5,
    BtoA = 6
};

// Bytes a port brought in, as opposed to what was sent and the program's own notes.
inline bool IsReadFromPort(LogDirection direction)
{
    return direction != LogDirection::Sent && direction != LogDirection::Note;
}

// Notes stand apart from both directions of traffic: dark magenta.
constexpr uint32_t kColorNote = 0x00800080;

// A coloured piece of a displayed line; `color` is 0x00BBGGRR.
struct ST_LogRun
{
    std::string text;
    uint32_t color = 0;

    bool operator==(const ST_LogRun &o) const { return text == o.text && color == o.color; }
};

// How the text views read a block's bytes: as UTF-8, and with colour marks (see data/ansitext.h)
// in them. 0 is the plain 8-bit text shown as Latin-1.
enum LogTextForm : uint8_t { kLogUtf8 = 1, kLogAnsiMarks = 2 };

// A received frame whose checksum was checked and found wrong, or that is too short to carry one:
// its log line ends with a note that says so and is drawn in kColorChecksumBad. The stronger mark
// has the higher value.
// A frame line (the log's line per frame) is marked the same way when its frame ended other than
// as its protocol says, or its own check found it wrong.
enum LogMark : uint8_t {
    kLogMarkNone = 0,
    kLogMarkChecksumShort = 1,
    kLogMarkChecksumBad = 2,
    kLogMarkFrameTimedOut = 3,
    kLogMarkFrameCut = 4,
    kLogMarkFrameBad = 5,
};
constexpr char kLogMarkChecksumBadText[] = " [checksum bad]";
constexpr char kLogMarkChecksumShortText[] = " [checksum too short]";
// The note a mark adds to its line.
const char *LogMarkText(uint8_t mark);
// Orange: apart from received blue, sent red and the magenta notes.
constexpr uint32_t kColorChecksumBad = 0x000060D0;

// Bytes that are not UTF-8 show as \xHH in this grey, apart from the text.
constexpr uint32_t kColorEscape = 0x00909090;

// The colour of a marked style on the white page; `plain` stands for the text's own colour.
uint32_t AnsiColor(uint8_t color, bool bold, uint32_t plain);

struct ST_LogBlockView
{
    LogDirection direction = LogDirection::Received;
    uint8_t mode = 0;
    bool hasStamp = false;
    // One received line logged alone: when its text ends with the data's line break, that break
    // ends the displayed line and the log adds no other.
    bool ownBreak = false;
    const std::string *stamp = nullptr; // the time text, without parentheses
    const uint8_t *bytes = nullptr;
    size_t length = 0;
    const CSymbolTable *table = nullptr; // mode 3 only
    uint8_t textForm = 0;                // modes 0 and 3 only
    uint8_t mark = kLogMarkNone;
};

// `text` holds the pieces one after the other, then the line end; `lines` are the displayed lines
// as spans of `text` without their break characters. CR LF, a lone CR and a lone LF each end a
// line, as the original pane treated the data's own line breaks.
struct ST_LogRendered
{
    struct Piece
    {
        uint32_t start = 0;
        uint32_t length = 0;
        uint32_t color = 0;
    };
    struct Span
    {
        uint32_t start = 0;
        uint32_t length = 0;
    };

    std::string text;
    std::vector<Piece> pieces;
    std::vector<Span> lines;
    // The text is UTF-8, a column per character; otherwise a column per byte.
    bool utf8 = false;

    void Reset();
    std::string LineText(size_t line) const;
    std::vector<ST_LogRun> LineRuns(size_t line) const;
};

void RenderLogBlock(const ST_LogBlockView &block, ST_LogRendered &out);

// A displayed line as the log's text files hold it (a capture, a headless run's log): its text
// and CR LF, in place of what `out` held.
void LogFileLine(const ST_LogRendered &rendered, size_t line, std::string &out);

// A hex or decimal block is one line whatever its bytes: its width (in bytes of text, as a
// rendering's span would give) without rendering it. False for the other views.
bool MeasureLogLine(const ST_LogBlockView &block, size_t &width);
