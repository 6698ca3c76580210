#include "data/symboltable.h"

#include "data/commatext.h"
#include "platform/appfolder.h"
#include "platform/textfile.h"

#include <vector>

void CSymbolTable::Reset()
{
    m_entries.fill(ST_Symbol{});
}

void CSymbolTable::SetStandardNames()
{
    static const char *const kNames[] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                         "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                         "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                         "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    Reset();
    const auto name = [this](int value, const char *text) {
        m_entries[static_cast<size_t>(value)] = ST_Symbol{true, false, std::string("<") + text + ">"};
    };
    for (int value = 0; value < 0x20; ++value)
        name(value, kNames[value]);
    name(0x7F, "DEL");
}

void CSymbolTable::ResetForDefaultFile()
{
    if (FileExists(DefaultPath()))
        Reset();
    else
        SetStandardNames();
}

std::string CSymbolTable::DefaultPath()
{
    return AppFilePath("Default.sym");
}

ST_Symbol CSymbolTable::ParseLine(const std::string &line)
{
    const std::vector<std::string> fields = SplitCommaText(line);
    ST_Symbol entry;
    entry.UseSymbol = fields.size() > 0 && fields[0] == "1";
    entry.ShowNothing = fields.size() > 1 && fields[1] == "1";
    entry.SymbolString = fields.size() > 2 ? fields[2] : std::string();
    return entry;
}

std::string CSymbolTable::FormatLine(const ST_Symbol &entry)
{
    return std::string(entry.UseSymbol ? "1" : "0") + "," + (entry.ShowNothing ? "1" : "0") + "," +
           QuoteField(entry.SymbolString);
}

bool CSymbolTable::Load(const std::string &path)
{
    std::vector<std::string> lines;
    return ReadTextLines(path, lines) && LoadFromLines(lines);
}

bool CSymbolTable::LoadFromLines(const std::vector<std::string> &lines)
{
    if (lines.size() != kCount)
        return false;
    for (size_t i = 0; i < kCount; ++i)
        m_entries[i] = ParseLine(lines[i]);
    return true;
}

bool CSymbolTable::Save(const std::string &path) const
{
    std::vector<std::string> lines;
    lines.reserve(kCount);
    for (const ST_Symbol &entry : m_entries)
        lines.push_back(FormatLine(entry));
    WriteTextLines(path, lines);
    return true;
}

bool CSymbolTable::Lookup(uint8_t b, std::string &text) const
{
    if (!IsSymbol(b))
        return false;
    const ST_Symbol &entry = m_entries[b];
    text = entry.ShowNothing ? std::string() : entry.SymbolString;
    return true;
}
