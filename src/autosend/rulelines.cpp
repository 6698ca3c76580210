#include "autosend/rulelines.h"

namespace {

std::string Lower(const std::string &text)
{
    std::string out = text;
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

CRuleLines::CRuleLines(std::vector<std::string> lines)
    : m_lines(std::move(lines)), m_next(m_lines.size()), m_prev(m_lines.size()),
      m_gone(m_lines.size(), false), m_size(m_lines.size())
{
    for (size_t i = 0; i < m_lines.size(); ++i) {
        m_next[i] = i + 1 < m_lines.size() ? i + 1 : kNone;
        m_prev[i] = i == 0 ? kNone : i - 1;
    }
    m_head = m_lines.empty() ? kNone : 0;
}

void CRuleLines::PopFront()
{
    if (m_head != kNone)
        Unlink(m_head, m_head);
}

void CRuleLines::Unlink(size_t first, size_t last)
{
    const size_t before = m_prev[first];
    const size_t after = m_next[last];
    for (size_t i = first;; i = m_next[i]) {
        m_gone[i] = true;
        --m_size;
        if (i == last)
            break;
    }
    if (before == kNone)
        m_head = after;
    else
        m_next[before] = after;
    if (after != kNone)
        m_prev[after] = before;
}

size_t CRuleLines::FirstLine(const std::string &tag)
{
    const std::string key = Lower(tag);
    auto found = m_tags.find(key);
    if (found == m_tags.end()) {
        TagIndex index;
        for (size_t i = 0; i < m_lines.size(); ++i)
            if (m_lines[i].size() == key.size() && Lower(m_lines[i]) == key)
                index.positions.push_back(i);
        found = m_tags.emplace(key, std::move(index)).first;
    }
    TagIndex &index = found->second;
    while (index.cursor < index.positions.size() && m_gone[index.positions[index.cursor]])
        ++index.cursor;
    return index.cursor < index.positions.size() ? index.positions[index.cursor] : kNone;
}

bool CRuleLines::TakeBlock(const std::string &beginTag, const std::string &endTag,
                           std::vector<std::string> &block)
{
    const size_t first = FirstLine(beginTag);
    const size_t last = FirstLine(endTag);
    if (first == kNone || last == kNone || last < first)
        return false;
    block.clear();
    for (size_t i = first;; i = m_next[i]) {
        block.push_back(std::move(m_lines[i]));
        if (i == last)
            break;
    }
    Unlink(first, last);
    return true;
}
