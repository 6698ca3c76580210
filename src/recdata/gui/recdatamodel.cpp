#include "recdata/gui/recdatamodel.h"

#include <QCoreApplication>

#include "data/gui/dialogsupport.h"

namespace {

// A 16 KiB block in hex is 48 K characters; no column is that wide, so only the start is turned
// into text (the view elides it as it would the whole).
constexpr size_t kShownBytes = 1024;

} // namespace

int CRecDataModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_entries.Count();
}

int CRecDataModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant CRecDataModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_entries.Count())
        return QVariant();
    const CCommData &item = m_entries.At(index.row());
    switch (index.column()) {
    case 0:
        return FromLatin1(item.GetName());
    case 1:
        return FromLatin1(CCommData::FormatName(item.GetFormat()));
    default:
        break;
    }
    if (item.GetLength() <= static_cast<int>(kShownBytes))
        return RowText(item.ToText());
    CCommData start(Bytes(item.Data().begin(), item.Data().begin() + kShownBytes), item.GetFormat());
    return RowText(start.ToText());
}

QVariant CRecDataModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const kHeaders[] = {QT_TRANSLATE_NOOP("CRecDataModel", "Time"),
                                           QT_TRANSLATE_NOOP("CRecDataModel", "Format"),
                                           QT_TRANSLATE_NOOP("CRecDataModel", "Content")};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 2)
        return QVariant();
    return QCoreApplication::translate("CRecDataModel", kHeaders[section]);
}
