#pragma once
// What every main window of the process works on together: the send list, the symbol table and
// the send history. One copy each, kept in the same files as with one window; a change made
// through any window is announced to all of them. The links need no place here: their list is
// already one per process (LinkList()).
#include "data/commdata.h"
#include "data/symboltable.h"
#include "platform/backgroundwriter.h"
#include "senddata/sendhistory.h"

#include <QObject>
#include <string>
#include <vector>

class TSharedStore : public QObject
{
    Q_OBJECT
public:
    TSharedStore();
    ~TSharedStore() override; // the history's last save is written before it goes

    // True for the first window to ask: that one loads the lists, the others show what it loaded.
    bool FirstUse();

    const std::vector<CCommData> &SendList() const { return m_sendList; }
    // False, list unchanged, when no file exists at `path`; else the list becomes the file's.
    bool LoadSendList(const std::string &path);
    // Empties the list, then loads "Default.sds" when it exists.
    void ReloadSendList();
    void AddSendListItem(const CCommData &item);

    const CSymbolTable &Symbols() const { return m_symbols; }
    // Unannounced: a reload follows at once. Without "Default.sym" the standard names stay.
    void ResetSymbols();
    // From "Default.sym"; a missing or damaged file leaves the table as it was.
    void ReloadSymbols();

    const CSendHistory &History() const { return m_history; }
    // Throws EFOpenError when "History.sds" exists but cannot be read.
    void LoadHistory();
    // Saved in the background, so a send never waits for the disk.
    void AddToHistory(const CCommData &item);

signals:
    void SendListChanged();
    void SendListItemAdded(const CCommData &item);
    void SymbolsChanged();
    void HistoryChanged();

private:
    bool m_used = false;
    std::vector<CCommData> m_sendList;
    CSymbolTable m_symbols;
    CSendHistory m_history;
    CBackgroundWriter m_historyWriter;
};
