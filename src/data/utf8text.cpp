#include "data/utf8text.h"

Utf8Step ScanUtf8(const uint8_t *p, size_t n)
{
    const uint8_t b = p[0];
    if (b < 0x80)
        return {Utf8Step::Char, 1};
    size_t need = 0;
    // The second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
    uint8_t low = 0x80, high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        need = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 3;
        if (b == 0xE0)
            low = 0xA0;
        else if (b == 0xED)
            high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 4;
        if (b == 0xF0)
            low = 0x90;
        else if (b == 0xF4)
            high = 0x8F;
    } else {
        return {Utf8Step::Invalid, 1};
    }
    for (size_t i = 1; i < need; ++i) {
        if (i == n)
            return {Utf8Step::Incomplete, static_cast<uint8_t>(n)};
        const uint8_t c = p[i];
        if (i == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF))
            return {Utf8Step::Invalid, 1};
    }
    return {Utf8Step::Char, static_cast<uint8_t>(need)};
}

void CUtf8Joiner::Feed(const uint8_t *bytes, size_t length, Bytes &out)
{
    size_t used = 0;
    // Completes the held start from the new bytes, or gives it up as invalid bytes.
    while (m_held != 0 && used < length) {
        uint8_t joined[4];
        size_t n = 0;
        for (; n < m_held; ++n)
            joined[n] = m_bytes[n];
        for (size_t i = used; i < length && n < 4; ++i)
            joined[n++] = bytes[i];
        const Utf8Step step = ScanUtf8(joined, n);
        if (step.kind == Utf8Step::Incomplete) {
            for (size_t i = m_held; i < n; ++i)
                m_bytes[i] = joined[i];
            used += n - m_held;
            m_held = static_cast<uint8_t>(n);
            return;
        }
        if (step.kind == Utf8Step::Char) {
            out.insert(out.end(), joined, joined + step.length);
            used += step.length - m_held;
            m_held = 0;
            break;
        }
        // The first held byte starts nothing; the rest may still start a character.
        out.push_back(m_bytes[0]);
        for (size_t i = 1; i < m_held; ++i)
            m_bytes[i - 1] = m_bytes[i];
        --m_held;
    }
    if (used == length)
        return;
    // Only the last three bytes can be a cut-off start.
    size_t tail = length;
    for (size_t back = 1; back <= 3 && back <= length - used; ++back) {
        const size_t at = length - back;
        if ((bytes[at] & 0xC0) == 0x80)
            continue;
        if (ScanUtf8(bytes + at, back).kind == Utf8Step::Incomplete)
            tail = at;
        break;
    }
    out.insert(out.end(), bytes + used, bytes + tail);
    for (size_t i = tail; i < length; ++i)
        m_bytes[m_held++] = bytes[i];
}

void CUtf8Joiner::Flush(Bytes &out)
{
    out.insert(out.end(), m_bytes, m_bytes + m_held);
    m_held = 0;
}
