#include "shell/TSharedStore.h"

#include "platform/appfolder.h"
#include "platform/errors.h"
#include "platform/textfile.h"
#include "senddata/senddatalist.h"

namespace {

std::string HistoryPath()
{
    return AppFilePath("History.sds");
}

} // namespace

TSharedStore::TSharedStore() = default;

TSharedStore::~TSharedStore()
{
    m_historyWriter.Wait();
}

bool TSharedStore::FirstUse()
{
    const bool first = !m_used;
    m_used = true;
    return first;
}

bool TSharedStore::LoadSendList(const std::string &path)
{
    if (!FileExists(path))
        return false;
    CSendDataList list;
    list.Load(path);
    m_sendList = list.Items();
    emit SendListChanged();
    return true;
}

void TSharedStore::ReloadSendList()
{
    m_sendList.clear();
    bool loaded = false;
    try {
        loaded = LoadSendList(AppFilePath("Default.sds"));
    } catch (...) {
        emit SendListChanged(); // the windows must not go on showing what is gone
        throw;
    }
    if (!loaded)
        emit SendListChanged();
}

void TSharedStore::AddSendListItem(const CCommData &item)
{
    m_sendList.push_back(item);
    emit SendListItemAdded(item);
}

void TSharedStore::ResetSymbols()
{
    m_symbols.ResetForDefaultFile();
}

void TSharedStore::ReloadSymbols()
{
    m_symbols.Load(CSymbolTable::DefaultPath());
    emit SymbolsChanged();
}

void TSharedStore::LoadHistory()
{
    try {
        m_history.Load(HistoryPath());
    } catch (const EFileError &error) {
        // The history is saved again with the next item sent: what could not be read must be
        // out of the way by then.
        emit HistoryChanged();
        const std::string aside = KeepAside(HistoryPath());
        if (aside.empty())
            throw;
        throw EFileError(std::string(error.what()) + "\nThe file is kept as " + aside + ".", error.Path());
    }
    emit HistoryChanged();
}

void TSharedStore::AddToHistory(const CCommData &item)
{
    m_history.Add(item);
    m_historyWriter.Post(HistoryPath(), WholeText(m_history.FileText()));
    emit HistoryChanged();
}
