#pragma once
// Finds where the device starts a ZMODEM transfer in what it sends: a sender's first header
// (ZRQINIT, usually after the "rz\r" that would start a receiver on its side) or a receiver's
// (ZRINIT: an rz waits for a file). Both are hex headers: "**" ZDLE "B" and the type in hex.
//
// Fed every received block in order, it splits the stream into what is shown as received data and
// what belongs to the transfer, from the header's first byte on; every byte goes to exactly one of
// them. A block that ends in what may be the start of a header keeps that tail back until the
// next block tells; only a header split across blocks needs that.
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
    // Appends to `shown` the bytes that are received data. When a header is found, the bytes from
    // its first one on (the header included, the rest of the block after it) go to `transfer`, and
    // the scanner starts afresh: what follows is the transfer's until the caller feeds it again.
    EZmodemStart Feed(const uint8_t *data, size_t size, std::vector<uint8_t> *shown,
                      std::vector<uint8_t> *transfer);
    // The bytes kept back, given up as data (no more blocks are scanned).
    std::vector<uint8_t> TakeKept();
    size_t Kept() const { return m_kept.size(); }

private:
    std::vector<uint8_t> m_kept;
};
