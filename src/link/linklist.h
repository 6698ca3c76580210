#pragma once
// The process-wide list of links and its ".cps" file: one LinkToLine record per line.
#include "link/linksetting.h"

#include <string>
#include <vector>

class CLinkList
{
public:
    int Count() const { return static_cast<int>(m_links.size()); }
    const COM_PORT_SETTING &At(int index) const { return m_links.at(static_cast<size_t>(index)); }
    const std::vector<COM_PORT_SETTING> &Links() const { return m_links; }

    void Append(const COM_PORT_SETTING &link) { m_links.push_back(link); }
    bool Replace(int index, const COM_PORT_SETTING &link);
    bool Remove(int index);
    // Empties the list, including any lines a stopped load left unread.
    void Clear();

    // False, list unchanged, when no file exists at `path`. Otherwise the list becomes the file's
    // links; a line without exactly nine fields becomes a link with empty names and the settings
    // of a new link. A non-integer number stops the load there and throws EConvertError: the
    // links above stay, and that line and the rest are kept as UnreadLines(), which Save writes
    // back after the links so that a file that stopped loading is never cut short.
    // Throws EFOpenError, list unchanged, when the file exists but cannot be read.
    bool Load(const std::string &path);
    bool LoadFromLines(const std::vector<std::string> &lines);
    // Throws EFCreateError when the file cannot be written; the old file then stays whole.
    void Save(const std::string &path) const;
    std::vector<std::string> ToLines() const;

    const std::vector<std::string> &UnreadLines() const { return m_unread; }

private:
    std::vector<COM_PORT_SETTING> m_links;
    std::vector<std::string> m_unread;
};

// The one list of the process: empty at start, filled and saved by the link manager.
CLinkList &LinkList();

bool LoadLinkList(const std::string &path);
void SaveLinkList(const std::string &path);

// "Default.cps" in the app folder.
std::string DefaultLinkFilePath();
