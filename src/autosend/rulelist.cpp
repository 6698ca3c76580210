#include "autosend/rulelist.h"

#include "platform/textfile.h"

bool CRuleList::LoadFromFile(const std::string &path)
{
    std::vector<std::string> lines;
    if (!ReadTextLines(path, lines))
        return false;
    return LoadFromLines(std::move(lines));
}

bool CRuleList::LoadFromLines(std::vector<std::string> text)
{
    m_rules.clear();
    CRuleLines lines(std::move(text));
    bool loaded = false;
    while (!lines.Empty()) {
        const std::string &first = lines.Front();
        std::unique_ptr<CRule> rule;
        if (first.find("CSingleRule") != std::string::npos)
            rule = std::make_unique<CSingleRule>();
        else if (first.find("CGroupRule") != std::string::npos)
            rule = std::make_unique<CGroupRule>();
        // A line that starts no rule, or a rule whose block cannot be taken out, would be looked
        // at forever: it is dropped and the reading goes on with the next line.
        if (!rule) {
            lines.PopFront();
            continue;
        }
        const size_t before = lines.Size();
        if (rule->LoadBlock(lines)) {
            m_rules.push_back(std::move(rule));
            loaded = true;
        } else if (lines.Size() == before) {
            lines.PopFront();
        }
    }
    return loaded;
}

std::vector<std::string> CRuleList::SaveToLines() const
{
    std::vector<std::string> lines;
    for (const auto &rule : m_rules)
        rule->SaveBlock(lines);
    return lines;
}

bool CRuleList::SaveToFile(const std::string &path) const
{
    WriteTextLines(path, SaveToLines());
    return true;
}
