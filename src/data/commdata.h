#pragma once
// CCommData is the one value type for serial data: named bytes with a display format. The format
// only chooses the text form; it never changes the bytes.
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

typedef uint8_t DATA_FORMAT;
enum : DATA_FORMAT { FMT_STRING = 0, FMT_HEX = 1, FMT_DEC = 2, FMT_STR_SYMBOL = 3 };

// The value of one hex digit of either case, or -1.
int HexValue(char c);

class CCommData
{
public:
    CCommData() = default;
    CCommData(const uint8_t *bytes, int length); // Format Hex: how received blocks start out
    CCommData(const std::string &text, DATA_FORMAT format);
    explicit CCommData(Bytes bytes, DATA_FORMAT format = FMT_HEX);

    void SetData(const uint8_t *bytes, int length);
    void SetData(Bytes bytes) { m_data = std::move(bytes); }
    void SetDataFromText(const std::string &text);
    const uint8_t *GetData() const { return m_data.data(); }
    int GetLength() const { return static_cast<int>(m_data.size()); }
    const Bytes &Data() const { return m_data; }

    DATA_FORMAT GetFormat() const { return m_format; }
    void SetFormat(DATA_FORMAT format) { m_format = format; }
    const std::string &GetName() const { return m_name; }
    void SetName(const std::string &name) { m_name = name; }

    std::string ToText() const;
    std::string ToStringText() const; // up to the first 0x00
    std::string ToHexText() const;    // "41 0A " (each byte followed by a blank)
    std::string ToDecText() const;    // "65 10 "
    // The hex text of `length` bytes, as ToHexText gives it, added to `out`: the log's hex view and
    // the list files write it so too.
    static void AppendHexText(std::string &out, const uint8_t *bytes, size_t length);

    bool ParseHex(const std::string &text);
    bool ParseDec(const std::string &text);
    // Whether `text` converts in `format`: String text always does; Hex and Dec text that does
    // not would become an item without bytes.
    static bool TextConverts(const std::string &text, uint8_t format);

    static std::string FormatName(DATA_FORMAT format);
    // Exact, case-sensitive; anything unknown reads as String.
    static DATA_FORMAT FormatFromName(const std::string &name);

    std::string ToLine() const;
    // The same line added to `out`, without the temporaries: a list file of large blocks is
    // mostly this.
    void AppendLine(std::string &out) const;
    bool FromLine(const std::string &line);
    std::string Summary() const;

    bool operator==(const CCommData &other) const
    {
        return m_data == other.m_data && m_format == other.m_format && m_name == other.m_name;
    }
    bool operator!=(const CCommData &other) const { return !(*this == other); }

private:
    Bytes m_data;
    DATA_FORMAT m_format = FMT_STRING;
    std::string m_name = "NoName";
};
