#include "link/linklist.h"

#include "platform/appfolder.h"
#include "platform/errors.h"
#include "platform/textfile.h"

bool CLinkList::Replace(int index, const COM_PORT_SETTING &link)
{
    if (index < 0 || index >= Count())
        return false;
    m_links[static_cast<size_t>(index)] = link;
    return true;
}

bool CLinkList::Remove(int index)
{
    if (index < 0 || index >= Count())
        return false;
    m_links.erase(m_links.begin() + index);
    return true;
}

void CLinkList::Clear()
{
    m_links.clear();
    m_unread.clear();
}

bool CLinkList::Load(const std::string &path)
{
    std::vector<std::string> lines;
    if (!ReadTextLines(path, lines))
        return false;
    return LoadFromLines(lines);
}

bool CLinkList::LoadFromLines(const std::vector<std::string> &lines)
{
    Clear();
    for (size_t i = 0; i < lines.size(); ++i) {
        COM_PORT_SETTING link = DefaultLinkSetting();
        link.PortName.clear();
        try {
            LinkFromLine(lines[i], link);
        } catch (const EConvertError &) {
            m_unread.assign(lines.begin() + static_cast<std::ptrdiff_t>(i), lines.end());
            throw;
        }
        m_links.push_back(std::move(link));
    }
    return true;
}

std::vector<std::string> CLinkList::ToLines() const
{
    std::vector<std::string> lines;
    lines.reserve(m_links.size() + m_unread.size());
    for (const COM_PORT_SETTING &link : m_links)
        lines.push_back(LinkToLine(link));
    lines.insert(lines.end(), m_unread.begin(), m_unread.end());
    return lines;
}

void CLinkList::Save(const std::string &path) const
{
    WriteTextLines(path, ToLines());
}

CLinkList &LinkList()
{
    static CLinkList list;
    return list;
}

bool LoadLinkList(const std::string &path)
{
    return LinkList().Load(path);
}

void SaveLinkList(const std::string &path)
{
    LinkList().Save(path);
}

std::string DefaultLinkFilePath()
{
    return AppFilePath("Default.cps");
}
