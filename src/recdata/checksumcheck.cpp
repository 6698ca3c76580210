#include "recdata/checksumcheck.h"

#include <stdexcept>

CChecksumCheck::CChecksumCheck(const ST_ChecksumSpec &spec, ECheckCover cover, size_t longestLine)
    : m_checksum(spec), m_cover(cover), m_longestLine(longestLine)
{
    if (m_checksum.Size() == 0)
        throw std::invalid_argument("no checksum to check");
}

void CChecksumCheck::Restart()
{
    m_line.clear();
    m_skipping = false;
}

void CChecksumCheck::Judge(const uint8_t *frame, size_t size, size_t at)
{
    EFrameVerdict verdict = EFrameVerdict::TooShort;
    if (size > m_checksum.Size())
        verdict = m_checksum.Verify(frame, size) ? EFrameVerdict::Good : EFrameVerdict::Bad;
    (verdict == EFrameVerdict::Good ? m_good : m_bad) += 1;
    m_verdicts.push_back({verdict, at});
}

void CChecksumCheck::EndLine(const uint8_t *bytes, size_t size, size_t at)
{
    if (m_skipping) {
        m_skipping = false;
        return;
    }
    if (!m_line.empty()) {
        m_line.insert(m_line.end(), bytes, bytes + size);
        Judge(m_line.data(), m_line.size(), at);
        m_line.clear();
    } else if (size > 0) {
        Judge(bytes, size, at);
    }
}

const std::vector<ST_FrameVerdict> &CChecksumCheck::Feed(const uint8_t *bytes, size_t size)
{
    m_verdicts.clear();
    if (size == 0)
        return m_verdicts;
    if (m_cover == ECheckCover::Blocks) {
        Judge(bytes, size, size - 1);
        return m_verdicts;
    }
    // The LF of a CR LF ends an empty line, which is no frame: CR LF is one break.
    size_t start = 0; // of the line in these bytes
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            EndLine(bytes + start, i - start, i);
            start = i + 1;
        }
    }
    if (start < size && !m_skipping) {
        m_line.insert(m_line.end(), bytes + start, bytes + size);
        if (m_line.size() > m_longestLine) {
            m_verdicts.push_back({EFrameVerdict::TooLong, size - 1});
            m_line.clear();
            m_skipping = true;
        }
    }
    return m_verdicts;
}
