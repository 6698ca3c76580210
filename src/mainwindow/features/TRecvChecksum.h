#pragma once
// Checking the checksum that received frames carry: View > Check Checksum, the mark on the log
// line of a bad frame and the counts in the status bar. Off, it leaves the log and the settings as
// they were. The check belongs to the link it was chosen for (the open link, else the last one):
// each device speaks its own protocol, so opening another link applies that link's check, and a
// link that never had one is not checked.
#include "data/commdata.h"
#include "recdata/checksumcheck.h"
#include "recdata/gui/TfrmCheckChecksum.h"

#include <QObject>
#include <map>
#include <memory>
#include <string>

class QSettings;
class QWidget;
class TMenuSlots;
class TStatusArea;
class TFeatureServices;
class TStatusPanel;
class TTrafficLog;

class TRecvChecksum : public QObject
{
    Q_OBJECT
public:
    TRecvChecksum(QWidget *window, TMenuSlots &menus, TStatusArea &status, TTrafficLog &log,
                  TFeatureServices &services);
    ~TRecvChecksum() override;

    // A receive stage, before the block is logged: judges the frames that end in it, so that its
    // line is marked.
    void Check(const CCommData &block);
    void ShowCounts();
    void ResetCounts();
    // Reads each link's check and applies the one of the last link. A store of an earlier
    // version, with one check for the whole window, gives it to the last link alone: that is the
    // device it was last used with, and no other is judged by a checksum it may not carry.
    void Load(const QSettings &settings);
    // The window-wide values, as earlier versions read them: the check of the window's link.
    void Save(QSettings &settings) const;
    // Each link's own check, written after the window's other values.
    void SaveLinks(QSettings &settings) const;

private:
    // Keeps the check of the link that was the window's and applies the one of `linkName`.
    void UseLink(const std::string &linkName);
    // Counts of another checksum or another kind of frame mean nothing for the new one: a change
    // starts them again, and drops a line begun under the old check with it.
    void Apply(const ST_RecvChecksumChoice &choice);

    QWidget *m_window;
    TTrafficLog &m_log;
    TFeatureServices &m_services;
    TStatusPanel *m_panel = nullptr;
    // The choice of the window's link; the check exists while it is on, and so does the panel with
    // its counts.
    ST_RecvChecksumChoice m_choice;
    std::unique_ptr<CChecksumCheck> m_check;
    // The window's link, by name; empty before any link was opened.
    std::string m_link;
    // The links that have a choice, made or read: the only ones with settings values, so a window
    // whose user never chose one writes none. A choice made before any link was opened (under the
    // empty name) goes to the first link opened that has none.
    std::map<std::string, ST_RecvChecksumChoice> m_links;
};
