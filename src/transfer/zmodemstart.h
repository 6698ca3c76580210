#pragma once
// Finds where the device starts a ZMODEM transfer in what it sends: a sender's first header
// (ZRQINIT, usually after the "rz\r" that would start a receiver on its side) or a receiver's
// (ZRINIT: an rz waits for a file). Both are hex headers: "**" ZDLE "B", the type and four flag
// bytes in hex, and their CRC in hex.
//
// Fed every received block in order, it splits the stream into what is shown as received data and
// what belongs to the transfer. Only a whole header with the right CRC starts a transfer: a device
// whose own data holds the first bytes of one (telemetry, a binary dump) is shown as it came. A
// block that ends in what may still become a header keeps those few bytes back (never more than a
// header's length); the next block, or Release, hands them on in order. Every byte goes to
// exactly one side.
#include <cstddef>
#include <cstdint>
#include <vector>

enum class EZmodemStart : uint8_t {
    None,
    SenderStarts,  // ZRQINIT: receive what the device sends
    ReceiverWaits, // ZRINIT: the device waits for a file
};

class CZmodemStartScanner
{
public:
    // "**" ZDLE "B", 2 hex digits of type, 8 of flags, 4 of CRC.
    static constexpr size_t kHeaderSize = 18;

    // Appends to `shown` the bytes that are received data. When a header is found, the bytes from
    // its first one on (the header included, the rest of the block after it) go to `transfer`, and
    // the scanner starts afresh: what follows is the transfer's until the caller feeds it again.
    EZmodemStart Feed(const uint8_t *data, size_t size, std::vector<uint8_t> *shown,
                      std::vector<uint8_t> *transfer);
    // Whether Feed would show the whole block and keep nothing back: no header can start in it.
    // Most blocks are so, and the caller then keeps them as they are instead of copying them.
    bool PassesWhole(const uint8_t *data, size_t size) const;
    // The bytes kept back as a possible header's start; empty when the last block ended otherwise.
    const std::vector<uint8_t> &Held() const { return m_held; }
    // No more of that header came in time: the kept bytes are received data after all.
    void Release(std::vector<uint8_t> *shown);
    // Starts afresh, dropping what was kept (the transfer that starts now reads the line).
    void Forget() { m_held.clear(); }

private:
    std::vector<uint8_t> m_held;
};
