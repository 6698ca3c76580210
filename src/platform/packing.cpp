#include "platform/packing.h"

#include <new>
#include <zlib.h>

struct CPacker::State
{
    z_stream stream{};
    bool ready = false;
};

CPacker::CPacker() : m_state(new State)
{
    // Raw deflate: the list's own records say what is packed and how long it was.
    m_state->ready = deflateInit2(&m_state->stream, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
}

CPacker::~CPacker()
{
    if (m_state->ready)
        deflateEnd(&m_state->stream);
    delete m_state;
}

bool CPacker::Pack(const uint8_t *bytes, size_t length, std::string &out)
{
    z_stream &stream = m_state->stream;
    if (!m_state->ready || deflateReset(&stream) != Z_OK)
        return false;
    std::string packed(length - length / 8, '\0');
    stream.next_in = const_cast<Bytef *>(bytes);
    stream.avail_in = static_cast<uInt>(length);
    stream.next_out = reinterpret_cast<Bytef *>(packed.data());
    stream.avail_out = static_cast<uInt>(packed.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END)
        return false; // out of room: not worth it
    packed.resize(stream.total_out);
    packed.shrink_to_fit();
    out = std::move(packed);
    return true;
}

void Unpack(const std::string &packed, uint8_t *out, size_t length)
{
    z_stream stream{};
    if (inflateInit2(&stream, -15) != Z_OK)
        throw std::bad_alloc();
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(length);
    const int result = inflate(&stream, Z_FINISH);
    inflateEnd(&stream);
    if (result != Z_STREAM_END || stream.total_out != length)
        throw std::bad_alloc();
}
