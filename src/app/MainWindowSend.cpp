// Sending: the instant-send edit, the send-list panel and the one send routine all sends use.
#include "app/CommandGuard.h"
#include "app/MainWindow.h"
#include "data/datapattern.h"
#include "data/gui/dialogsupport.h"
#include "platform/appfolder.h"
#include "platform/clock.h"
#include "platform/textfile.h"
#include "senddata/gui/TfrmDataEdit.h"
#include "senddata/gui/TfrmSendDataList.h"
#include "senddata/senddatalist.h"

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

void TfrmMain::SendItem(const CCommData &item)
{
    if (!IsPortOpen())
        return;
    const bool onGuiThread = QThread::currentThread() == thread();
    const std::lock_guard<std::mutex> sending(m_sendLock);
    if (m_showSendData)
        PostPending({true, item, 0}, onGuiThread);
    const bool timed = m_autoSend.AutoSendState == AUTOSEND_RUNNING;
    if (timed)
        m_autoSend.MarkSendBegin(CSystemClock::Instance().NowMs());
    if (item.GetLength() > 0)
        WriteToPort(item.GetData(), item.GetLength());
    PostPending({false, CCommData(), item.GetLength()}, onGuiThread);
    if (timed)
        m_autoSend.MarkSendEnd(CSystemClock::Instance().NowMs());
}

void TfrmMain::PostPending(PendingSend entry, bool onGuiThread)
{
    {
        const std::lock_guard<std::mutex> guard(m_pendingLock);
        m_pending.push_back(std::move(entry));
    }
    if (onGuiThread)
        DrainPending();
    else
        QMetaObject::invokeMethod(this, &TfrmMain::DrainPending, Qt::QueuedConnection);
}

// Entries of every sender, in the order they were posted: a send from the GUI thread first
// writes out the lines of earlier sends from other threads.
void TfrmMain::DrainPending()
{
    for (;;) {
        PendingSend entry;
        {
            const std::lock_guard<std::mutex> guard(m_pendingLock);
            if (m_pending.empty())
                return;
            entry = std::move(m_pending.front());
            m_pending.pop_front();
        }
        if (entry.isLog) {
            LogSendData(entry.item);
        } else {
            m_sendBlocks += 1;
            m_sendBytes += entry.length;
            ui.panels[7]->setText(QStringLiteral("Send:%1/%2").arg(m_sendBytes).arg(m_sendBlocks));
        }
    }
}

CCommData TfrmMain::GetInstantItem() const
{
    if (m_currentType == FMT_STR_SYMBOL)
        return m_instantSymbolItem;
    CCommData item;
    if (!ui.edSendItem->document()->isModified() && m_shownInstant.GetFormat() != FMT_STR_SYMBOL) {
        item = CCommData(m_shownInstant.Data(), m_currentType);
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
        WriteSymbolText(cursor, item, m_symbols, symbol);
    } else {
        ui.edSendItem->insertPlainText(QString::fromLatin1(item.ToText()));
    }
    m_shownInstant = item;
    ui.edSendItem->document()->setModified(false);
    m_currentType = item.GetFormat();
    const QSignalBlocker quiet(ui.cboFormat);
    ui.cboFormat->setCurrentIndex(m_currentType < ui.cboFormat->count() ? m_currentType : -1);
}

void TfrmMain::cboFormatChange(int format)
{
    if (format < 0)
        return;
    CCommData item = GetInstantItem();
    m_currentType = static_cast<uint8_t>(format);
    item.SetFormat(m_currentType);
    SetInstantItem(item);
}

void TfrmMain::btnSendClick()
{
    SendInstantItem();
}

void TfrmMain::btnEditClick()
{
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
    if (row >= 0 && row < static_cast<int>(m_sendList.size()))
        SendItem(CCommData(m_sendList[static_cast<size_t>(row)]));
}

void TfrmMain::btnGoClick()
{
    const int row = SelectedRow();
    if (row < 0 || row >= static_cast<int>(m_sendList.size()))
        return;
    SendItem(CCommData(m_sendList[static_cast<size_t>(row)]));
    if (row + 1 < ui.lsvSendData->topLevelItemCount())
        ui.lsvSendData->setCurrentItem(ui.lsvSendData->topLevelItem(row + 1));
    if (const QList<QTreeWidgetItem *> rows = ui.lsvSendData->selectedItems(); !rows.isEmpty())
        ui.lsvSendData->scrollToItem(rows.first());
}

void TfrmMain::mnuCopyToInputClick()
{
    const int row = SelectedRow();
    if (row >= 0 && row < static_cast<int>(m_sendList.size()))
        SetInstantItem(m_sendList[static_cast<size_t>(row)]);
}

void TfrmMain::mnuSettingSendSettingClick()
{
    RunGuarded(this, [this] {
        {
            TfrmSendDataList dialog(this);
            dialog.exec();
        }
        m_sendList.clear();
        ui.lsvSendData->clear();
        LoadSendList(AppFilePath("Default.sds"));
    });
}

void TfrmMain::lsvSendDataChange()
{
    const bool enabled = IsPortOpen() && SelectedRow() >= 0;
    ui.btnGo->setEnabled(enabled);
    for (QAction *a : {ui.mnuSendAndGoNext, ui.popmnuSendAndGoNext, ui.mnuSendItem, ui.mnuOpSendItem})
        a->setEnabled(ui.btnGo->isEnabled());
}

bool TfrmMain::LoadSendList(const std::string &path)
{
    if (!FileExists(path))
        return false;
    CSendDataList list;
    list.Load(path);
    m_sendList.clear();
    ui.lsvSendData->clear();
    for (const CCommData &item : list.Items())
        AddSendListItem(item);
    UpdateControls();
    return true;
}

void TfrmMain::AddSendListItem(const CCommData &item)
{
    m_sendList.push_back(item);
    // Format and content come from the item, not split back out of its summary text, so a
    // double quote in the data cannot cut the content short.
    SetItemRow(new QTreeWidgetItem(ui.lsvSendData), item);
}
