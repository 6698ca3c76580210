#pragma once
// Edits one entry of the symbol table: whether the byte is shown as a symbol, and if so whether
// it is hidden or replaced by a string.
#include "data/symboltable.h"

#include <QDialog>
#include <cstdint>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TfrmEditSymbol : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmEditSymbol(QWidget *owner);

    void SetByteValue(uint8_t value);
    void LoadEntry(const ST_Symbol &entry);
    // The string is kept even while its edit is disabled.
    ST_Symbol StoreEntry() const;

private:
    void UpdateEnabling();

    QLabel *lbChar;
    QLabel *lbHexValue;
    QCheckBox *chkUseSymbol;
    QGroupBox *pnlSymbol;
    QRadioButton *rdShowNothing;
    QRadioButton *rdShowAsString;
    QLineEdit *edString;
    QPushButton *btnOK;
    QPushButton *btnCancel;
};
