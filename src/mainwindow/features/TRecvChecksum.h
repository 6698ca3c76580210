#pragma once
// Checking the checksum that received frames carry: View > Check Checksum, the mark on the log
// line of a bad frame and the counts in the status bar. Off, it leaves the log and the settings as
// they were.
#include "data/commdata.h"
#include "recdata/checksumcheck.h"
#include "recdata/gui/TfrmCheckChecksum.h"

#include <QObject>
#include <memory>

class QSettings;
class QWidget;
class TMenuSlots;
class TStatusArea;
class TStatusPanel;
class TTrafficLog;

class TRecvChecksum : public QObject
{
    Q_OBJECT
public:
    TRecvChecksum(QWidget *window, TMenuSlots &menus, TStatusArea &status, TTrafficLog &log);
    ~TRecvChecksum() override;

    // A receive stage, before the block is logged: judges the frames that end in it, so that its
    // line is marked.
    void Check(const CCommData &block);
    void ShowCounts();
    void ResetCounts();
    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;

private:
    // Counts of another checksum or another kind of frame mean nothing for the new one: a change
    // starts them again, and drops a line begun under the old check with it.
    void Apply(const ST_RecvChecksumChoice &choice);

    QWidget *m_window;
    TTrafficLog &m_log;
    TStatusPanel *m_panel = nullptr;
    // The choice, and its settings values only once it was made or read; the check exists while it
    // is on, and so does the panel with its counts.
    ST_RecvChecksumChoice m_choice;
    bool m_chosen = false;
    std::unique_ptr<CChecksumCheck> m_check;
};
