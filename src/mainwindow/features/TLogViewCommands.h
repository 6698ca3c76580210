#pragma once
// How the log shows what passes and how much of it it keeps: the display mode, the stamps (time
// of day, milliseconds, time since the previous line), whether sends are logged, split received
// lines, the text encoding and ANSI colours, the scrollback; and clear, copy, save and the ASCII
// table.
//
// Each mode and toggle has a tool button, a View menu item and a context-menu twin, all built with
// the window's layout and handed in; the button and the twin show the View item's action.
#include "data/commdata.h"
#include "shell/TFeatureServices.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <string>

class QAction;
class QMenu;
class QSettings;
class QToolButton;
class QWidget;
class TMenuSlots;
class TSessionBridge;
class TTrafficLog;

// Offers its stamps to the monitor (ILogStamps) and tells TFeatureServices::Utf8Changed.
class TLogViewCommands : public QObject, public ILogStamps
{
    Q_OBJECT
public:
    // The View menu's action and the context menu's face of it (FollowAction).
    struct ST_Chain
    {
        QAction *menu = nullptr, *popup = nullptr;
    };
    // The tool buttons show the View menu's actions (TfrmMainUi).
    struct ST_Controls
    {
        TTrafficLog *edData;
        QMenu *mnuView;
        // Text, Hex, Decimal, TextSymbol, Show Time, Show SendData.
        ST_Chain Chains[6];
        QAction *mnuViewClearDisplay, *mnuClearDisplay, *mnuFileSave, *mnuCopytoClipboard, *mnuViewAsciiTable;
    };
    // `reloadSymbols` takes up the symbol table again after the ASCII table was shown, which may
    // have changed it.
    TLogViewCommands(QWidget *window, const ST_Controls &controls, TSessionBridge &events, TMenuSlots &menus,
                     TFeatureServices &services, std::function<void()> reloadSymbols);

    // The mode and the two toggles the window keeps with its oldest settings; the setters change
    // no control, UpdateViewState shows them.
    int CurDisplayType() const { return m_curDisplayType; }
    void SetCurDisplayType(int type) { m_curDisplayType = type; }
    bool ShowTime() const { return m_showTime; }
    void SetShowTime(bool on) { m_showTime = on; }
    // Kept in the session bridge, which the session asks from any thread as a send is handed in.
    bool ShowSendData() const;
    void SetShowSendData(bool on);
    // The monitor stamps its own lines, with the gap only when the log's lines get it.
    bool SincePrevious() const override { return m_sincePrevious; }
    void UpdateViewState();

    // The settings come in three groups, each read and written where the window's order of
    // values has it.
    void LoadStamps(const QSettings &settings);
    void SaveStamps(QSettings &settings) const;
    void LoadScrollback(const QSettings &settings);
    void SaveScrollback(QSettings &settings) const;
    void LoadTextForms(const QSettings &settings);
    void SaveTextForms(QSettings &settings) const;
    void LoadDates(const QSettings &settings);
    void SaveDates(QSettings &settings) const;
    // Whether lines carry the date with their time (the capture's date notes are then not needed).
    bool Dates() const { return m_dates; }

private:
    void ConnectModes(const ST_Chain (&chains)[6]);
    void AddStamps(TMenuSlots &menus);
    void AddTextForms(QWidget *viewMenu, TMenuSlots &menus);
    void SetDisplayType(int type);
    void SaveLog();
    void ShowAsciiTable();
    // For a moment `ageMs` before now.
    std::string StampText(int64_t ageMs);
    bool ExtraStamps() const { return m_dates || m_milliseconds || m_sincePrevious; }

    QWidget *m_window;
    TTrafficLog &m_log;
    TSessionBridge &m_events;
    TFeatureServices &m_services;
    std::function<void()> m_reloadSymbols;

    // A main-menu item, its context-menu twin and its tool button: the four modes, then Show Time
    // and Show SendData.
    static constexpr int kModeCount = 4;
    ST_Chain m_chains[kModeCount + 2];

    QAction *m_datesItem = nullptr, *m_millisecondsItem = nullptr, *m_sincePreviousItem = nullptr,
            *m_splitLinesItem = nullptr;
    QAction *m_latin1Item = nullptr, *m_utf8Item = nullptr;
    QAction *m_ansiItems[3] = {}; // off, strip, show

    int m_curDisplayType = FMT_STRING;
    bool m_showTime = false;
    bool m_dates = false;
    bool m_milliseconds = false;
    bool m_sincePrevious = false;
    int64_t m_lastLineMs = -1; // steady clock, of the newest logged line
};
