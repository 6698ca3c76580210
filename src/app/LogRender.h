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
struct LogRun
{
    std::string text;
    uint32_t color = 0;

    bool operator==(const LogRun &o) const { return text == o.text && color == o.color; }
};

struct LogBlockView
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
};

// `text` holds the pieces one after the other, then the line end; `lines` are the displayed lines
// as spans of `text` without their break characters. CR LF, a lone CR and a lone LF each end a
// line, as the original pane treated the data's own line breaks.
struct LogRendered
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

    void Reset();
    std::string LineText(size_t line) const;
    std::vector<LogRun> LineRuns(size_t line) const;
};

void RenderLogBlock(const LogBlockView &block, LogRendered &out);
