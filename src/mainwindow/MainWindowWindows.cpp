// What makes a main window one of several: its own files and settings group, the lists it shares
// with the others, and a title that tells it apart from them.
#include "app/TSharedStore.h"
#include "data/gui/dialogsupport.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/MainWindowExtras.h"
#include "mainwindow/TfrmMain.h"
#include "platform/appfolder.h"
#include "platform/gui/commandguard.h"
#include "platform/textfile.h"

#include <QTreeWidget>

namespace {

// "Default.ass" for the first window, "Default-n.ass" for window n.
std::string NumberedFile(int number, const char *stem, const char *extension)
{
    std::string name = stem;
    if (number > 1)
        name += "-" + std::to_string(number);
    return AppFilePath(name + extension);
}

} // namespace

std::string TfrmMain::RuleFilePath() const
{
    return NumberedFile(m_number, "Default", ".ass");
}

std::string TfrmMain::RecDataFilePath() const
{
    return NumberedFile(m_number, "TempRec", ".tmp");
}

QString TfrmMain::SettingsGroup() const
{
    return m_number > 1 ? QStringLiteral("Window%1").arg(m_number) : QString();
}

void TfrmMain::PrepareRuleFile()
{
    if (m_number <= 1)
        return;
    RunGuarded(this, [this] {
        std::string rules;
        if (!FileExists(RuleFilePath()) && ReadWholeFile(AppFilePath("Default.ass"), rules))
            WriteFileAtomic(RuleFilePath(), rules);
    });
}

const CSymbolTable &TfrmMain::Symbols() const
{
    return m_store->Symbols();
}

const std::vector<CCommData> &TfrmMain::SendListItems() const
{
    return m_store->SendList();
}

void TfrmMain::ConnectStore()
{
    connect(m_store.get(), &TSharedStore::SendListChanged, this, &TfrmMain::FillSendList);
    connect(m_store.get(), &TSharedStore::SendListItemAdded, this, &TfrmMain::AppendSendListRow);
    connect(m_store.get(), &TSharedStore::SymbolsChanged, this, &TfrmMain::ShowSymbols);
    connect(m_store.get(), &TSharedStore::HistoryChanged, this, [this] {
        // Each window steps through the one history on its own; a send from any window ends a
        // recall, as a send from this one always did.
        if (m_extras)
            m_extras->history = m_store->History();
    });
}

void TfrmMain::FillSendList()
{
    ui.lsvSendData->clear();
    for (const CCommData &item : m_store->SendList())
        SetItemRow(new QTreeWidgetItem(ui.lsvSendData), item);
    UpdateControls();
}

void TfrmMain::AppendSendListRow(const CCommData &item)
{
    // Format and content come from the item, not split back out of its summary text, so a
    // double quote in the data cannot cut the content short.
    SetItemRow(new QTreeWidgetItem(ui.lsvSendData), item);
}

void TfrmMain::ShowSymbols()
{
    ui.edData->SetSymbolTable(m_store->Symbols());
}

void TfrmMain::ShowTitle(const COM_PORT_SETTING &link)
{
    QString title = QStringLiteral("Kestrum");
    if (!link.PortName.empty()) {
        const QString port = QString::fromLatin1(link.PortName);
        title += QStringLiteral(" - ") + (link.LinkName.empty()
                                              ? port
                                              : QString::fromLatin1(link.LinkName) + QStringLiteral(" (") +
                                                    port + QStringLiteral(")"));
    } else if (m_number > 1) {
        title += QStringLiteral(" - Window %1").arg(m_number);
    }
    setWindowTitle(title);
}
