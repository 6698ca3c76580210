#pragma once
// Judges the checksum that each received frame carries at its end. A frame is either each block as
// the port delivered it, or each line of the stream however the port cut it into blocks.
//
// A line ends at CR, LF or CR LF (one break), the rule by which the log splits received lines, so
// that each judged line is one log line. Its checksum is the last Size() bytes before the break.
// Empty lines are no frames: so the LF of a CR LF, in the same block or the next, ends nothing, and
// blank lines between frames, or lines ended LF CR, are not judged. A checksum byte that happens to be CR or
// LF ends its line early; line frames suit checksums that never take those values, or text protocols.
//
// A line still unfinished at the end of a block waits for the next one, up to a bound; a line that
// grows past it is given up (a TooLong verdict, counted neither good nor bad) and the rest of it,
// up to its break, is skipped.
#include "data/checksum.h"

#include <cstddef>
#include <cstdint>
#include <vector>

enum class ECheckCover : uint8_t { Blocks = 0, Lines = 1 };

enum class EFrameVerdict : uint8_t {
    Good,
    Bad,
    TooShort, // no longer than the checksum itself; counted bad
    TooLong,  // a line past the bound, not judged
};

struct ST_FrameVerdict
{
    EFrameVerdict Verdict = EFrameVerdict::Good;
    // Offset, in the bytes fed, of the byte that ended the frame: a block's last byte, the first
    // byte of a line's break, or the byte at which a line passed the bound. A line whose break
    // comes later is judged at its break, in the block that brings it.
    size_t At = 0;
};

class CChecksumCheck
{
public:
    static constexpr size_t kLongestLine = 64 * 1024;

    // Throws std::invalid_argument as CChecksum does, and for None: there is nothing to check.
    CChecksumCheck(const ST_ChecksumSpec &spec, ECheckCover cover, size_t longestLine = kLongestLine);

    const CChecksum &Checksum() const { return m_checksum; }
    ECheckCover Cover() const { return m_cover; }

    // Judges the frames that end in these bytes, in order. The result is valid until the next call;
    // in a steady stream it allocates nothing.
    const std::vector<ST_FrameVerdict> &Feed(const uint8_t *bytes, size_t size);
    // Forgets a line begun, for a stream that starts anew.
    void Restart();

    uint64_t Good() const { return m_good; }
    uint64_t Bad() const { return m_bad; }
    void ResetCounts() { m_good = m_bad = 0; }

private:
    void Judge(const uint8_t *frame, size_t size, size_t at);
    void EndLine(const uint8_t *bytes, size_t size, size_t at);

    CChecksum m_checksum;
    ECheckCover m_cover;
    size_t m_longestLine;
    std::vector<ST_FrameVerdict> m_verdicts;
    std::vector<uint8_t> m_line; // the unfinished line, from earlier blocks
    bool m_skipping = false;     // in a line given up as too long
    uint64_t m_good = 0;
    uint64_t m_bad = 0;
};
