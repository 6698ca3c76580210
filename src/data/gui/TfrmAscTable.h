#pragma once
// The byte values 0-127 with their symbols. In insert mode the OK button reads "&Insert" and the
// caller reads PickedValue() afterwards. Every close, whichever way, writes the table to
// "Default.sym": Cancel does not undo symbol edits.
#include "data/symboltable.h"

#include <QDialog>
#include <cstdint>

class QFileDialog;
class QPushButton;
class QTreeWidget;

class TfrmAscTable : public QDialog
{
    Q_OBJECT
public:
    TfrmAscTable(QWidget *owner, bool insertMode);

    // The row selected when OK was pressed; 0 when none was.
    uint8_t PickedValue() const { return m_picked; }
    const CSymbolTable &Table() const { return m_table; }

    void done(int result) override;

private:
    void FillRows();
    void FillRow(int value);
    int SelectedRow() const;

    void btnEditSymbolClick();
    void btnLoadClick();
    void btnSaveAsClick();
    void btnOKClick();

    CSymbolTable m_table;
    uint8_t m_picked = 0;

    QTreeWidget *lsvAscTable;
    QPushButton *btnEditSymbol;
    QPushButton *btnLoad;
    QPushButton *btnSaveAs;
    QPushButton *btnOK;
    QPushButton *btnCancel;
    QFileDialog *dlgLoad;
    QFileDialog *dlgSave;
};
