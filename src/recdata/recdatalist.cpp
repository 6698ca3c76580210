#include "recdata/recdatalist.h"

#include "platform/appfolder.h"
#include "platform/packing.h"
#include "platform/textfile.h"

#include <algorithm>

namespace {

// Below this a block's own record outweighs what packing could spare.
constexpr size_t kSmallestPacked = 512;

} // namespace

CCommData CRecDataList::Stored::Item() const
{
    if (packed.empty())
        return item;
    CCommData whole = item;
    Bytes bytes(length);
    Unpack(packed, bytes.data(), length);
    whole.SetData(std::move(bytes));
    return whole;
}

CRecDataList::Entry CRecDataList::Make(CCommData item)
{
    auto stored = std::make_shared<Stored>();
    stored->length = item.Data().size();
    stored->cost = CostOf(item);
    stored->settled = stored->length < kSmallestPacked;
    stored->item = std::move(item);
    return stored;
}

size_t CRecDataList::HeldBytes() const
{
    size_t held = 0;
    for (const Entry &entry : m_entries)
        held += entry->item.Data().capacity() + entry->packed.capacity();
    return held;
}

void CRecDataList::Pack(size_t budget)
{
    std::unique_ptr<CPacker> packer;
    for (Entry &entry : m_entries) {
        if (entry->settled)
            continue;
        if (budget == 0)
            return;
        budget -= std::min(budget, entry->length);
        if (!packer)
            packer = std::make_unique<CPacker>();
        auto packed = std::make_shared<Stored>();
        packed->length = entry->length;
        packed->cost = entry->cost;
        packed->settled = true;
        if (packer->Pack(entry->item.Data().data(), entry->length, packed->packed)) {
            packed->item.SetName(entry->item.GetName());
            packed->item.SetFormat(entry->item.GetFormat());
        } else {
            packed->item = entry->item;
        }
        entry = std::move(packed);
    }
}

size_t CRecDataList::CostOf(const CCommData &item)
{
    const std::string &name = item.GetName();
    const size_t nameHeap = name.capacity() > std::string().capacity() ? name.capacity() + 1 : 0;
    return sizeof(CCommData) + sizeof(uint64_t) + item.Data().capacity() + nameHeap;
}

bool CRecDataList::Add(CCommData item)
{
    const bool cleared = FullFor(item);
    if (cleared)
        Clear();
    m_entries.push_back(Make(std::move(item)));
    m_memory += m_entries.back()->cost;
    m_ids.push_back(m_nextId++);
    return cleared;
}

void CRecDataList::Replace(int pos, const CCommData &item)
{
    Entry &entry = m_entries.at(static_cast<size_t>(pos));
    m_memory -= entry->cost;
    entry = Make(item);
    m_memory += entry->cost;
}

int CRecDataList::PosOf(uint64_t id) const
{
    const auto it = std::lower_bound(m_ids.begin(), m_ids.end(), id);
    return it != m_ids.end() && *it == id ? static_cast<int>(it - m_ids.begin()) : -1;
}

int CRecDataList::Remove(const std::vector<int> &positions)
{
    // Each removal shifts the later rows up by one, so the last one removed sat at its original
    // place less the number removed before it.
    int removed = 0;
    int last = -1;
    std::vector<Entry> kept;
    std::vector<uint64_t> keptIds;
    kept.reserve(m_entries.size());
    size_t next = 0;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (next < positions.size() && static_cast<size_t>(positions[next]) == i) {
            last = static_cast<int>(i) - removed;
            ++removed;
            ++next;
            continue;
        }
        kept.push_back(std::move(m_entries[i]));
        keptIds.push_back(m_ids[i]);
    }
    m_entries = std::move(kept);
    m_ids = std::move(keptIds);
    m_memory = 0;
    for (const Entry &entry : m_entries)
        m_memory += entry->cost;
    if (removed == 0)
        return -1;
    if (last == Count())
        --last;
    return last;
}

bool CRecDataList::MergeUp(int pos)
{
    if (pos < 1 || pos >= Count())
        return false;
    Entry &upperEntry = m_entries[static_cast<size_t>(pos - 1)];
    const Entry &lowerEntry = m_entries[static_cast<size_t>(pos)];
    CCommData upper = upperEntry->Item();
    const CCommData lower = lowerEntry->Item();
    Bytes joined;
    joined.reserve(upper.Data().size() + lower.Data().size());
    joined.insert(joined.end(), upper.Data().begin(), upper.Data().end());
    joined.insert(joined.end(), lower.Data().begin(), lower.Data().end());
    upper.SetData(std::move(joined));
    m_memory -= upperEntry->cost + lowerEntry->cost;
    upperEntry = Make(std::move(upper));
    m_memory += upperEntry->cost;
    m_entries.erase(m_entries.begin() + pos);
    m_ids.erase(m_ids.begin() + pos);
    return true;
}

bool CRecDataList::Load(const std::string &path)
{
    std::string content;
    if (!ReadWholeFile(path, content, kFileLimit))
        return false;
    std::vector<size_t> failed;
    const std::vector<std::string> lines = SplitTextLines(content, &failed);
    Clear();
    m_entries.reserve(std::min(lines.size(), static_cast<size_t>(kCapacity)));
    size_t nextFailed = 0;
    size_t taken = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (nextFailed < failed.size() && failed[nextFailed] == i) {
            ++nextFailed;
            continue;
        }
        CCommData item;
        item.FromLine(lines[i]);
        if (FullFor(item))
            break;
        ++taken;
        m_entries.push_back(Make(std::move(item)));
        m_memory += m_entries.back()->cost;
        m_ids.push_back(m_nextId++);
    }
    m_loadedAll = taken == lines.size();
    m_loadedWhole = m_loadedAll && (content.empty() || content.back() == '\n' || content.back() == '\r');
    return true;
}

TextPieces CRecDataList::FilePieces(std::vector<Entry> items)
{
    constexpr size_t kPieceBytes = 256 * 1024;
    return [items = std::move(items), next = size_t{0}](std::string &piece) mutable {
        while (next < items.size() && piece.size() < kPieceBytes) {
            const Stored &stored = *items[next++];
            if (stored.packed.empty())
                stored.item.AppendLine(piece);
            else
                stored.Item().AppendLine(piece);
            piece += "\r\n";
        }
        return !piece.empty();
    };
}

void CRecDataList::Save(const std::string &path) const
{
    WriteFileAtomic(path, FilePieces(m_entries));
}

std::string CRecDataList::FilePath()
{
    return AppFilePath("TempRec.tmp");
}
