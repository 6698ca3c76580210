#include "data/gui/TListButtons.h"
#include "data/gui/dialogsupport.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

TListButtons::TListButtons(QWidget *dialog, std::initializer_list<ST_ListButton> buttons, bool autoDefault)
    : QObject(dialog)
{
    for (const ST_ListButton &entry : buttons) {
        QPushButton *button = autoDefault ? Named(new QPushButton(entry.Caption, dialog), entry.Name)
                                          : MakeButton(dialog, entry.Name, entry.Caption);
        *entry.Button = button;
        m_buttons.push_back({button, entry.Role});
    }
}

void TListButtons::Fill(QBoxLayout *box, std::initializer_list<QPushButton *> order) const
{
    if (order.size() == 0) {
        for (const ST_Made &made : m_buttons)
            box->addWidget(made.Button);
        return;
    }
    for (QPushButton *button : order) {
        if (button)
            box->addWidget(button);
        else
            box->addStretch();
    }
}

QVBoxLayout *TListButtons::Column(std::initializer_list<QPushButton *> order) const
{
    auto *column = new QVBoxLayout;
    Fill(column, order);
    return column;
}

QHBoxLayout *TListButtons::Row(std::initializer_list<QPushButton *> order) const
{
    auto *row = new QHBoxLayout;
    Fill(row, order);
    return row;
}

QPushButton *TListButtons::Role(EListRole role) const
{
    const auto it =
        std::find_if(m_buttons.begin(), m_buttons.end(), [role](const ST_Made &m) { return m.Role == role; });
    return it == m_buttons.end() ? nullptr : it->Button;
}

void TListButtons::SetRows(QTreeWidget *list, ST_Rows rows)
{
    m_list = list;
    m_rows = std::move(rows);
    const auto connectRole = [this](EListRole role, bool wanted, auto command) {
        if (QPushButton *button = Role(role); button && wanted)
            connect(button, &QPushButton::clicked, this, command);
    };
    connectRole(EListRole::Up, bool(m_rows.Swap), [this] { Move(-1); });
    connectRole(EListRole::Down, bool(m_rows.Swap), [this] { Move(1); });
    connectRole(EListRole::Delete, bool(m_rows.Remove), &TListButtons::Delete);
    connectRole(EListRole::DeleteAll, bool(m_rows.RemoveAll), &TListButtons::DeleteAll);
}

void TListButtons::UpdateStates() const
{
    if (!m_list)
        return;
    EnableRowButtons(SingleSelectedRow(m_list), m_list->topLevelItemCount(), Role(EListRole::Edit),
                     Role(EListRole::Delete), Role(EListRole::DeleteAll), Role(EListRole::Up),
                     Role(EListRole::Down));
}

void TListButtons::Move(int by)
{
    const int row = SingleSelectedRow(m_list);
    const int other = row + by;
    if (row < 0 || other < 0 || other >= m_list->topLevelItemCount())
        return;
    m_rows.Swap(row, other);
    // The moved row stays the selected one, so a row is walked up or down by repeated clicks.
    if (QTreeWidgetItem *item = m_list->topLevelItem(other)) {
        m_list->clearSelection();
        m_list->setCurrentItem(item);
        item->setSelected(true);
        m_list->scrollToItem(item);
    }
    if (m_rows.Changed)
        m_rows.Changed();
}

void TListButtons::Delete()
{
    const int row = SingleSelectedRow(m_list);
    if (row < 0)
        return;
    m_rows.Remove(row);
    // The row that took the deleted one's place, or the new last one, is selected next.
    const int count = m_list->topLevelItemCount();
    if (count > 0) {
        QTreeWidgetItem *item = m_list->topLevelItem(std::min(row, count - 1));
        m_list->clearSelection();
        m_list->setCurrentItem(item);
        item->setSelected(true);
        m_list->scrollToItem(item);
    }
    if (m_rows.Changed)
        m_rows.Changed();
}

void TListButtons::DeleteAll()
{
    m_rows.RemoveAll();
    if (m_rows.Changed)
        m_rows.Changed();
}
