#pragma once
// Edits one data item: its name, its format and its bytes as text in that format. In Str&Symbol
// the text is display only (symbols cannot be read back), so the bytes are held aside and the
// edit is read-only. In String, Enter breaks the line with CR LF.
#include "data/commdata.h"
#include "data/gui/shownbytes.h"
#include "data/symboltable.h"

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTextEdit;

class TfrmDataEdit : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmDataEdit(QWidget *owner);

    // What the user is told about Hex or Dec text that does not parse, here and wherever else
    // such text is typed.
    static constexpr const char *kWrongData = QT_TRANSLATE_NOOP("TfrmDataEdit", "Wrong data, please check");

    // Opens the editor modally on `item`; true, with `item` replaced by the edited one, when it
    // was confirmed.
    static bool EditItem(QWidget *owner, CCommData &item, bool lockName = false);

    // With `lockName` the name is shown but cannot be changed.
    void SetItem(const CCommData &item, bool lockName = false);
    // Text that does not parse in Hex or Dec reads back as an item without bytes (OK refuses it).
    CCommData Item() const;
    DATA_FORMAT CurrentFormat() const { return m_format; }

    // Refuses a name with a double quote in it, and Hex or Dec text that does not parse.
    void accept() override;

private:
    CCommData DialogItem() const;
    void ShowItem(const CCommData &item);
    void rdgFormatClick(int format);
    void ApplyFormatStates(DATA_FORMAT format);
    void btnInsertSymbolClick();
    void btnAppendChecksumClick();
    void InsertByte(uint8_t value);

    DATA_FORMAT m_format = FMT_STRING;
    CCommData m_symbolItem;
    // What the edit showed last: while the user has not touched the text it reads back as these
    // bytes, which a text round trip could not always give (a 0x00, a CR).
    CCommData m_shown;
    // The String form's text and the bytes behind it: an edit changes only the bytes typed over.
    CShownBytes m_shownText;
    CSymbolTable m_symbols;

    QLineEdit *edName;
    QTextEdit *edSendData;
    QGroupBox *rdgFormat;
    QButtonGroup *m_formatButtons;
    QPushButton *btnInsertSymbol;
    QPushButton *btnAppendChecksum;
    QPushButton *btnOK;
    QPushButton *btnCancel;
};
