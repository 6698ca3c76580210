#include "data/commdata.h"

#include "data/commatext.h"

#include <cctype>

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

} // namespace

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

CCommData::CCommData(const uint8_t *bytes, int length) : m_format(FMT_HEX)
{
    SetData(bytes, length);
}

CCommData::CCommData(Bytes bytes, DATA_FORMAT format) : m_data(std::move(bytes)), m_format(format) {}

CCommData::CCommData(const std::string &text, DATA_FORMAT format)
{
    switch (format) {
    case FMT_STRING:
    case FMT_STR_SYMBOL:
        SetDataFromText(text);
        break;
    case FMT_HEX:
        ParseHex(text);
        break;
    case FMT_DEC:
        ParseDec(text);
        break;
    default:
        break;
    }
    m_format = format;
}

void CCommData::SetData(const uint8_t *bytes, int length)
{
    if (bytes == nullptr || length <= 0)
        m_data.clear();
    else
        m_data.assign(bytes, bytes + length);
}

void CCommData::SetDataFromText(const std::string &text)
{
    m_data.assign(text.begin(), text.end());
}

std::string CCommData::ToText() const
{
    switch (m_format) {
    case FMT_HEX:
        return ToHexText();
    case FMT_DEC:
        return ToDecText();
    default:
        return ToStringText();
    }
}

std::string CCommData::ToStringText() const
{
    std::string text;
    for (const uint8_t b : m_data) {
        if (b == 0)
            break;
        text += static_cast<char>(b);
    }
    return text;
}

std::string CCommData::ToHexText() const
{
    std::string text;
    AppendHexText(text, m_data.data(), m_data.size());
    return text;
}

void CCommData::AppendHexText(std::string &out, const uint8_t *bytes, size_t length)
{
    const size_t start = out.size();
    out.resize(start + 3 * length);
    char *p = &out[start];
    for (size_t i = 0; i < length; ++i) {
        *p++ = kHexDigits[bytes[i] >> 4];
        *p++ = kHexDigits[bytes[i] & 0x0F];
        *p++ = ' ';
    }
}

std::string CCommData::ToDecText() const
{
    std::string text;
    text.reserve(m_data.size() * 4);
    for (const uint8_t b : m_data) {
        if (b >= 100)
            text += static_cast<char>('0' + b / 100);
        if (b >= 10)
            text += static_cast<char>('0' + b / 10 % 10);
        text += static_cast<char>('0' + b % 10);
        text += ' ';
    }
    return text;
}

bool CCommData::TextConverts(const std::string &text, uint8_t format)
{
    CCommData probe;
    if (format == FMT_HEX)
        return probe.ParseHex(text);
    if (format == FMT_DEC)
        return probe.ParseDec(text);
    return true;
}

bool CCommData::ParseHex(const std::string &text)
{
    // Only hex digits and plain blanks may appear, so the comma-text split reduces to runs of blanks.
    Bytes bytes;
    bytes.reserve(text.size() / 3 + 1);
    size_t i = 0;
    const size_t n = text.size();
    for (const char c : text)
        if (c != ' ' && HexValue(c) < 0)
            return false;
    while (i < n) {
        while (i < n && text[i] == ' ')
            ++i;
        if (i == n)
            break;
        const size_t start = i;
        while (i < n && text[i] != ' ')
            ++i;
        if (i - start != 2)
            return false;
        bytes.push_back(static_cast<uint8_t>(HexValue(text[start]) * 16 + HexValue(text[start + 1])));
    }
    m_data = std::move(bytes);
    return true;
}

bool CCommData::ParseDec(const std::string &text)
{
    for (const char c : text)
        if (c != ' ' && c != ',' && !(c >= '0' && c <= '9'))
            return false;
    Bytes bytes;
    for (const std::string &field : SplitCommaText(text)) {
        // An empty field (",," or a leading comma) is not a number: the text is refused rather
        // than silently sending a zero byte the user never typed.
        if (field.empty() || field.size() > 3)
            return false;
        int value = 0;
        for (const char c : field)
            value = value * 10 + (c - '0');
        if (value > 255)
            return false;
        bytes.push_back(static_cast<uint8_t>(value));
    }
    m_data = std::move(bytes);
    return true;
}

std::string CCommData::FormatName(DATA_FORMAT format)
{
    switch (format) {
    case FMT_STRING:
        return "String";
    case FMT_HEX:
        return "Hex";
    case FMT_DEC:
        return "Dec";
    case FMT_STR_SYMBOL:
        return "Str&Symbol";
    default:
        return "Unknown";
    }
}

DATA_FORMAT CCommData::FormatFromName(const std::string &name)
{
    if (name == "Str&Symbol")
        return FMT_STR_SYMBOL;
    if (name == "Hex")
        return FMT_HEX;
    if (name == "Dec")
        return FMT_DEC;
    return FMT_STRING;
}

std::string CCommData::ToLine() const
{
    std::string line;
    AppendLine(line);
    return line;
}

void CCommData::AppendLine(std::string &out) const
{
    const std::string format = FormatName(m_format);
    out.reserve(out.size() + 2 * m_name.size() + format.size() + 3 * m_data.size() + 6);
    out += QuoteField(m_name);
    out += ',';
    out += format;
    out += ",\"";
    AppendHexText(out, m_data.data(), m_data.size());
    out += '"';
}

bool CCommData::FromLine(const std::string &line)
{
    std::vector<std::string> fields = SplitCommaText(line);
    if (fields.size() != 3)
        return false;
    m_name = std::move(fields[0]);
    const DATA_FORMAT format = FormatFromName(fields[1]);
    ParseHex(fields[2]);
    m_format = format;
    return true;
}

std::string CCommData::Summary() const
{
    return FormatName(m_format) + ",\"" + ToText() + "\"";
}
