#pragma once
// Frames as lines of a CSV file, one frame a line, LF line ends, for a spreadsheet or a script to
// read after a run. The times are the wall clock's in UTC with microseconds, so that files of
// several machines line up; frames carry the steady clock's, mapped by one offset taken when the
// run starts (the wall clock may be set during a run, the frames' order and gaps must not move).
#include "frame/framer.h"

#include <cstdint>
#include <string>

class CFrameCsv
{
public:
    // `wallOffset`: the wall clock's time since the epoch less the steady clock's, in microseconds
    // (WallOffsetNow). Without `charsKnown` (no baud rate) the gaps in characters stay empty.
    CFrameCsv(int64_t wallOffset, bool charsKnown) : m_wallOffset(wallOffset), m_charsKnown(charsKnown) {}

    // "time,gap_ms,gap_chars,direction,length,hex,check,summary" and the line end.
    static const char *Header();
    // The frame's line, its line end included.
    std::string Line(const ST_Frame &frame, const std::string &summary = std::string()) const;

    static int64_t WallOffsetNow();

private:
    int64_t m_wallOffset;
    bool m_charsKnown;
};

// `field` as a CSV field: in quotes, its quotes doubled, when it holds a comma, a quote, CR or LF.
std::string CsvField(const std::string &field);
// Microseconds since the epoch as 2026-12-11T05:01:02.123456Z.
std::string IsoUtcMicros(int64_t micros);
