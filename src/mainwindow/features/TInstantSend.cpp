#include "mainwindow/features/TInstantSend.h"
#include "data/datapattern.h"
#include "data/gui/dialogsupport.h"
#include "data/gui/textkeys.h"
#include "mainwindow/features/TSendChecksum.h"
#include "platform/gui/settingvalue.h"
#include "senddata/gui/TfrmDataEdit.h"
#include "shell/TFeatureServices.h"
#include "shell/TSharedStore.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextEdit>

namespace {

const TSettingValue<int> kLineEnding("LineEnding", 0);

// Line endings offered for instant sends in STRING format, in the order of cboLineEnding.
enum : int { kEndNone = 0, kEndCr = 1, kEndLf = 2, kEndCrLf = 3 };

Bytes LineEndingBytes(int choice)
{
    switch (choice) {
    case kEndCr:
        return {0x0D};
    case kEndLf:
        return {0x0A};
    case kEndCrLf:
        return {0x0D, 0x0A};
    default:
        return {};
    }
}

} // namespace

TInstantSend::TInstantSend(QWidget *window, const ST_Controls &controls, TSharedStore &store,
                           TFeatureServices &services, std::function<void(const CCommData &)> send,
                           std::function<bool()> portOpen, std::function<void(const QString &)> showMessage)
    : QObject(window), m_window(window), m_c(controls), m_store(store), m_send(std::move(send)),
      m_portOpen(std::move(portOpen)), m_showMessage(std::move(showMessage)), m_history(store.History())
{
    connect(&services, &TFeatureServices::Utf8Changed, this, &TInstantSend::SetUtf8);
    TypeTabWithCtrlI(m_c.edSendItem);
    m_c.edSendItem->setToolTip(
        tr("Enter sends; Up and Down recall earlier sends; Tab moves on; Ctrl+I types a TAB"));
    m_c.edSendItem->installEventFilter(this);
    connect(m_c.btnSend, &QPushButton::clicked, this, &TInstantSend::SendClicked);
    connect(m_c.btnEdit, &QPushButton::clicked, this, &TInstantSend::EditClicked);
    connect(m_c.cboFormat, &QComboBox::currentIndexChanged, this, &TInstantSend::FormatChosen);

    // Line ending, beside the format.
    QWidget *tools = m_c.cboFormat->parentWidget();
    m_lineEnding = new QComboBox(tools);
    m_lineEnding->setObjectName(QStringLiteral("cboLineEnding"));
    m_lineEnding->setAccessibleName(tr("Line ending"));
    m_lineEnding->setToolTip(tr("Line ending added to instant sends in STRING format"));
    m_lineEnding->addItems({tr("None"), QStringLiteral("CR"), QStringLiteral("LF"), QStringLiteral("CR LF")});
    tools->layout()->addWidget(m_lineEnding);
    // Made after the line ending, which comes before it in the focus order.
    m_checksum = new TSendChecksum(window, m_c.edSendItem, m_c.cboFormat,
                                   {[this] { return RefuseUnparsedText(); }, [this] { return Item(); },
                                    [this](const CCommData &item) { SetItem(item); }});
}

CCommData TInstantSend::Item() const
{
    if (m_format == FMT_STR_SYMBOL)
        return m_symbolItem;
    CCommData item;
    if (!m_c.edSendItem->document()->isModified() && m_shown.GetFormat() != FMT_STR_SYMBOL) {
        item = CCommData(m_shown.Data(), m_format);
    } else if (m_format == FMT_STRING) {
        item = CCommData(m_shownText.Read(CShownBytes::RawText(m_c.edSendItem->document())), FMT_STRING);
    } else {
        item = CCommData(m_c.edSendItem->toPlainText().toLatin1().toStdString(), m_format);
    }
    item.SetName("Input Instance");
    return item;
}

void TInstantSend::SetItem(const CCommData &item)
{
    QTextEdit *edit = m_c.edSendItem;
    const bool symbols = item.GetFormat() == FMT_STR_SYMBOL;
    edit->setReadOnly(symbols);
    edit->clear();
    if (symbols) {
        m_symbolItem = item;
        QTextCursor cursor(edit->document());
        QTextCharFormat symbol = cursor.charFormat();
        symbol.setForeground(ToQColor(kPatternSymbol.Color));
        WriteSymbolText(cursor, item, m_store.Symbols(), symbol);
    } else if (item.GetFormat() == FMT_STRING) {
        QTextCursor(edit->document()).insertText(m_shownText.Show(item.Data()));
    } else {
        edit->insertPlainText(QString::fromLatin1(item.ToText()));
    }
    m_shown = item;
    edit->document()->setModified(false);
    SetFormat(item.GetFormat());
}

void TInstantSend::SetFormat(uint8_t format)
{
    m_format = format;
    const QSignalBlocker quiet(m_c.cboFormat);
    m_c.cboFormat->setCurrentIndex(m_format < m_c.cboFormat->count() ? m_format : -1);
}

void TInstantSend::SetUtf8(bool on)
{
    const CCommData item = Item();
    m_shownText.SetUtf8(on);
    if (m_format == FMT_STRING)
        SetItem(item);
}

void TInstantSend::HistoryChanged()
{
    // Each window steps through the one history on its own; a send from any window ends a
    // recall, as a send from this one always did.
    m_history = m_store.History();
}

void TInstantSend::UpdateControls()
{
    m_c.btnSend->setEnabled(m_portOpen());
}

bool TInstantSend::RefuseUnparsedText()
{
    QTextEdit *edit = m_c.edSendItem;
    // Read as it stands it would be an item without bytes: sent, it would be logged and counted as
    // a send that never happened.
    if (!edit->document()->isModified() ||
        CCommData::TextConverts(edit->toPlainText().toLatin1().toStdString(), m_format))
        return false;
    m_showMessage(QCoreApplication::translate("TfrmDataEdit", TfrmDataEdit::kWrongData));
    edit->setFocus();
    return true;
}

void TInstantSend::FormatChosen(int format)
{
    if (format < 0)
        return;
    if (RefuseUnparsedText()) {
        const QSignalBlocker quiet(m_c.cboFormat);
        m_c.cboFormat->setCurrentIndex(m_format);
        return;
    }
    CCommData item = Item();
    m_format = static_cast<uint8_t>(format);
    item.SetFormat(m_format);
    SetItem(item);
}

void TInstantSend::SendClicked()
{
    if (!RefuseUnparsedText())
        SendTyped();
}

void TInstantSend::EditClicked()
{
    if (RefuseUnparsedText())
        return;
    CCommData item = Item();
    if (TfrmDataEdit::EditItem(m_window, item, true))
        SetItem(item);
}

void TInstantSend::SendTyped()
{
    CCommData item = Item();
    if (m_portOpen() && item.GetLength() > 0)
        m_store.AddToHistory(item);
    const Bytes ending =
        item.GetFormat() == FMT_STRING ? LineEndingBytes(m_lineEnding->currentIndex()) : Bytes();
    Bytes bytes = m_checksum->Finish(item.Data(), ending);
    if (bytes.size() != item.Data().size()) {
        CCommData finished(std::move(bytes), item.GetFormat());
        finished.SetName(item.GetName());
        item = finished;
    }
    m_send(item);
}

bool TInstantSend::Recall(bool older)
{
    QTextCursor probe = m_c.edSendItem->textCursor();
    if (probe.movePosition(older ? QTextCursor::Up : QTextCursor::Down))
        return false;
    const std::optional<CCommData> item = older ? m_history.Older(Item()) : m_history.Newer();
    if (!item)
        return false;
    SetItem(*item);
    m_c.edSendItem->moveCursor(QTextCursor::End);
    return true;
}

// Enter in the edit sends instead of breaking the line.
bool TInstantSend::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_c.edSendItem && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            SendClicked();
            return true;
        }
        if ((key == Qt::Key_Up || key == Qt::Key_Down) && Recall(key == Qt::Key_Up))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

void TInstantSend::LoadLineEnding(const QSettings &settings)
{
    const int ending = kLineEnding.Read(settings);
    m_lineEnding->setCurrentIndex(ending >= 0 && ending < m_lineEnding->count() ? ending : 0);
}

void TInstantSend::SaveLineEnding(QSettings &settings) const
{
    kLineEnding.Write(settings, m_lineEnding->currentIndex());
}
