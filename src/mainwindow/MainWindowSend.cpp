// Sending: the instant-send edit, the send-list panel and the one send routine all sends use.
#include "app/TSharedStore.h"
#include "data/datapattern.h"
#include "data/gui/dialogsupport.h"
#include "data/gui/shownbytes.h"
#include "mainwindow/TfrmMain.h"
#include "platform/appfolder.h"
#include "platform/clock.h"
#include "platform/diaglog.h"
#include "platform/gui/commandguard.h"
#include "senddata/gui/TfrmDataEdit.h"
#include "senddata/gui/TfrmSendDataList.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextEdit>
#include <QThread>
#include <QToolButton>
#include <QTreeWidget>

void TfrmMain::ConnectSendCommands()
{
    ui.edSendItem->installEventFilter(this);
    connect(ui.btnSend, &QPushButton::clicked, this, &TfrmMain::btnSendClick);
    connect(ui.btnEdit, &QPushButton::clicked, this, &TfrmMain::btnEditClick);
    connect(ui.cboFormat, &QComboBox::currentIndexChanged, this, &TfrmMain::cboFormatChange);

    connect(ui.lsvSendData, &QTreeWidget::itemDoubleClicked, this, &TfrmMain::SendCurrent);
    connect(ui.lsvSendData, &QTreeWidget::itemSelectionChanged, this, &TfrmMain::lsvSendDataChange);
    connect(ui.mnuOpSendItem, &QAction::triggered, this, &TfrmMain::SendCurrent);
    connect(ui.mnuSendItem, &QAction::triggered, this, &TfrmMain::SendCurrent);
    connect(ui.btnGo, &QToolButton::clicked, this, &TfrmMain::btnGoClick);
    connect(ui.mnuSendAndGoNext, &QAction::triggered, this, &TfrmMain::btnGoClick);
    connect(ui.popmnuSendAndGoNext, &QAction::triggered, this, &TfrmMain::btnGoClick);
    connect(ui.mnuCopyToInput, &QAction::triggered, this, &TfrmMain::mnuCopyToInputClick);
    connect(ui.mnuSettingSendSetting, &QAction::triggered, this, &TfrmMain::mnuSettingSendSettingClick);
    connect(ui.mnuSendDataSetting, &QAction::triggered, this, &TfrmMain::mnuSettingSendSettingClick);
}

namespace {

// Typed Hex or Dec text that does not parse. Read as it stands it would be an item without
// bytes: sent, it would be logged and counted as a send that never happened.
bool UnparsedText(const QTextEdit *edit, uint8_t format)
{
    return edit->document()->isModified() &&
           !CCommData::TextConverts(edit->toPlainText().toLatin1().toStdString(), format);
}

} // namespace

// The session queues a send from the GUI thread and returns; the engine's sends go to the
// session directly and wait there for the line.
void TfrmMain::SendItem(const CCommData &item)
{
    const CPortSession::ESend sent = m_session->Send(item);
    if (QThread::currentThread() != thread())
        return;
    if (sent == CPortSession::ESend::Refused)
        ShowMessage(QStringLiteral("The port is not taking data; the send was not queued."));
    else if (sent == CPortSession::ESend::Transferring)
        ShowMessage(QStringLiteral("A file is being sent; the send was not queued."));
}

void TfrmMain::SessionSendWaiting()
{
    ShowSendNote(QStringLiteral("waiting for the line (Close Port abandons the send)"));
}

// Logs only what went out. A failure is told once: a manual send in a message box (one box for a
// run of failing sends), an auto send in the status bar and the diagnostic log. A send the user
// abandoned (Stop, Close Port) or one that found the port closed is no failure; one cut short by
// a lost port is.
void TfrmMain::SessionSendDone(const ST_SendReport &report)
{
    const ST_SendOutcome &outcome = report.Outcome;
    const bool whole = outcome.Whole();
    if (whole || outcome.Written > 0) {
        if (report.Logged) {
            CCommData sent = report.Item;
            if (!whole)
                sent.SetData(Bytes(sent.Data().begin(), sent.Data().begin() + outcome.Written));
            LogSendData(sent);
        }
        ShowSendCount();
        ui.panels[7]->setToolTip(QString());
    }
    if (whole) {
        if (report.Auto)
            m_autoFaultNoted = false;
    } else {
        ReportSendFault(report);
    }
    if (report.Settled)
        m_manualFaultNoted = false;
}

void TfrmMain::ReportSendFault(const ST_SendReport &report)
{
    const ST_SendOutcome &outcome = report.Outcome;
    const QString what =
        QStringLiteral("%1 of %2 bytes sent").arg(outcome.Written).arg(report.Item.GetLength());
    const bool cut = outcome.Cancelled || outcome.Code == ERROR_INVALID_HANDLE;
    if (cut && !report.PortLost) {
        ShowSendNote(QStringLiteral("send abandoned, ") + what);
        return;
    }
    const QString reason = cut ? QStringLiteral("the port was lost")
                               : QString::fromLocal8Bit(SerialErrorText(outcome.Code, false));
    const QString detail = what + QStringLiteral(": ") + reason;
    if (report.Auto) {
        NoteAutoSendFault(QStringLiteral("send failed, ") + detail);
        return;
    }
    ShowSendNote(QStringLiteral("send failed, ") + detail);
    if (!m_manualFaultNoted) {
        m_manualFaultNoted = true;
        ShowMessage(QStringLiteral("Send failed, ") + detail);
    }
}

// The note follows the counters in the send panel; the next counted send replaces it.
void TfrmMain::ShowSendNote(const QString &note)
{
    const QString base = ui.panels[7]->text().section(QLatin1String(kStatusNoteSeparator), 0, 0);
    ui.panels[7]->setText(base + QLatin1String(kStatusNoteSeparator) + note);
    ui.panels[7]->setToolTip(note);
}

void TfrmMain::NoteAutoSendFault(const QString &what)
{
    if (m_autoFaultNoted)
        return;
    m_autoFaultNoted = true;
    AppendLogFormatted(DiagLogPath(), "TfrmMain::SendItem - Auto send: %s", what.toLocal8Bit().constData());
    ShowSendNote(QStringLiteral("auto send: ") + what);
}

CCommData TfrmMain::GetInstantItem() const
{
    if (m_currentType == FMT_STR_SYMBOL)
        return m_instantSymbolItem;
    CCommData item;
    if (!ui.edSendItem->document()->isModified() && m_shownInstant.GetFormat() != FMT_STR_SYMBOL) {
        item = CCommData(m_shownInstant.Data(), m_currentType);
    } else if (m_currentType == FMT_STRING) {
        item =
            CCommData(m_shownInstantText.Read(CShownBytes::RawText(ui.edSendItem->document())), FMT_STRING);
    } else {
        item = CCommData(ui.edSendItem->toPlainText().toLatin1().toStdString(), m_currentType);
    }
    item.SetName("Input Instance");
    return item;
}

void TfrmMain::SetInstantItem(const CCommData &item)
{
    const bool symbols = item.GetFormat() == FMT_STR_SYMBOL;
    ui.edSendItem->setReadOnly(symbols);
    ui.edSendItem->clear();
    if (symbols) {
        m_instantSymbolItem = item;
        QTextCursor cursor(ui.edSendItem->document());
        QTextCharFormat symbol = cursor.charFormat();
        symbol.setForeground(ToQColor(kPatternSymbol.Color));
        WriteSymbolText(cursor, item, Symbols(), symbol);
    } else if (item.GetFormat() == FMT_STRING) {
        QTextCursor(ui.edSendItem->document()).insertText(m_shownInstantText.Show(item.Data()));
    } else {
        ui.edSendItem->insertPlainText(QString::fromLatin1(item.ToText()));
    }
    m_shownInstant = item;
    ui.edSendItem->document()->setModified(false);
    m_currentType = item.GetFormat();
    const QSignalBlocker quiet(ui.cboFormat);
    ui.cboFormat->setCurrentIndex(m_currentType < ui.cboFormat->count() ? m_currentType : -1);
}

// The text stays as typed for the user to correct: sending, editing or showing it in another
// format would each turn it into an empty item first.
bool TfrmMain::RefuseUnparsedInstantText()
{
    if (!UnparsedText(ui.edSendItem, m_currentType))
        return false;
    ShowMessage(QString::fromLatin1(TfrmDataEdit::kWrongData));
    ui.edSendItem->setFocus();
    return true;
}

void TfrmMain::cboFormatChange(int format)
{
    if (format < 0)
        return;
    if (RefuseUnparsedInstantText()) {
        const QSignalBlocker quiet(ui.cboFormat);
        ui.cboFormat->setCurrentIndex(m_currentType);
        return;
    }
    CCommData item = GetInstantItem();
    m_currentType = static_cast<uint8_t>(format);
    item.SetFormat(m_currentType);
    SetInstantItem(item);
}

void TfrmMain::btnSendClick()
{
    if (!RefuseUnparsedInstantText())
        SendInstantItem();
}

void TfrmMain::btnEditClick()
{
    if (RefuseUnparsedInstantText())
        return;
    CCommData item = GetInstantItem();
    if (TfrmDataEdit::EditItem(this, item, true))
        SetInstantItem(item);
}

int TfrmMain::SelectedRow() const
{
    const QList<QTreeWidgetItem *> rows = ui.lsvSendData->selectedItems();
    if (rows.size() != 1)
        return -1;
    return ui.lsvSendData->indexOfTopLevelItem(rows.first());
}

void TfrmMain::SendCurrent()
{
    const int row = SelectedRow();
    if (row >= 0 && row < static_cast<int>(SendListItems().size()))
        SendItem(CCommData(SendListItems()[static_cast<size_t>(row)]));
}

void TfrmMain::btnGoClick()
{
    const int row = SelectedRow();
    if (row < 0 || row >= static_cast<int>(SendListItems().size()))
        return;
    SendItem(CCommData(SendListItems()[static_cast<size_t>(row)]));
    if (row + 1 < ui.lsvSendData->topLevelItemCount())
        ui.lsvSendData->setCurrentItem(ui.lsvSendData->topLevelItem(row + 1));
    if (const QList<QTreeWidgetItem *> rows = ui.lsvSendData->selectedItems(); !rows.isEmpty())
        ui.lsvSendData->scrollToItem(rows.first());
}

void TfrmMain::mnuCopyToInputClick()
{
    const int row = SelectedRow();
    if (row >= 0 && row < static_cast<int>(SendListItems().size()))
        SetInstantItem(SendListItems()[static_cast<size_t>(row)]);
}

void TfrmMain::mnuSettingSendSettingClick()
{
    RunGuarded(this, [this] {
        {
            TfrmSendDataList dialog(this);
            dialog.exec();
        }
        m_store->ReloadSendList();
    });
}

void TfrmMain::lsvSendDataChange()
{
    const bool enabled = IsPortOpen() && SelectedRow() >= 0;
    ui.btnGo->setEnabled(enabled);
    for (QAction *a : {ui.mnuSendAndGoNext, ui.popmnuSendAndGoNext, ui.mnuSendItem, ui.mnuOpSendItem})
        a->setEnabled(ui.btnGo->isEnabled());
}

// The list is the one all windows share: each of them shows the change.
bool TfrmMain::LoadSendList(const std::string &path)
{
    return m_store->LoadSendList(path);
}

void TfrmMain::AddSendListItem(const CCommData &item)
{
    m_store->AddSendListItem(item);
}
