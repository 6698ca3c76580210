// Instant sends with their line ending and checksum, and the recall of earlier instant sends with Up
// and Down.
#include "app/TSharedStore.h"
#include "mainwindow/MainWindowExtras.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TSendChecksum.h"

#include <QComboBox>
#include <QTextCursor>
#include <QTextEdit>

namespace {

Bytes LineEndingBytes(int choice)
{
    switch (choice) {
    case LINE_END_CR:
        return {0x0D};
    case LINE_END_LF:
        return {0x0A};
    case LINE_END_CRLF:
        return {0x0D, 0x0A};
    default:
        return {};
    }
}

} // namespace

Bytes TfrmMain::FinishInstantBytes(const CCommData &typed) const
{
    const Bytes ending =
        typed.GetFormat() == FMT_STRING ? LineEndingBytes(m_extras->cboLineEnding->currentIndex()) : Bytes();
    return m_sendChecksum->Finish(typed.Data(), ending);
}

// The history keeps what was typed, as it keeps it without the line ending: a recalled send goes
// out again with the ending and the checksum chosen then.
void TfrmMain::SendInstantItem()
{
    CCommData item = GetInstantItem();
    if (IsPortOpen() && item.GetLength() > 0)
        m_store->AddToHistory(item);
    Bytes bytes = FinishInstantBytes(item);
    if (bytes.size() != item.Data().size()) {
        CCommData finished(std::move(bytes), item.GetFormat());
        finished.SetName(item.GetName());
        item = finished;
    }
    SendItem(item);
}

// Up on the first line of the edit (Down on the last) steps through the history; elsewhere the
// keys move the cursor as usual.
bool TfrmMain::RecallHistory(bool older)
{
    TfrmMainExtras &x = *m_extras;
    QTextCursor probe = ui.edSendItem->textCursor();
    if (probe.movePosition(older ? QTextCursor::Up : QTextCursor::Down))
        return false;
    const std::optional<CCommData> item = older ? x.history.Older(GetInstantItem()) : x.history.Newer();
    if (!item)
        return false;
    SetInstantItem(*item);
    ui.edSendItem->moveCursor(QTextCursor::End);
    return true;
}
