#pragma once
// The ordered, owning list of rules; the order is the rules' priority. Stored as the plain
// concatenation of the rules' blocks (".ass" files, "Default.ass" in the app folder).
#include "autosend/rule.h"

#include <memory>
#include <string>
#include <vector>

class CRuleList
{
public:
    int Count() const { return static_cast<int>(m_rules.size()); }
    std::unique_ptr<CRule> &At(int index) { return m_rules.at(static_cast<size_t>(index)); }
    const CRule &At(int index) const { return *m_rules.at(static_cast<size_t>(index)); }
    void Add(std::unique_ptr<CRule> rule) { m_rules.push_back(std::move(rule)); }
    void Remove(int index) { m_rules.erase(m_rules.begin() + index); }
    void Clear() { m_rules.clear(); }

    // False, with the list untouched, when no file is there. Otherwise the list is replaced by the
    // rules read; a line that starts no readable rule is skipped. A bad number in a single rule
    // throws EConvertError and ends the reading, the rules read before it staying in the list;
    // EFOpenError when the file cannot be read. True when at least one rule was read.
    bool LoadFromFile(const std::string &path);
    // Reads rule blocks out of `lines` the same way (for files already in memory).
    bool LoadFromLines(std::vector<std::string> lines);

    // Throws EFCreateError when the file cannot be written; the old file is then unchanged.
    bool SaveToFile(const std::string &path) const;
    std::vector<std::string> SaveToLines() const;

private:
    std::vector<std::unique_ptr<CRule>> m_rules;
};
