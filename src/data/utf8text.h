#pragma once
// UTF-8 as the log reads it from a peer. Bytes that are not UTF-8 are never dropped: the scanner
// reports each one on its own, so the log can show it as an escape.
#include "data/commdata.h"

#include <cstddef>
#include <cstdint>

struct Utf8Step
{
    enum Kind : uint8_t {
        Char,       // a whole character of `length` bytes
        Invalid,    // one byte (`length` 1) that starts no character
        Incomplete, // the `length` bytes left are a valid start that the data cut off
    };
    Kind kind;
    uint8_t length;
};

// Looks at the character starting at `p` (n > 0). Overlong forms, surrogates and values past
// U+10FFFF are invalid; so is a start byte whose sequence breaks off before the data ends.
Utf8Step ScanUtf8(const uint8_t *p, size_t n);

// Moves a character cut between two pieces of data into the later piece, so that each piece
// holds whole characters. The bytes held are only ever the valid start of one character.
class CUtf8Joiner
{
public:
    // Appends the held bytes and `bytes` to `out`, less a cut-off character at the end, which is
    // held for the next call.
    void Feed(const uint8_t *bytes, size_t length, Bytes &out);
    // Appends what is held and forgets it.
    void Flush(Bytes &out);
    bool Holding() const { return m_held != 0; }

private:
    uint8_t m_bytes[3] = {};
    uint8_t m_held = 0;
};
