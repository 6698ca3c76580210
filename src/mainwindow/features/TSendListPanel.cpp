#include "mainwindow/features/TSendListPanel.h"
#include "data/gui/dialogsupport.h"
#include "platform/gui/actiontwin.h"
#include "platform/gui/commandguard.h"
#include "senddata/gui/TfrmSendDataList.h"
#include "shell/TSharedStore.h"

#include <QAction>
#include <QMenu>
#include <QTreeWidget>

TSendListPanel::TSendListPanel(QWidget *window, const ST_Controls &controls, TSharedStore &store,
                               std::function<void(const CCommData &)> send,
                               std::function<void(const CCommData &)> copyToInput,
                               std::function<bool()> portOpen)
    : QObject(window), m_window(window), m_c(controls), m_store(store), m_send(std::move(send)),
      m_copyToInput(std::move(copyToInput)), m_portOpen(std::move(portOpen))
{
    QTreeWidget *list = m_c.lsvSendData;
    connect(list, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        m_c.popmnuSendData->popup(m_c.lsvSendData->viewport()->mapToGlobal(pos));
    });
    connect(list, &QTreeWidget::itemDoubleClicked, this, &TSendListPanel::SendSelected);
    connect(list, &QTreeWidget::itemSelectionChanged, this, &TSendListPanel::UpdateSendCommands);
    connect(m_c.mnuOpSendItem, &QAction::triggered, this, &TSendListPanel::SendSelected);
    FollowAction(m_c.mnuSendItem, m_c.mnuOpSendItem);
    connect(m_c.mnuSendAndGoNext, &QAction::triggered, this, &TSendListPanel::SendAndGoNext);
    FollowAction(m_c.popmnuSendAndGoNext, m_c.mnuSendAndGoNext);
    connect(m_c.mnuCopyToInput, &QAction::triggered, this, [this] {
        if (const CCommData *item = Selected())
            m_copyToInput(*item);
    });
    const auto editList = [this] {
        RunGuarded(m_window, [this] {
            {
                TfrmSendDataList dialog(m_window);
                dialog.exec();
            }
            m_store.ReloadSendList();
        });
    };
    connect(m_c.mnuSettingSendSetting, &QAction::triggered, this, editList);
    FollowAction(m_c.mnuSendDataSetting, m_c.mnuSettingSendSetting);

    connect(&store, &TSharedStore::SendListChanged, this, [this] {
        Fill();
        emit StateChanged();
    });
    // Format and content come from the item, not split back out of its summary text, so a double
    // quote in the data cannot cut the content short.
    connect(&store, &TSharedStore::SendListItemAdded, this,
            [this](const CCommData &item) { SetItemRow(new QTreeWidgetItem(m_c.lsvSendData), item); });
}

const std::vector<CCommData> &TSendListPanel::Items() const
{
    return m_store.SendList();
}

void TSendListPanel::Fill()
{
    m_c.lsvSendData->clear();
    for (const CCommData &item : m_store.SendList())
        SetItemRow(new QTreeWidgetItem(m_c.lsvSendData), item);
}

int TSendListPanel::SelectedRow() const
{
    const QList<QTreeWidgetItem *> rows = m_c.lsvSendData->selectedItems();
    if (rows.size() != 1)
        return -1;
    return m_c.lsvSendData->indexOfTopLevelItem(rows.first());
}

const CCommData *TSendListPanel::Selected() const
{
    const int row = SelectedRow();
    const std::vector<CCommData> &items = m_store.SendList();
    return row >= 0 && row < static_cast<int>(items.size()) ? &items[static_cast<size_t>(row)] : nullptr;
}

void TSendListPanel::SendSelected()
{
    if (const CCommData *item = Selected())
        m_send(CCommData(*item));
}

void TSendListPanel::SendAndGoNext()
{
    const CCommData *item = Selected();
    if (item == nullptr)
        return;
    const int row = SelectedRow();
    m_send(CCommData(*item));
    if (row + 1 < m_c.lsvSendData->topLevelItemCount())
        m_c.lsvSendData->setCurrentItem(m_c.lsvSendData->topLevelItem(row + 1));
    if (const QList<QTreeWidgetItem *> rows = m_c.lsvSendData->selectedItems(); !rows.isEmpty())
        m_c.lsvSendData->scrollToItem(rows.first());
}

void TSendListPanel::UpdateSendCommands()
{
    const bool one = m_portOpen() && SelectedRow() >= 0;
    for (QAction *a : {m_c.mnuSendAndGoNext, m_c.mnuOpSendItem})
        a->setEnabled(one);
}

void TSendListPanel::UpdateControls()
{
    UpdateSendCommands();
    QTreeWidget *list = m_c.lsvSendData;
    if (list->selectedItems().isEmpty() && list->topLevelItemCount() > 0) {
        list->setCurrentItem(list->topLevelItem(0));
        list->scrollToItem(list->topLevelItem(0));
    }
}
