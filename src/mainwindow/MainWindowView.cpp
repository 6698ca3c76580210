// The traffic log's view commands: display mode, time stamps, sent data, save, copy and clear.
#include "app/TSharedStore.h"
#include "data/gui/TfrmAscTable.h"
#include "data/gui/dialogsupport.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/TSessionBridge.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TRecvChecksum.h"
#include "platform/gui/commandguard.h"

#include <QAction>
#include <QFileDialog>
#include <QToolButton>

void TfrmMain::ConnectViewCommands()
{
    const struct
    {
        QToolButton *button;
        QAction *menu, *popup;
        int mode;
    } modes[] = {{ui.btnText, ui.mnuViewText, ui.mnuText, FMT_STRING},
                 {ui.btnHex, ui.mnuViewHex, ui.mnuHex, FMT_HEX},
                 {ui.btnDecimal, ui.mnuViewDecimal, ui.mnuDecimal, FMT_DEC},
                 {ui.btnTextSymbol, ui.mnuViewTextSymbol, ui.mnuTextSymbol, FMT_STR_SYMBOL}};
    for (const auto &m : modes) {
        const int mode = m.mode;
        connect(m.button, &QToolButton::clicked, this, [this, mode] { SetDisplayType(mode); });
        connect(m.menu, &QAction::triggered, this, [this, mode] { SetDisplayType(mode); });
        connect(m.popup, &QAction::triggered, this, [this, mode] { SetDisplayType(mode); });
    }
    connect(ui.btnShowTime, &QToolButton::clicked, this, &TfrmMain::ToggleShowTime);
    connect(ui.mnuViewShowTime, &QAction::triggered, this, &TfrmMain::ToggleShowTime);
    connect(ui.mnuShowTime, &QAction::triggered, this, &TfrmMain::ToggleShowTime);
    connect(ui.btnShowSendData, &QToolButton::clicked, this, &TfrmMain::ToggleShowSendData);
    connect(ui.mnuViewShowSendData, &QAction::triggered, this, &TfrmMain::ToggleShowSendData);
    connect(ui.mnuShowSendData, &QAction::triggered, this, &TfrmMain::ToggleShowSendData);

    connect(ui.btnClear, &QToolButton::clicked, this, &TfrmMain::btnClearClick);
    connect(ui.mnuViewClearDisplay, &QAction::triggered, this, &TfrmMain::btnClearClick);
    connect(ui.mnuClearDisplay, &QAction::triggered, this, &TfrmMain::btnClearClick);
    connect(ui.btnSave, &QToolButton::clicked, this, &TfrmMain::btnSaveClick);
    connect(ui.mnuFileSave, &QAction::triggered, this, &TfrmMain::btnSaveClick);
    connect(ui.btnCopy, &QToolButton::clicked, this, &TfrmMain::btnCopyClick);
    connect(ui.mnuCopytoClipboard, &QAction::triggered, this, &TfrmMain::btnCopyClick);

    connect(ui.mnuViewAsciiTable, &QAction::triggered, this, [this] {
        RunGuarded(this, [this] {
            {
                TfrmAscTable table(this, false);
                table.exec();
            }
            ReloadSymbols();
        });
    });
}

void TfrmMain::SetDisplayType(int type)
{
    m_curDisplayType = type;
    UpdateViewState();
}

void TfrmMain::ToggleShowTime()
{
    m_showTime = !m_showTime;
    UpdateViewState();
}

void TfrmMain::ToggleShowSendData()
{
    m_bridge->SetLogsSends(!ShowSendData());
    UpdateViewState();
}

// Each button follows its context-menu twin, which follows the main-menu item.
void TfrmMain::UpdateViewState()
{
    const struct
    {
        QAction *menu, *popup;
        QToolButton *button;
        bool on;
    } chains[] = {
        {ui.mnuViewText, ui.mnuText, ui.btnText, m_curDisplayType == FMT_STRING},
        {ui.mnuViewHex, ui.mnuHex, ui.btnHex, m_curDisplayType == FMT_HEX},
        {ui.mnuViewDecimal, ui.mnuDecimal, ui.btnDecimal, m_curDisplayType == FMT_DEC},
        {ui.mnuViewTextSymbol, ui.mnuTextSymbol, ui.btnTextSymbol, m_curDisplayType == FMT_STR_SYMBOL},
        {ui.mnuViewShowTime, ui.mnuShowTime, ui.btnShowTime, m_showTime},
        {ui.mnuViewShowSendData, ui.mnuShowSendData, ui.btnShowSendData, ShowSendData()}};
    ui.edData->SetDisplayType(m_curDisplayType);
    ui.edData->SetShowTime(m_showTime || ExtraStamps());
    for (const auto &c : chains) {
        c.menu->setChecked(c.on);
        c.popup->setChecked(c.menu->isChecked());
        c.button->setChecked(c.popup->isChecked());
    }
}

void TfrmMain::LogRecData(const CCommData &item, int64_t ageMs)
{
    m_recvChecksum->Check(item);
    ui.edData->LogRecData(item, ageMs);
}

bool TfrmMain::ShowSendData() const
{
    return m_bridge->LogsSends();
}

void TfrmMain::LogSendData(const CCommData &item)
{
    ui.edData->LogSendData(item);
}


void TfrmMain::btnClearClick()
{
    ui.edData->Clear();
}

void TfrmMain::btnCopyClick()
{
    ui.edData->CopyToClipboard();
}

void TfrmMain::btnSaveClick()
{
    QFileDialog dlgSave(this);
    dlgSave.setObjectName(QStringLiteral("dlgSave"));
    dlgSave.setAcceptMode(QFileDialog::AcceptSave);
    dlgSave.setOption(QFileDialog::DontUseNativeDialog);
    // Qt reads a filter's patterns from between its parentheses, so the text entry's
    // description carries its closing parenthesis.
    dlgSave.setNameFilters({QStringLiteral("Log file(*.log)"), QStringLiteral("Text file(*.txt)")});
    dlgSave.setDefaultSuffix(QStringLiteral("log"));
    dlgSave.setDirectory(UserFilesFolder());
    if (dlgSave.exec() != QDialog::Accepted || dlgSave.selectedFiles().isEmpty())
        return;
    const std::string path = dlgSave.selectedFiles().first().toLocal8Bit().toStdString();
    RunGuarded(this, [this, &path] { ui.edData->SaveToFile(path); });
}
