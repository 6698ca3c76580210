#pragma once
// The received list as the view sees it: rows drawn straight from the blocks, and only those on
// screen, so a row costs nothing until it is shown. The dialog changes the list and tells the
// model around each change.
#include "recdata/recdatalist.h"

#include <QAbstractTableModel>

class CRecDataModel : public QAbstractTableModel
{
public:
    CRecDataModel(const CRecDataList &entries, QObject *parent)
        : QAbstractTableModel(parent), m_entries(entries)
    {
    }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void BeginAppend() { beginInsertRows(QModelIndex(), m_entries.Count(), m_entries.Count()); }
    void EndAppend() { endInsertRows(); }
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }
    void BeginRemove(int pos) { beginRemoveRows(QModelIndex(), pos, pos); }
    void EndRemove() { endRemoveRows(); }
    void Changed(int pos) { emit dataChanged(index(pos, 0), index(pos, 2)); }

private:
    const CRecDataList &m_entries;
};
