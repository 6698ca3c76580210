#pragma once
// Finds where the device starts a ZMODEM transfer in what it sends: a sender's first header
// (ZRQINIT, usually after the "rz\r" that would start a receiver on its side) or a receiver's
// (ZRINIT: an rz waits for a file). Both are hex headers: "**" ZDLE "B" and the type in hex.
//
// Fed every received block in order, it splits the stream into what is shown as received data and
// what belongs to the transfer, from the header's first byte on. Nothing is held back: a block
// that ends in what may be the start of a header (a '*' typed at a shell's prompt) is shown at
// once, and the scanner keeps a copy of that tail; if the next block completes the header, the
// transfer gets the whole header, the copy included, and those few bytes were shown as data too.
// Every other byte goes to exactly one side.
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
    // The copy of a shown tail that may begin a header; empty when the last block ended otherwise.
    const std::vector<uint8_t> &Tail() const { return m_tail; }
    // Starts afresh (no more blocks follow the ones scanned).
    void Forget() { m_tail.clear(); }

private:
    std::vector<uint8_t> m_tail;
};
