// Instant sends with a line ending, and the recall of earlier instant sends with Up and Down.
#include "app/MainWindow.h"
#include "app/MainWindowExtras.h"
#include "app/SharedStore.h"

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

void TfrmMain::SendInstantItem()
{
    TfrmMainExtras &x = *m_extras;
    CCommData item = GetInstantItem();
    if (IsPortOpen() && item.GetLength() > 0)
        m_store->AddToHistory(item);
    if (item.GetFormat() == FMT_STRING) {
        const Bytes ending = LineEndingBytes(x.cboLineEnding->currentIndex());
        if (!ending.empty()) {
            Bytes bytes = item.Data();
            bytes.insert(bytes.end(), ending.begin(), ending.end());
            CCommData ended(std::move(bytes), FMT_STRING);
            ended.SetName(item.GetName());
            item = ended;
        }
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
