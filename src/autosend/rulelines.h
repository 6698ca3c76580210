#pragma once
// The lines of a rule file while it is read. Rules take their block out from anywhere in the
// list, so the list keeps its lines in place and links the ones still there; the first line equal
// to a tag is found through a per-tag index. Reading a file is therefore linear in its size, even
// for a hand-edited file full of stray tags.
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

class CRuleLines
{
public:
    explicit CRuleLines(std::vector<std::string> lines);

    bool Empty() const { return m_head == kNone; }
    size_t Size() const { return m_size; }
    const std::string &Front() const { return m_lines[m_head]; }
    void PopFront();

    // Moves the lines from the first one equal to `beginTag` through the first one equal to
    // `endTag` (letter case ignored) into `block`, in order. False, with nothing taken, when
    // either tag is missing or the end tag comes first.
    bool TakeBlock(const std::string &beginTag, const std::string &endTag, std::vector<std::string> &block);

private:
    static constexpr size_t kNone = static_cast<size_t>(-1);
    struct TagIndex
    {
        std::vector<size_t> positions;
        size_t cursor = 0;
    };
    size_t FirstLine(const std::string &tag);
    void Unlink(size_t first, size_t last);

    std::vector<std::string> m_lines;
    std::vector<size_t> m_next, m_prev;
    std::vector<bool> m_gone;
    size_t m_head = kNone;
    size_t m_size = 0;
    std::unordered_map<std::string, TagIndex> m_tags;
};
