#include "senddata/sendhistory.h"

#include "platform/textfile.h"
#include "senddata/senddatalist.h"

#include <algorithm>

namespace {

bool SameItem(const CCommData &a, const CCommData &b)
{
    return a.GetFormat() == b.GetFormat() && a.Data() == b.Data();
}

} // namespace

void CSendHistory::Add(const CCommData &item)
{
    m_position = -1;
    if (item.GetLength() == 0)
        return;
    m_items.erase(std::remove_if(m_items.begin(), m_items.end(),
                                 [&item](const CCommData &kept) { return SameItem(kept, item); }),
                  m_items.end());
    m_items.insert(m_items.begin(), item);
    if (m_items.size() > kLimit)
        m_items.resize(kLimit);
}

void CSendHistory::Load(const std::string &path)
{
    m_items.clear();
    m_position = -1;
    CSendDataList list;
    if (!list.Load(path))
        return;
    for (const CCommData &item : list.Items())
        if (item.GetLength() > 0 && item.GetFormat() <= FMT_STR_SYMBOL && m_items.size() < kLimit &&
            std::none_of(m_items.begin(), m_items.end(),
                         [&item](const CCommData &kept) { return SameItem(kept, item); }))
            m_items.push_back(item);
}

void CSendHistory::Save(const std::string &path) const
{
    WriteFileAtomic(path, FileText());
}

std::string CSendHistory::FileText() const
{
    std::string text;
    for (const CCommData &item : m_items)
        text += item.ToLine() + "\r\n";
    return text;
}

std::optional<CCommData> CSendHistory::Older(const CCommData &typing)
{
    if (m_position + 1 >= static_cast<int>(m_items.size()))
        return std::nullopt;
    if (m_position < 0)
        m_typing = typing;
    ++m_position;
    return m_items[static_cast<size_t>(m_position)];
}

std::optional<CCommData> CSendHistory::Newer()
{
    if (m_position < 0)
        return std::nullopt;
    --m_position;
    if (m_position < 0)
        return m_typing;
    return m_items[static_cast<size_t>(m_position)];
}
