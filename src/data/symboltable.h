#pragma once
// Names or hides the byte values 0x00-0x7F when data is shown as Str&Symbol. Display only: text
// typed in that format is never turned back through the table.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct ST_Symbol
{
    bool UseSymbol = false;
    bool ShowNothing = true;
    std::string SymbolString;

    bool operator==(const ST_Symbol &o) const
    {
        return UseSymbol == o.UseSymbol && ShowNothing == o.ShowNothing && SymbolString == o.SymbolString;
    }
};

class CSymbolTable
{
public:
    static constexpr int kCount = 128;

    CSymbolTable() = default;

    void Reset();
    // The table a user without "Default.sym" starts with: the control characters 0x00-0x1F and
    // 0x7F under their standard names in angle brackets, every other byte as it is.
    void SetStandardNames();
    // The table before "Default.sym" is read: empty when the file exists, so the file rules as it
    // is (also when it is damaged), else the standard names. Nothing is written.
    void ResetForDefaultFile();
    // False, table unchanged, when the file is missing or does not hold exactly 128 lines.
    // Throws EFOpenError when the file exists but cannot be read.
    bool Load(const std::string &path);
    // The same from the lines of a file: false, table unchanged, unless there are exactly 128.
    bool LoadFromLines(const std::vector<std::string> &lines);
    // Throws EFCreateError when the file cannot be written; the old file then stays whole.
    bool Save(const std::string &path) const;
    static std::string DefaultPath();

    // Entries exist for 0x00-0x7F only.
    const ST_Symbol &Entry(int value) const { return m_entries.at(static_cast<size_t>(value)); }
    void SetEntry(int value, const ST_Symbol &entry) { m_entries.at(static_cast<size_t>(value)) = entry; }

    // The rendering rule: a byte is a symbol when it is 0x00-0x7F and its entry uses a symbol.
    // `text` is what stands in its place: the symbol string, or nothing when the byte is hidden.
    bool IsSymbol(uint8_t b) const { return b <= 0x7F && m_entries[b].UseSymbol; }
    bool Lookup(uint8_t b, std::string &text) const;

    // One line of the ".sym" file and back; ParseLine never fails, missing fields read as empty.
    static std::string FormatLine(const ST_Symbol &entry);
    static ST_Symbol ParseLine(const std::string &line);

    bool operator==(const CSymbolTable &o) const { return m_entries == o.m_entries; }

private:
    std::array<ST_Symbol, kCount> m_entries{};
};
