#pragma once
// The far side of the line, played by the fuzz input: handed over in pieces of at most `piece`
// bytes, and what the engine writes is only counted. No read ever waits: the input's end is a far
// side that fell silent.
#include "transfer/filetransfer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

class CScriptedLine : public ITransferChannel
{
public:
    CScriptedLine(const uint8_t *data, size_t size, size_t piece) : m_data(data), m_size(size), m_piece(piece)
    {
    }
    long Write(const uint8_t *, size_t size, uint32_t, size_t *written) override
    {
        *written = size;
        Written += size;
        return 0;
    }
    size_t Read(uint8_t *data, size_t max, uint32_t) override
    {
        const size_t count = std::min({max, m_piece, m_size - m_at});
        std::copy_n(m_data + m_at, count, data);
        m_at += count;
        return count;
    }
    void Wake() override {}
    uint64_t Written = 0;

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_piece;
    size_t m_at = 0;
};
