#pragma once
// The instant items sent lately, newest first, for recall with Up and Down in the instant-send
// edit. Sending an item again moves it to the front instead of adding a copy. Kept between runs
// in a file of the send data list's format, so a damaged line costs one entry, never the list.
#include "data/commdata.h"

#include <optional>
#include <string>
#include <vector>

class CSendHistory
{
public:
    static constexpr size_t kLimit = 100;

    const std::vector<CCommData> &Items() const { return m_items; }
    // Items without bytes are not kept.
    void Add(const CCommData &item);

    // Replaces the list by the file's entries (the newest first); no file leaves it empty.
    // Throws EFOpenError when the file exists but cannot be read.
    void Load(const std::string &path);
    // Throws EFCreateError; the old file then stays whole.
    void Save(const std::string &path) const;
    // What Save writes.
    std::string FileText() const;

    // Recall: Older steps from the text being typed towards the oldest item, Newer back; at the
    // newest end Newer gives the text that was being typed when the recall began. Add ends a recall.
    std::optional<CCommData> Older(const CCommData &typing);
    std::optional<CCommData> Newer();
    bool Recalling() const { return m_position >= 0; }

private:
    std::vector<CCommData> m_items;
    int m_position = -1;
    CCommData m_typing;
};
