#include "senddata/senddatalist.h"

#include "platform/appfolder.h"
#include "platform/textfile.h"

#include <utility>

bool CSendDataList::Replace(int index, const CCommData &item)
{
    if (index < 0 || index >= Count())
        return false;
    m_items[static_cast<size_t>(index)] = item;
    return true;
}

bool CSendDataList::Remove(int index)
{
    if (index < 0 || index >= Count())
        return false;
    m_items.erase(m_items.begin() + index);
    return true;
}

bool CSendDataList::MoveUp(int index)
{
    if (index < 1 || index >= Count())
        return false;
    std::swap(m_items[static_cast<size_t>(index) - 1], m_items[static_cast<size_t>(index)]);
    return true;
}

bool CSendDataList::MoveDown(int index)
{
    if (index < 0 || index + 1 >= Count())
        return false;
    std::swap(m_items[static_cast<size_t>(index)], m_items[static_cast<size_t>(index) + 1]);
    return true;
}

bool CSendDataList::Load(const std::string &path)
{
    std::string content;
    if (!ReadWholeFile(path, content))
        return false;
    m_items = SendDataFromText(content, IsPlainTextPath(path));
    return true;
}

bool CSendDataList::Save(const std::string &path) const
{
    std::vector<std::string> lines;
    lines.reserve(m_items.size());
    for (const CCommData &item : m_items)
        lines.push_back(item.ToLine());
    WriteTextLines(path, lines);
    return true;
}

std::string CSendDataList::DefaultPath()
{
    return AppFilePath("Default.sds");
}

bool IsPlainTextPath(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart || path.size() - dot != 4)
        return false;
    std::string ext = path.substr(dot);
    for (char &c : ext)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return ext == ".TXT";
}

std::vector<CCommData> SendDataFromText(const std::string &content, bool plainLines)
{
    std::vector<size_t> failed;
    const std::vector<std::string> lines = SplitTextLines(content, &failed);
    std::vector<CCommData> items;
    items.reserve(lines.size());
    size_t nextFailed = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (nextFailed < failed.size() && failed[nextFailed] == i) {
            ++nextFailed;
            continue;
        }
        CCommData item;
        if (plainLines) {
            item.SetDataFromText(lines[i]);
            item.SetName("LN" + std::to_string(i + 1));
        } else {
            item.FromLine(lines[i]);
        }
        items.push_back(std::move(item));
    }
    return items;
}
