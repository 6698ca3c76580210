#pragma once
// The send data list and its ".sds" file: one CCommData::ToLine record per line. A file whose name
// ends in ".txt" (any letter case) is read as plain lines instead, one String item per line,
// named LN1, LN2 and so on. Entries are addressed by position only; names need not be unique.
#include "data/commdata.h"

#include <string>
#include <vector>

class CSendDataList
{
public:
    int Count() const { return static_cast<int>(m_items.size()); }
    const CCommData &At(int index) const { return m_items.at(static_cast<size_t>(index)); }
    const std::vector<CCommData> &Items() const { return m_items; }

    void Append(const CCommData &item) { m_items.push_back(item); }
    // The positional operations do nothing and return false for a position out of range.
    bool Replace(int index, const CCommData &item);
    bool Remove(int index);
    void RemoveAll() { m_items.clear(); }
    bool MoveUp(int index);   // swaps index-1 and index
    bool MoveDown(int index); // swaps index and index+1

    // False, list unchanged, when no file exists at `path`; otherwise the list becomes the file's
    // entries and the result is true. Malformed lines become entries, never errors. Throws
    // EFOpenError, list unchanged, when the file exists but cannot be read.
    bool Load(const std::string &path);
    // Always records, whatever the extension. Throws EFCreateError when the file cannot be written;
    // the old file then stays whole.
    bool Save(const std::string &path) const;
    static std::string DefaultPath();

private:
    std::vector<CCommData> m_items;
};

// True when the file name's extension (from its last period) is ".txt" in any letter case.
bool IsPlainTextPath(const std::string &path);

// The entries a file with this content gives, in record or plain-line mode.
std::vector<CCommData> SendDataFromText(const std::string &content, bool plainLines);
