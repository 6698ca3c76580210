#include "senddata/gui/TfrmSendDataList.h"

#include "data/gui/dialogsupport.h"
#include "data/gui/TListButtons.h"
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

    m_buttons =
        new TListButtons(this,
                         {
                             {&btnNew, tr("&New"), "btnNew"},
                             {&btnEdit, tr("&Edit"), "btnEdit", EListRole::Edit},
                             {&btnDelete, tr("&Delete"), "btnDelete", EListRole::Delete},
                             {&btnDeleteAll, tr("Delete  &All"), "btnDeleteAll", EListRole::DeleteAll},
                             {&btnUp, tr("&Up"), "btnUp", EListRole::Up},
                             {&btnDown, tr("Do&wn"), "btnDown", EListRole::Down},
                             {&btnLoad, tr("&Load"), "btnLoad"},
                             {&btnSaveAs, tr("&Save"), "btnSaveAs"},
                             {&btnOK, tr("&OK"), "btnOK"},
                             {&btnCancel, tr("&Cancel"), "btnCancel"},
                         },
                         false);
    btnOK->setDefault(true);

    dlgLoad = MakeFileDialog(this, "dlgLoad", false, FileFilter(), "sds");
    dlgSave = MakeFileDialog(this, "dlgSave", true, FileFilter(), "sds");

    QVBoxLayout *buttons = m_buttons->Column({btnNew, btnEdit, btnDelete, btnDeleteAll, btnUp, btnDown,
                                              btnLoad, btnSaveAs, nullptr, btnOK, btnCancel});
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(lsvSendData);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(lsvSendData, &QTreeWidget::itemSelectionChanged, this, &TfrmSendDataList::UpdateButtons);
    connect(lsvSendData, &QTreeWidget::itemDoubleClicked, this, &TfrmSendDataList::btnEditClick);
    connect(btnNew, &QPushButton::clicked, this, &TfrmSendDataList::btnNewClick);
    connect(btnEdit, &QPushButton::clicked, this, &TfrmSendDataList::btnEditClick);
    TListButtons::ST_Rows rows;
    rows.Swap = [this](int row, int other) {
        if (!(other < row ? m_list->MoveUp(row) : m_list->MoveDown(row)))
            return;
        DrawRow(row, false);
        DrawRow(other, true);
    };
    rows.Remove = [this](int row) {
        m_list->Remove(row);
        delete lsvSendData->takeTopLevelItem(row);
    };
    rows.RemoveAll = [this] {
        m_list->RemoveAll();
        lsvSendData->clear();
    };
    rows.Changed = [this] { UpdateButtons(); };
    m_buttons->SetRows(lsvSendData, std::move(rows));
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
    m_buttons->UpdateStates();
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
