#include "data/gui/shownbytes.h"
#include "data/utf8text.h"

#include <QTextDocument>
#include <algorithm>

namespace {

constexpr char16_t kBreak = 0x2029; // what a text document holds for a line end
constexpr char16_t kNulSign = 0x2400;
constexpr char16_t kLfSign = 0x240A;
constexpr char16_t kCrSign = 0x240D;

bool IsBreak(QChar c)
{
    return c == QChar(kBreak) || c == QChar::LineSeparator || c == QChar('\n');
}

} // namespace

QString CShownBytes::Show(const Bytes &bytes)
{
    m_bytes = bytes;
    m_text.clear();
    m_pieces.clear();
    for (size_t i = 0; i < bytes.size(); ++i) {
        const uint8_t b = bytes[i];
        if (b == 0x0D && i + 1 < bytes.size() && bytes[i + 1] == 0x0A) {
            m_text += QChar(kBreak);
            ++i;
        } else if (b == 0x0D) {
            m_text += QChar(kCrSign);
        } else if (b == 0x0A) {
            m_text += QChar(kLfSign);
            m_text += QChar(kBreak);
        } else if (b == 0x00) {
            m_text += QChar(kNulSign);
        } else if (const Utf8Step step = ScanUtf8(bytes.data() + i, bytes.size() - i);
                   m_utf8 && b >= 0x80 && step.kind == Utf8Step::Char) {
            m_text += QString::fromUtf8(reinterpret_cast<const char *>(bytes.data() + i), step.length);
            i += step.length - 1u;
        } else {
            m_text += QChar(b);
        }
        m_pieces.push_back({i + 1, static_cast<int>(m_text.size())});
    }
    return m_text;
}

Bytes CShownBytes::Read(const QString &text) const
{
    const int shown = static_cast<int>(m_text.size());
    const int now = static_cast<int>(text.size());
    const int most = std::min(shown, now);
    int prefix = 0;
    while (prefix < most && m_text[prefix] == text[prefix])
        ++prefix;
    int suffix = 0;
    while (suffix < most - prefix && m_text[shown - 1 - suffix] == text[now - 1 - suffix])
        ++suffix;

    // Whole pieces only: the kept start ends, and the kept end begins, at a piece boundary.
    size_t head = 0; // pieces kept at the start
    while (head < m_pieces.size() && m_pieces[head].CharEnd <= prefix)
        ++head;
    size_t tail = head; // first piece kept at the end
    while (tail < m_pieces.size() && shown - (tail == 0 ? 0 : m_pieces[tail - 1].CharEnd) > suffix)
        ++tail;
    const int headChars = head == 0 ? 0 : m_pieces[head - 1].CharEnd;
    const int tailChars = shown - (tail == 0 ? 0 : m_pieces[tail - 1].CharEnd);
    const size_t headBytes = head == 0 ? 0 : m_pieces[head - 1].ByteEnd;
    const size_t tailBytes = tail == 0 ? 0 : m_pieces[tail - 1].ByteEnd;

    Bytes bytes(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(headBytes));
    const Bytes typed = FromTyped(text.mid(headChars, now - headChars - tailChars), m_utf8);
    bytes.insert(bytes.end(), typed.begin(), typed.end());
    bytes.insert(bytes.end(), m_bytes.begin() + static_cast<std::ptrdiff_t>(tailBytes), m_bytes.end());
    return bytes;
}

Bytes CShownBytes::FromTyped(const QString &text, bool utf8)
{
    Bytes bytes;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (IsBreak(c)) {
            bytes.push_back(0x0D);
            bytes.push_back(0x0A);
        } else if (c == QChar(kLfSign)) {
            bytes.push_back(0x0A);
            if (i + 1 < text.size() && IsBreak(text[i + 1]))
                ++i;
        } else if (c == QChar(kCrSign) || c == QChar('\r')) {
            bytes.push_back(0x0D);
        } else if (c == QChar(kNulSign)) {
            bytes.push_back(0x00);
        } else if (utf8 && c.unicode() >= 0x80) {
            const int length = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            const QByteArray encoded = text.mid(i, length).toUtf8();
            bytes.insert(bytes.end(), encoded.begin(), encoded.end());
            i += length - 1;
        } else {
            bytes.push_back(c.unicode() <= 0xFF ? static_cast<uint8_t>(c.unicode()) : uint8_t('?'));
        }
    }
    return bytes;
}

QString CShownBytes::RawText(const QTextDocument *document)
{
    return document->toRawText();
}
