#include "recdata/gui/TfrmRecDataList.h"

#include "data/gui/dialogsupport.h"
#include "platform/diaglog.h"
#include "senddata/gui/TfrmDataEdit.h"
#include "senddata/gui/TfrmSendDataList.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

TfrmRecDataList::TfrmRecDataList(QWidget *owner) : QDialog(owner)
{
    setObjectName("frmRecDataList");
    setWindowTitle("Receive Data List");

    lsvRecData = MakeRowList(this, "lsvRecData", {"Time", "Format", "Content"});
    lsvRecData->setUniformRowHeights(true);
    lsvRecData->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lsvRecData->setColumnWidth(0, 80);
    lsvRecData->setColumnWidth(1, 80);
    lsvRecData->setColumnWidth(2, 420);
    lsvRecData->setMinimumSize(600, 320);

    btnAddtoSendData = MakeButton(this, "btnAddtoSendData", "&Add to Send Data");
    btnDeleteAll = MakeButton(this, "btnDeleteAll", "Delete All");
    btnDelete = MakeButton(this, "btnDelete", "&Delete");
    btnSave = MakeButton(this, "btnSave", "&Save");
    btnExit = MakeButton(this, "btnExit", "Exit");
    btnMerge = MakeButton(this, "btnMerge", "&Merge Up");
    btnEdit = MakeButton(this, "btnEdit", "&Edit");

    dlgSave = MakeFileDialog(this, "dlgSave", true, TfrmSendDataList::kFileFilter, "sds");

    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {btnAddtoSendData, btnEdit, btnMerge, btnDelete, btnDeleteAll, btnSave})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(btnExit);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lsvRecData);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_flushTimer = new QTimer(this);
    m_flushTimer->setSingleShot(true);
    m_flushTimer->setInterval(kFlushDelayMs);
    connect(m_flushTimer, &QTimer::timeout, this, &TfrmRecDataList::Flush);

    connect(lsvRecData, &QTreeWidget::itemSelectionChanged, this, &TfrmRecDataList::lsvRecDataChange);
    connect(lsvRecData, &QTreeWidget::itemDoubleClicked, this, &TfrmRecDataList::btnEditClick);
    connect(btnAddtoSendData, &QPushButton::clicked, this, &TfrmRecDataList::btnAddtoSendDataClick);
    connect(btnDeleteAll, &QPushButton::clicked, this, &TfrmRecDataList::btnDeleteAllClick);
    connect(btnDelete, &QPushButton::clicked, this, &TfrmRecDataList::btnDeleteClick);
    connect(btnSave, &QPushButton::clicked, this, &TfrmRecDataList::btnSaveClick);
    connect(btnExit, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnMerge, &QPushButton::clicked, this, &TfrmRecDataList::btnMergeClick);
    connect(btnEdit, &QPushButton::clicked, this, &TfrmRecDataList::btnEditClick);

    try {
        LoadRecData(RecDataFilePath());
    } catch (const std::exception &error) {
        ShowErrorBox(this, error);
    }
    UpdateButtons();
}

TfrmRecDataList::~TfrmRecDataList()
{
    m_flushTimer->stop();
    m_writer.Wait();
    try {
        SaveRecData(RecDataFilePath());
    } catch (const std::exception &error) {
        ShowErrorBox(nullptr, error);
    }
}

void TfrmRecDataList::SetAddToSendData(std::function<void(const CCommData &)> addToSendData)
{
    m_addToSendData = std::move(addToSendData);
}

void TfrmRecDataList::AddRecData(const CCommData &item)
{
    if (m_entries.Add(item))
        lsvRecData->clear();
    AppendRow(m_entries.Count() - 1);
    QTreeWidgetItem *row = lsvRecData->topLevelItem(m_entries.Count() - 1);
    row->setSelected(true);
    // Scrolling lays the whole view out again; while the window is hidden that cost would be paid
    // for every block of a fast stream, so the newest row is brought into view when it is shown.
    if (isVisible())
        lsvRecData->scrollToItem(row);
    ScheduleFlush();
}

void TfrmRecDataList::ClearRecData()
{
    m_entries.Clear();
    lsvRecData->clear();
    ScheduleFlush();
    UpdateButtons();
}

bool TfrmRecDataList::LoadRecData(const std::string &path)
{
    if (!m_entries.Load(path))
        return false;
    lsvRecData->clear();
    for (int pos = 0; pos < m_entries.Count(); ++pos)
        AppendRow(pos);
    UpdateButtons();
    return true;
}

void TfrmRecDataList::SaveRecData(const std::string &path)
{
    m_entries.Save(path);
    if (path == RecDataFilePath())
        m_dirty = false;
}

void TfrmRecDataList::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (const int rows = lsvRecData->topLevelItemCount(); rows > 0)
        lsvRecData->scrollToItem(lsvRecData->topLevelItem(rows - 1));
    UpdateButtons();
}

void TfrmRecDataList::AppendRow(int pos)
{
    lsvRecData->addTopLevelItem(new QTreeWidgetItem);
    DrawRow(pos);
}

void TfrmRecDataList::DrawRow(int pos)
{
    SetItemRow(lsvRecData->topLevelItem(pos), m_entries.At(pos));
}

void TfrmRecDataList::SelectOnly(int pos)
{
    QTreeWidgetItem *row = lsvRecData->topLevelItem(pos);
    lsvRecData->setCurrentItem(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    lsvRecData->scrollToItem(row);
}

std::vector<int> TfrmRecDataList::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex &index : lsvRecData->selectionModel()->selectedIndexes())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TfrmRecDataList::UpdateButtons()
{
    const std::vector<int> selected = SelectedRows();
    const int rows = lsvRecData->topLevelItemCount();
    btnDeleteAll->setEnabled(rows > 0);
    btnEdit->setEnabled(selected.size() == 1);
    btnDelete->setEnabled(!selected.empty());
    btnAddtoSendData->setEnabled(!selected.empty());
    btnMerge->setEnabled(selected.size() == 1 && rows >= 2 && selected.front() > 0);
}

void TfrmRecDataList::lsvRecDataChange()
{
    UpdateButtons();
    btnEdit->setEnabled(btnDelete->isEnabled());
}

void TfrmRecDataList::ScheduleFlush()
{
    m_dirty = true;
    // Not restarted by later changes: a steady stream of blocks still reaches the file.
    if (!m_flushTimer->isActive())
        m_flushTimer->start();
}

void TfrmRecDataList::Flush()
{
    if (!m_dirty)
        return;
    m_dirty = false;
    // The list is copied here, on the GUI thread; turning it into text and writing it happen on
    // the writer's thread, so a full list of large blocks never stalls the window.
    m_writer.Post(RecDataFilePath(), [snapshot = m_entries] { return snapshot.ToFileText(); });
}

void TfrmRecDataList::btnAddtoSendDataClick()
{
    if (!m_addToSendData)
        return;
    for (int pos : SelectedRows())
        m_addToSendData(m_entries.At(pos));
}

void TfrmRecDataList::btnDeleteAllClick()
{
    ClearRecData();
}

void TfrmRecDataList::btnDeleteClick()
{
    const std::vector<int> selected = SelectedRows();
    if (selected.empty())
        return;
    const int next = m_entries.Remove(selected);
    for (auto it = selected.rbegin(); it != selected.rend(); ++it)
        delete lsvRecData->takeTopLevelItem(*it);
    if (next >= 0)
        SelectOnly(next);
    ScheduleFlush();
    UpdateButtons();
}

void TfrmRecDataList::btnSaveClick()
{
    const QString path = RunFileDialog(dlgSave);
    if (path.isEmpty())
        return;
    try {
        SaveRecData(path.toStdString());
    } catch (const std::exception &error) {
        ShowErrorBox(this, error);
    }
}

void TfrmRecDataList::btnEditClick()
{
    const std::vector<int> selected = SelectedRows();
    if (selected.size() == 1) {
        const int pos = selected.front();
        CCommData item = m_entries.At(pos);
        if (TfrmDataEdit::EditItem(this, item)) {
            m_entries.Replace(pos, item);
            DrawRow(pos);
            SelectOnly(pos);
            ScheduleFlush();
        }
    }
    UpdateButtons();
}

void TfrmRecDataList::btnMergeClick()
{
    const std::vector<int> selected = SelectedRows();
    if (selected.size() != 1 || selected.front() < 1)
        return;
    const int pos = selected.front();
    m_entries.MergeUp(pos);
    delete lsvRecData->takeTopLevelItem(pos);
    DrawRow(pos - 1);
    SelectOnly(pos - 1);
    ScheduleFlush();
    UpdateButtons();
}
