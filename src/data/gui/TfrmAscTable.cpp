#include "data/gui/TfrmAscTable.h"

#include "data/gui/TfrmEditSymbol.h"
#include "data/gui/dialogsupport.h"
#include "data/gui/TListButtons.h"
#include "platform/gui/fixedfont.h"

#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
const char *const kSymbolFilter =
    QT_TRANSLATE_NOOP("TfrmAscTable", "Symbol File (*.sym)|*.sym|Text File(*.txt)|*.txt|All Files(*.*)|*.*");
}

TfrmAscTable::TfrmAscTable(QWidget *owner, bool insertMode) : QDialog(owner)
{
    setObjectName("frmAscTable");
    setWindowTitle(tr("ASCII Table"));

    lsvAscTable = MakeRowList(this, "lsvAscTable", {tr("No"), tr("Hex"), tr("ASCII"), tr("Symbol")});
    lsvAscTable->setUniformRowHeights(true);
    lsvAscTable->setSelectionMode(QAbstractItemView::SingleSelection);
    lsvAscTable->setFont(FixedWidthFont());
    lsvAscTable->setColumnWidth(0, 50);
    lsvAscTable->setColumnWidth(1, 80);
    lsvAscTable->setColumnWidth(2, 80);
    lsvAscTable->setColumnWidth(3, 80);
    lsvAscTable->setMinimumSize(320, 360);

    auto *buttonMaker = new TListButtons(this,
                                         {
                                             {&btnEditSymbol, tr("&Edit Symbol"), "btnEditSymbol"},
                                             {&btnLoad, tr("&Load ..."), "btnLoad"},
                                             {&btnSaveAs, tr("Save &As..."), "btnSaveAs"},
                                             {&btnOK, insertMode ? tr("&Insert") : tr("&OK"), "btnOK"},
                                             {&btnCancel, tr("&Cancel"), "btnCancel"},
                                         },
                                         true);
    btnOK->setDefault(true);

    dlgLoad = MakeFileDialog(this, "dlgLoad", false, tr(kSymbolFilter), "sym");
    dlgSave = MakeFileDialog(this, "dlgSave", true, tr(kSymbolFilter), "sym");

    QVBoxLayout *buttons =
        buttonMaker->Column({btnEditSymbol, btnLoad, btnSaveAs, nullptr, btnOK, btnCancel});
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(lsvAscTable);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnEditSymbol, &QPushButton::clicked, this, &TfrmAscTable::btnEditSymbolClick);
    connect(lsvAscTable, &QTreeWidget::itemDoubleClicked, this, &TfrmAscTable::btnEditSymbolClick);
    connect(btnLoad, &QPushButton::clicked, this, &TfrmAscTable::btnLoadClick);
    connect(btnSaveAs, &QPushButton::clicked, this, &TfrmAscTable::btnSaveAsClick);
    connect(btnOK, &QPushButton::clicked, this, &TfrmAscTable::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    m_table.ResetForDefaultFile();
    try {
        m_table.Load(CSymbolTable::DefaultPath());
    } catch (const std::exception &error) {
        ShowErrorBox(this, error);
    }
    FillRows();
}

void TfrmAscTable::FillRows()
{
    lsvAscTable->clear();
    for (int value = 0; value < CSymbolTable::kCount; ++value)
        lsvAscTable->addTopLevelItem(new QTreeWidgetItem);
    for (int value = 0; value < CSymbolTable::kCount; ++value)
        FillRow(value);
}

void TfrmAscTable::FillRow(int value)
{
    QTreeWidgetItem *row = lsvAscTable->topLevelItem(value);
    const ST_Symbol &entry = m_table.Entry(value);
    row->setText(0, QString::number(value));
    row->setText(1, QString::asprintf("%02X", value));
    row->setText(2, ByteGlyph(static_cast<uint8_t>(value)));
    row->setText(3, entry.UseSymbol && !entry.ShowNothing ? FromLatin1(entry.SymbolString) : QString());
}

int TfrmAscTable::SelectedRow() const
{
    const QList<QTreeWidgetItem *> selected = lsvAscTable->selectedItems();
    return selected.isEmpty() ? -1 : lsvAscTable->indexOfTopLevelItem(selected.first());
}

void TfrmAscTable::btnEditSymbolClick()
{
    const int value = SelectedRow();
    if (value < 0)
        return;
    TfrmEditSymbol editor(this);
    editor.SetByteValue(static_cast<uint8_t>(value));
    editor.LoadEntry(m_table.Entry(value));
    if (editor.exec() != QDialog::Accepted)
        return;
    m_table.SetEntry(value, editor.StoreEntry());
    FillRow(value);
}

void TfrmAscTable::btnLoadClick()
{
    const QString path = RunFileDialog(dlgLoad);
    if (path.isEmpty())
        return;
    try {
        m_table.Load(path.toStdString());
    } catch (const std::exception &error) {
        ShowErrorBox(this, error);
    }
    FillRows();
}

void TfrmAscTable::btnSaveAsClick()
{
    const QString path = RunFileDialog(dlgSave);
    if (path.isEmpty())
        return;
    try {
        m_table.Save(path.toStdString());
    } catch (const std::exception &error) {
        ShowErrorBox(this, error);
    }
}

void TfrmAscTable::btnOKClick()
{
    const int value = SelectedRow();
    if (value >= 0)
        m_picked = static_cast<uint8_t>(value);
    accept();
}

void TfrmAscTable::done(int result)
{
    try {
        m_table.Save(CSymbolTable::DefaultPath());
    } catch (const std::exception &error) {
        ShowErrorBox(this, error);
    }
    QDialog::done(result);
}
