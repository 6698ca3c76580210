#include "senddata/gui/TfrmDataEdit.h"

#include "data/checksum.h"
#include "data/datapattern.h"
#include "data/gui/TChecksumEdit.h"
#include "data/gui/TfrmAscTable.h"
#include "data/gui/dialogsupport.h"
#include "data/gui/shownbytes.h"
#include "data/gui/textkeys.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

// The Hex and Dec forms hold only digits and blanks: the plain characters are what counts.
std::string EditText(const QTextEdit *edit)
{
    QString text = CShownBytes::RawText(edit->document());
    text.replace(QChar::ParagraphSeparator, QChar('\n'));
    text.replace(QChar::LineSeparator, QChar('\n'));
    return ToLatin1(text);
}

bool Parses(const QTextEdit *edit, DATA_FORMAT format)
{
    return CCommData::TextConverts(EditText(edit), format);
}

} // namespace

TfrmDataEdit::TfrmDataEdit(QWidget *owner) : QDialog(owner)
{
    setObjectName("frmDataEdit");
    setWindowTitle(tr("Data Edit"));

    edName = Named(new QLineEdit(this), "edName");
    edSendData = Named(new QTextEdit(this), "edSendData");
    edSendData->setAcceptRichText(false);
    edSendData->setMinimumSize(420, 160);
    edSendData->setAccessibleName(tr("Data"));
    TypeTabWithCtrlI(edSendData);
    edSendData->setToolTip(tr("Tab moves on; Ctrl+I types a TAB"));

    rdgFormat = Named(new QGroupBox(tr("Format"), this), "rdgFormat");
    m_formatButtons = new QButtonGroup(this);
    auto *formatLayout = new QHBoxLayout(rdgFormat);
    const char *captions[] = {QT_TR_NOOP("&ASCII"), QT_TR_NOOP("&Hex"), QT_TR_NOOP("&Dec"),
                              QT_TR_NOOP("ASCII && &Symbol")};
    for (int i = 0; i < 4; ++i) {
        auto *button = new QRadioButton(tr(captions[i]), rdgFormat);
        button->setObjectName(QString("rdgFormat%1").arg(i));
        m_formatButtons->addButton(button, i);
        formatLayout->addWidget(button);
    }

    btnInsertSymbol = Named(new QPushButton(tr("&Insert Symbol"), this), "btnInsertSymbol");
    btnAppendChecksum = MakeButton(this, "btnAppendChecksum", tr("Append Chec&ksum"));
    btnAppendChecksum->setAccessibleName(tr("Append Checksum"));
    btnOK = MakeButton(this, "btnOK", tr("&OK"));
    btnOK->setDefault(true);
    btnCancel = MakeButton(this, "btnCancel", tr("&Cancel"));

    auto *nameRow = new QHBoxLayout;
    auto *nameLabel = new QLabel(tr("Name"), this);
    nameLabel->setBuddy(edName);
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(edName);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnInsertSymbol);
    buttons->addWidget(btnAppendChecksum);
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addWidget(edSendData);
    layout->addWidget(rdgFormat);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_formatButtons, &QButtonGroup::idClicked, this, &TfrmDataEdit::rdgFormatClick);
    connect(btnInsertSymbol, &QPushButton::clicked, this, &TfrmDataEdit::btnInsertSymbolClick);
    connect(btnAppendChecksum, &QPushButton::clicked, this, &TfrmDataEdit::btnAppendChecksumClick);
    connect(btnOK, &QPushButton::clicked, this, &TfrmDataEdit::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    m_symbols.ResetForDefaultFile();
    try {
        m_symbols.Load(CSymbolTable::DefaultPath());
    } catch (const std::exception &error) {
        ShowErrorBox(this, error);
    }

    SetItem(CCommData());
    edSendData->setFocus();
}

bool TfrmDataEdit::EditItem(QWidget *owner, CCommData &item, bool lockName)
{
    TfrmDataEdit editor(owner);
    editor.SetItem(item, lockName);
    if (editor.exec() != QDialog::Accepted)
        return false;
    item = editor.Item();
    return true;
}

void TfrmDataEdit::SetItem(const CCommData &item, bool lockName)
{
    m_format = item.GetFormat() <= FMT_STR_SYMBOL ? item.GetFormat() : DATA_FORMAT(FMT_STRING);
    if (m_format == FMT_STR_SYMBOL)
        m_symbolItem = item;
    CCommData shown = item;
    shown.SetFormat(m_format);
    ShowItem(shown);
    edName->setText(FromLatin1(item.GetName()));
    m_formatButtons->button(m_format)->setChecked(true);
    ApplyFormatStates(m_format);
    edName->setReadOnly(lockName);
    edName->setEnabled(!lockName);
}

CCommData TfrmDataEdit::Item() const
{
    CCommData item = DialogItem();
    item.SetFormat(m_format);
    item.SetName(ToLatin1(edName->text()));
    return item;
}

void TfrmDataEdit::accept()
{
    if (edName->text().contains('"')) {
        ShowMessage(this, tr("Wrong Name. There are should no \" in name"));
        return;
    }
    // Taken as it is, the text would become an item without bytes, which is then sent, logged and
    // counted as if it were data.
    if (!Parses(edSendData, m_format)) {
        ShowMessage(this, tr(kWrongData));
        return;
    }
    QDialog::accept();
}

CCommData TfrmDataEdit::DialogItem() const
{
    if (m_format == FMT_STR_SYMBOL)
        return m_symbolItem;
    if (!edSendData->document()->isModified())
        return m_shown;
    if (m_format == FMT_STRING)
        return CCommData(m_shownText.Read(CShownBytes::RawText(edSendData->document())), FMT_STRING);
    return CCommData(EditText(edSendData), m_format);
}

void TfrmDataEdit::ShowItem(const CCommData &item)
{
    edSendData->clear();
    const QTextCharFormat normal;
    edSendData->setCurrentCharFormat(normal);
    QTextCursor cursor(edSendData->document());
    switch (m_format) {
    case FMT_STR_SYMBOL: {
        QTextCharFormat symbol;
        symbol.setForeground(ToQColor(kPatternSymbol.Color));
        WriteSymbolText(cursor, item, m_symbols, symbol);
        break;
    }
    case FMT_STRING:
        cursor.insertText(m_shownText.Show(item.Data()));
        break;
    default:
        cursor.insertText(FromLatin1(item.ToText()));
        break;
    }
    edSendData->setCurrentCharFormat(normal);
    edSendData->document()->setModified(false);
    m_shown = item;
}

void TfrmDataEdit::ApplyFormatStates(DATA_FORMAT format)
{
    btnInsertSymbol->setEnabled(format != FMT_STR_SYMBOL);
    edSendData->setReadOnly(format == FMT_STR_SYMBOL);
}

void TfrmDataEdit::rdgFormatClick(int id)
{
    const auto newFormat = static_cast<DATA_FORMAT>(id);
    const DATA_FORMAT oldFormat = m_format;
    ApplyFormatStates(newFormat);
    if (oldFormat == FMT_HEX && newFormat == FMT_HEX)
        return;
    if (oldFormat == FMT_HEX && !Parses(edSendData, FMT_HEX)) {
        ShowMessage(this, tr(kWrongData));
        m_formatButtons->button(FMT_HEX)->setChecked(true);
        ApplyFormatStates(FMT_HEX);
        return;
    }
    CCommData chosen;
    if (newFormat == FMT_STR_SYMBOL) {
        m_symbolItem = DialogItem();
        chosen = m_symbolItem;
    } else if (oldFormat == FMT_STR_SYMBOL) {
        chosen = m_symbolItem;
    } else {
        chosen = DialogItem();
    }
    m_format = newFormat;
    chosen.SetFormat(newFormat);
    ShowItem(chosen);
}

void TfrmDataEdit::btnInsertSymbolClick()
{
    if (m_format == FMT_STR_SYMBOL)
        return;
    TfrmAscTable table(this, true);
    if (table.exec() != QDialog::Accepted)
        return;
    InsertByte(table.PickedValue());
}

// The checksum becomes part of the item's bytes, shown in the item's own format: the files keep
// items as they always did, and a send needs nothing added.
void TfrmDataEdit::btnAppendChecksumClick()
{
    if (m_format != FMT_STR_SYMBOL && !Parses(edSendData, m_format)) {
        ShowMessage(this, tr(kWrongData));
        return;
    }
    const std::optional<ST_ChecksumSpec> spec = TfrmChecksumSetting::AskForAppend(this);
    if (!spec)
        return;
    CCommData item = DialogItem();
    item.SetData(CChecksum(*spec).Append(item.Data()));
    item.SetFormat(m_format);
    if (m_format == FMT_STR_SYMBOL)
        m_symbolItem = item;
    ShowItem(item);
    edSendData->moveCursor(QTextCursor::End);
}

void TfrmDataEdit::InsertByte(uint8_t value)
{
    QString text;
    switch (m_format) {
    case FMT_STRING:
        if (value == 0)
            return;
        text = CShownBytes().Show(Bytes{value});
        break;
    case FMT_HEX:
        text = QString::asprintf("%02X ", value);
        break;
    case FMT_DEC:
        text = QString::asprintf("%u ", value);
        break;
    default:
        return;
    }
    edSendData->textCursor().insertText(text);
    edSendData->document()->setModified(true);
}
