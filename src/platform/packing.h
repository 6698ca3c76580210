#pragma once
// Bytes kept in memory a while, deflated at zlib's fastest: a device's stream of lines packs to a
// tenth and less at over 100 MB/s. Callers pack only what is set to stay and arrives slowly
// enough for the thread that packs it.
#include <cstddef>
#include <cstdint>
#include <string>

class CPacker
{
public:
    CPacker();
    ~CPacker();
    CPacker(const CPacker &) = delete;
    CPacker &operator=(const CPacker &) = delete;

    // The bytes deflated into `out`; false, `out` untouched, when they do not pack to well below
    // their size (or zlib has no memory).
    bool Pack(const uint8_t *bytes, size_t length, std::string &out);

private:
    struct State;
    State *m_state;
};

// What Pack made of `length` bytes, back into `out`. Throws std::bad_alloc when zlib has no
// memory; `packed` always comes from Pack.
void Unpack(const std::string &packed, uint8_t *out, size_t length);
