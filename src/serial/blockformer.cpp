#include "serial/blockformer.h"

#include <algorithm>

void CBlockFormer::Feed(const uint8_t *data, size_t length, Clock::time_point now)
{
    Expire(now);
    while (length > 0) {
        if (!m_open) {
            m_open = true;
            m_block.bytes.clear();
            m_block.begin = now;
            m_readStart = now;
            m_readCount = 0;
        }
        if (m_readCount == 0)
            m_readFirst = data[0];
        const size_t take = std::min(length, kReadChunk - m_readCount);
        // Grown as a vector grows, but never past the largest block: its taker may keep these
        // very bytes, and a flood's blocks would otherwise keep nearly twice their size.
        std::vector<uint8_t> &bytes = m_block.bytes;
        if (bytes.size() + take > bytes.capacity())
            bytes.reserve(
                std::min(std::max(2 * bytes.capacity(), bytes.size() + take), kBlockLimit + kReadChunk - 1));
        bytes.insert(bytes.end(), data, data + take);
        m_readCount += take;
        m_lastByte = now;
        data += take;
        length -= take;
        // A full read returns at once; the next one starts right away.
        if (m_readCount == kReadChunk)
            EndRead(now);
    }
}

void CBlockFormer::Expire(Clock::time_point now)
{
    // A read with bytes ends when its time is up; one that got nothing ends the block as soon as
    // the line has been quiet for a whole gap, which is never later than its own time-out.
    while (m_open) {
        if (m_readCount > 0 && now >= m_readStart + kGap) {
            EndRead(m_readStart + kGap);
        } else if (m_readCount == 0 && now >= m_lastByte + kGap) {
            EndBlock(m_lastByte + kGap);
        } else {
            return;
        }
    }
}

std::optional<CBlockFormer::Clock::time_point> CBlockFormer::Deadline() const
{
    if (!m_open)
        return std::nullopt;
    // A read's end needs no wake-up of its own unless it ends the block for a reason the caller
    // must not wait for (a frame's leading zero, a full block): the next Feed, or the Expire a
    // gap after the last byte (never before the read's end), ends it at its time all the same.
    // A block that has only grown old is cut where it always was; it reaches the caller with
    // the next bytes, which a stream that never pauses brings soon.
    if (m_readCount > 0 && (m_readFirst == 0 || m_block.bytes.size() >= kBlockLimit))
        return m_readStart + kGap;
    return m_lastByte + kGap;
}

void CBlockFormer::EndRead(Clock::time_point at)
{
    if (m_readFirst == 0 || m_block.bytes.size() >= kBlockLimit || at >= m_block.begin + kBudget) {
        EndBlock(at);
        return;
    }
    m_readStart = at;
    m_readCount = 0;
}

void CBlockFormer::EndBlock(Clock::time_point at)
{
    m_block.end = at;
    m_finished.push_back(std::move(m_block));
    m_block = Block();
    m_open = false;
    m_readCount = 0;
}
