// The traffic log's calls: what the log view feature keeps, and the log itself.
#include "app/TSharedStore.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TLogViewCommands.h"
#include "mainwindow/features/TRecvChecksum.h"

void TfrmMain::UpdateViewState()
{
    m_logView->UpdateViewState();
}

int TfrmMain::CurDisplayType() const
{
    return m_logView->CurDisplayType();
}

bool TfrmMain::ShowTime() const
{
    return m_logView->ShowTime();
}

bool TfrmMain::ShowSendData() const
{
    return m_logView->ShowSendData();
}

void TfrmMain::LogRecData(const CCommData &item, int64_t ageMs)
{
    m_recvChecksum->Check(item);
    ui.edData->LogRecData(item, ageMs);
}

void TfrmMain::LogSendData(const CCommData &item)
{
    ui.edData->LogSendData(item);
}

// The table is the one all windows share: each of them shows it.
void TfrmMain::ReloadSymbols()
{
    m_store->ReloadSymbols();
}
