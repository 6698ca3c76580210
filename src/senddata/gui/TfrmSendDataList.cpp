#include "senddata/gui/TfrmSendDataList.h"

#include "data/gui/dialogsupport.h"
#include "senddata/gui/TfrmDataEdit.h"
#include "senddata/senddatalist.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TfrmSendDataList::TfrmSendDataList(QWidget *owner) : QDialog(owner), m_list(std::make_unique<CSendDataList>())
{
    setObjectName("frmSendDataList");
    setWindowTitle(tr("Send Data List"));

    lsvSendData = MakeRowList(this, "lsvSendData", {tr("Name"), tr("ShowFormat"), tr("Content")});
    lsvSendData->setUniformRowHeights(true);
    lsvSendData->setSelectionMode(QAbstractItemView::SingleSelection);
    lsvSendData->setMouseTracking(true);
    lsvSendData->setColumnWidth(0, 150);
    lsvSendData->setColumnWidth(1, 70);
    lsvSendData->setColumnWidth(2, 250);
    lsvSendData->setMinimumSize(490, 300);

    btnNew = MakeButton(this, "btnNew", tr("&New"));
    btnEdit = MakeButton(this, "btnEdit", tr("&Edit"));
    btnDelete = MakeButton(this, "btnDelete", tr("&Delete"));
    btnDeleteAll = MakeButton(this, "btnDeleteAll", tr("Delete  &All"));
    btnUp = MakeButton(this, "btnUp", tr("&Up"));
    btnDown = MakeButton(this, "btnDown", tr("Do&wn"));
    btnLoad = MakeButton(this, "btnLoad", tr("&Load"));
    btnSaveAs = MakeButton(this, "btnSaveAs", tr("&Save"));
    btnOK = MakeButton(this, "btnOK", tr("&OK"));
    btnOK->setDefault(true);
    btnCancel = MakeButton(this, "btnCancel", tr("&Cancel"));

    dlgLoad = MakeFileDialog(this, "dlgLoad", false, FileFilter(), "sds");
    dlgSave = MakeFileDialog(this, "dlgSave", true, FileFilter(), "sds");

    auto *buttons = new QVBoxLayout;
    for (QPushButton *button : {btnNew, btnEdit, btnDelete, btnDeleteAll, btnUp, btnDown, btnLoad, btnSaveAs})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(lsvSendData);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(lsvSendData, &QTreeWidget::itemSelectionChanged, this, &TfrmSendDataList::UpdateButtons);
    connect(lsvSendData, &QTreeWidget::itemDoubleClicked, this, &TfrmSendDataList::btnEditClick);
    connect(btnNew, &QPushButton::clicked, this, &TfrmSendDataList::btnNewClick);
    connect(btnEdit, &QPushButton::clicked, this, &TfrmSendDataList::btnEditClick);
    connect(btnDelete, &QPushButton::clicked, this, &TfrmSendDataList::btnDeleteClick);
    connect(btnDeleteAll, &QPushButton::clicked, this, &TfrmSendDataList::btnDeleteAllClick);
    connect(btnUp, &QPushButton::clicked, this, &TfrmSendDataList::btnUpClick);
    connect(btnDown, &QPushButton::clicked, this, &TfrmSendDataList::btnDownClick);
    connect(btnLoad, &QPushButton::clicked, this, &TfrmSendDataList::btnLoadClick);
    connect(btnSaveAs, &QPushButton::clicked, this, &TfrmSendDataList::btnSaveAsClick);
    connect(btnOK, &QPushButton::clicked, this, &TfrmSendDataList::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    try {
        m_list->Load(CSendDataList::DefaultPath());
    } catch (const std::exception &error) {
        ShowErrorBox(this, error);
    }
    RefillRows();
}

TfrmSendDataList::~TfrmSendDataList() = default;

int TfrmSendDataList::Count() const
{
    return m_list->Count();
}

const CCommData &TfrmSendDataList::At(int pos) const
{
    return m_list->At(pos);
}

void TfrmSendDataList::accept()
{
    try {
        m_list->Save(CSendDataList::DefaultPath());
    } catch (const std::exception &error) {
        // The old file is still whole; staying open lets the user keep the edits and try again.
        ShowErrorBox(this, error);
        return;
    }
    QDialog::accept();
}

void TfrmSendDataList::RefillRows()
{
    lsvSendData->clear();
    for (int pos = 0; pos < m_list->Count(); ++pos) {
        lsvSendData->addTopLevelItem(new QTreeWidgetItem);
        DrawRow(pos, pos == m_list->Count() - 1);
    }
    UpdateButtons();
}

void TfrmSendDataList::DrawRow(int pos, bool select)
{
    QTreeWidgetItem *row = lsvSendData->topLevelItem(pos);
    SetItemRow(row, m_list->At(pos));
    if (select) {
        lsvSendData->setCurrentItem(row);
        lsvSendData->scrollToItem(row);
    }
}

int TfrmSendDataList::SelectedRow() const
{
    return SingleSelectedRow(lsvSendData);
}

void TfrmSendDataList::UpdateButtons()
{
    const int selectedCount = static_cast<int>(lsvSendData->selectedItems().size());
    const int rows = lsvSendData->topLevelItemCount();
    const int row = SelectedRow();
    btnEdit->setEnabled(selectedCount > 0);
    btnDelete->setEnabled(selectedCount > 0);
    btnDeleteAll->setEnabled(rows > 0);
    btnUp->setEnabled(row > 0 && rows > 1);
    btnDown->setEnabled(row >= 0 && rows >= 2 && row < rows - 1);
}

void TfrmSendDataList::btnNewClick()
{
    CCommData item;
    if (!TfrmDataEdit::EditItem(this, item))
        return;
    m_list->Append(item);
    lsvSendData->addTopLevelItem(new QTreeWidgetItem);
    DrawRow(m_list->Count() - 1, true);
    UpdateButtons();
}

void TfrmSendDataList::btnEditClick()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    CCommData item = m_list->At(row);
    if (TfrmDataEdit::EditItem(this, item)) {
        m_list->Replace(row, item);
        DrawRow(row, true);
    }
    UpdateButtons();
}

void TfrmSendDataList::btnDeleteClick()
{
    const int row = SelectedRow();
    if (row < 0)
        return;
    m_list->Remove(row);
    delete lsvSendData->takeTopLevelItem(row);
    lsvSendData->clearSelection();
    const int rows = lsvSendData->topLevelItemCount();
    if (rows > 0) {
        QTreeWidgetItem *next = lsvSendData->topLevelItem(row < rows ? row : rows - 1);
        lsvSendData->setCurrentItem(next);
        lsvSendData->scrollToItem(next);
    }
    UpdateButtons();
}

void TfrmSendDataList::btnDeleteAllClick()
{
    m_list->RemoveAll();
    lsvSendData->clear();
    UpdateButtons();
}

void TfrmSendDataList::btnUpClick()
{
    const int row = SelectedRow();
    if (row < 1 || !m_list->MoveUp(row))
        return;
    DrawRow(row, true);
    DrawRow(row - 1, true);
    UpdateButtons();
}

void TfrmSendDataList::btnDownClick()
{
    const int row = SelectedRow();
    if (row < 0 || !m_list->MoveDown(row))
        return;
    DrawRow(row, true);
    DrawRow(row + 1, true);
    UpdateButtons();
}

void TfrmSendDataList::btnLoadClick()
{
    const QString path = RunFileDialog(dlgLoad);
    if (path.isEmpty())
        return;
    try {
        m_list->Load(path.toStdString());
    } catch (const std::exception &error) {
        ShowErrorBox(this, error);
    }
    RefillRows();
}

void TfrmSendDataList::btnSaveAsClick()
{
    const QString path = RunFileDialog(dlgSave);
    if (path.isEmpty())
        return;
    try {
        m_list->Save(path.toStdString());
    } catch (const std::exception &error) {
        ShowErrorBox(this, error);
    }
}
