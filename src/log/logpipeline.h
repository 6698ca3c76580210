#pragma once
// What the traffic log does with an item before any of it is drawn: it picks the display mode,
// the time stamp and the symbol table in force, cuts received data into lines, joins characters
// and reads escape sequences that a port cut between blocks, and finds the log line each marked
// received byte lands on. The result is the store's blocks; a view only draws them.
#include "data/ansitext.h"
#include "data/commdata.h"
#include "data/symboltable.h"
#include "data/utf8text.h"
#include "log/logrender.h"
#include "log/logstore.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// What the text views do with terminal escape sequences: show their bytes as they are, remove
// them, or remove them and colour received text as their colour codes say.
enum class LogAnsi : uint8_t { Off = 0, Strip = 1, Show = 2 };

// Told of each block the pipeline stores, after the observer, so that what the user selected or
// looks at can follow lines that the scrollback limit took from the top.
class ILogStoredSink
{
public:
    virtual ~ILogStoredSink() = default;
    // `linesDropped` when the limit took lines for the block; `shift` is how far the lines kept
    // moved up (the marker line takes the place of one the first time).
    virtual void BlockStored(bool linesDropped, int shift) = 0;
};

class CLogPipeline
{
public:
    // A received line with no end yet (a prompt, say) is shown after this long without more
    // bytes, or at once when it grows this long.
    static constexpr int64_t kHeldQuietMs = 100;
    static constexpr size_t kLongestHeld = 4096;

    CLogPipeline();

    // Outside 0..3 nothing is written until a valid mode is set again.
    void SetDisplayType(int type);
    int DisplayType() const { return m_displayType; }
    void SetShowTime(bool on) { m_showTime = on; }
    bool ShowTime() const { return m_showTime; }
    // Applies to lines written afterwards only.
    void SetSymbolTable(const CSymbolTable &table) { m_store.SetSymbolTable(table); }
    // In the text views, each received line (ended by CR, LF or CR LF) gets a log line and a stamp
    // of its own, however the port cut it into blocks; the hex and decimal views keep the blocks.
    void SetSplitLines(bool on);
    bool SplitLines() const { return m_splitLines; }
    // The text views read bytes as UTF-8 (a character cut between blocks is joined; other bytes
    // show as \xHH) instead of one Latin-1 character per byte. The hex and decimal views, the
    // bytes handed to the observer and the received data are never changed.
    void SetUtf8(bool on);
    bool Utf8() const { return m_utf8; }
    void SetAnsi(LogAnsi ansi);
    LogAnsi Ansi() const { return m_ansi; }

    // Returns the time text for a moment `ageMs` before now; without one, stamps are empty.
    void SetTimeSource(std::function<std::string(int64_t ageMs)> source) { m_timeSource = std::move(source); }
    // Milliseconds of a clock that never goes back; the default is the steady clock.
    void SetClock(std::function<int64_t()> steadyMs);
    int64_t NowMs() const { return m_clock(); }

    // "Rec  :" line; its stamp is `ageMs` before now (the block waited that long for the log).
    void LogRecData(const CCommData &item, int64_t ageMs = 0);
    // Received bytes are numbered from 0 in the order LogRecData was given them. The log line that
    // holds byte `position` (the line ending there or, with split lines, the line it ends) gets
    // `mark` (see LogMark), the stronger one when it gets several. A mark for a byte that is
    // never shown, the LF of a split CR LF, is dropped.
    void MarkReceived(uint64_t position, uint8_t mark) { m_receivedMarks.emplace_back(position, mark); }
    uint64_t ReceivedBytes() const { return m_receivedBytes; }
    // "Send :" line; its stamp is `ageMs` before now (a line typed key by key began then).
    void LogSendData(const CCommData &item, int64_t ageMs = 0);
    // While on, received blocks are numbered as they come but wait behind a send line still being
    // made (the console's typed keys, whose echo comes back while the line is typed); turned off,
    // they are shown as one block, stamped when the first of them came. Between the two, so that
    // the log reads the typed line, then its echo and what it caused.
    void HoldReceived(bool on);
    // Received bytes that another owner (CFrameLines) will show as lines of their own: numbered for
    // MarkReceived as LogRecData numbers them.
    void CountReceived(size_t length) { m_receivedBytes += length; }
    // One line of exactly these bytes, "Rec  :" or "Send :", in the display mode, stamped `ageMs`
    // before now, with `mark` or a stronger one MarkReceived gave its received bytes.
    void LogLine(LogDirection direction, const uint8_t *bytes, size_t length, int64_t ageMs, uint8_t mark);
    // A "Note :" line of the program's own, written in text mode whatever the display mode.
    void LogNote(const std::string &text);
    // A "Send :" line that says what went out instead of showing it (a whole file), in text mode.
    void LogSendNote(const std::string &text);
    // A block of the two-port monitor: its tag is the direction, and it carries its own stamp
    // whether time is shown or not.
    void LogMonitorData(LogDirection direction, const Bytes &bytes, const std::string &stamp);
    // One line of the monitor of exactly these bytes, as LogLine writes one, with its own stamp.
    void LogMonitorLine(LogDirection direction, const uint8_t *bytes, size_t length, const std::string &stamp,
                        uint8_t mark);
    // Shows a held line first, so that an observer still gets it.
    void Clear();

    // The traffic path's numbers (ST_Traffic::Seq) that the stored blocks keep, by lane: the
    // port's received (0) and sent (1) blocks, the monitor's port A (2) and port B (3). A block
    // of the path is handed to the log between TrafficArrives and TrafficTaken; every block
    // stored from its lane meanwhile, or later from bytes that waited (a line without its end,
    // a frame), spans the numbers from the oldest of its bytes' to the newest.
    static constexpr size_t kTrafficLanes = 4;
    void TrafficArrives(size_t lane, uint32_t seq);
    // `waiting`: bytes of the lane wait elsewhere (for a frame) to be stored later.
    void TrafficTaken(size_t lane, bool waiting);

    // How long until the held received line is due to be shown by FlushHeld; -1 when none is held.
    int64_t HeldDueInMs() const;
    // Shows the held received line once it has been quiet for kHeldQuietMs, stamped with the time
    // its last byte came.
    void FlushHeld();

    // Sees every block as it reaches the log. `shown` is false for bytes the log took without a
    // line of their own (an LF that ended a line already shown); for the others the observer may
    // ask for the rendering of the block just stored with NewestRendered().
    // Observers are told in the order they were added (a capture is one; a second one never
    // replaces it). An observer may not add or remove observers while it is told.
    using Observer = std::function<void(LogDirection, const uint8_t *bytes, size_t length, bool shown)>;
    using ObserverId = uint64_t;
    ObserverId AddObserver(Observer observer);
    void RemoveObserver(ObserverId id);
    void SetStoredSink(ILogStoredSink *sink) { m_sink = sink; }
    // While observers are told of a block: how long before now it was read (complete) or written,
    // as its caller said; 0 for notes. A stamp of their own then tells the time the line saw it.
    int64_t TellingAgeMs(LogDirection direction) const
    {
        return direction == LogDirection::Received ? m_receivedAgeMs
               : direction == LogDirection::Sent   ? m_sentAgeMs
                                                   : 0;
    }

    const CLogStore &Store() const { return m_store; }
    void SetByteLimit(size_t bytes) { m_store.SetByteLimit(bytes); }
    // The rendering of a stored block, kept until another block is asked for: the newest block's
    // comes from storing it.
    const ST_LogRendered &Rendered(size_t block) const;
    const ST_LogRendered &NewestRendered() const { return Rendered(m_store.BlockCount() - 1); }

private:
    void Log(LogDirection direction, const CCommData &item);
    // `stamp`, when given, is shown instead of the time source's. An `ownBreak` block ends with the
    // data's line break, if it has one, and the log adds none.
    void Append(LogDirection direction, uint8_t mode, const uint8_t *bytes, size_t length,
                const std::string *stamp = nullptr, bool ownBreak = false, uint8_t mark = 0);
    void ShowReceived(const CCommData &item, int64_t ageMs);
    void LogReceivedLines(const CCommData &item);
    // Writes the part of a received line still waiting for its end; `nowMs` on the clock.
    void ShowHeldLine(int64_t nowMs);
    void ShowHeldLine() { ShowHeldLine(m_held.empty() || !m_showTime ? 0 : m_clock()); }
    // Forgets the escape sequences in progress; a held cut character goes to the next block of
    // its direction as it is.
    void ResetTextForms();
    // The strongest mark of the next `length` received bytes, which are stored or passed over.
    uint8_t TakeReceivedMark(size_t length);
    bool ValidMode() const { return m_displayType >= 0 && m_displayType <= 3; }

    CLogStore m_store;
    int m_displayType = 0;
    bool m_showTime = false;
    std::function<std::string(int64_t)> m_timeSource;
    std::function<int64_t()> m_clock;
    void Tell(LogDirection direction, const uint8_t *bytes, size_t length, bool shown) const;
    std::vector<std::pair<ObserverId, Observer>> m_observers;
    ObserverId m_lastObserver = 0;
    ILogStoredSink *m_sink = nullptr;

    uint64_t m_receivedBytes = 0;
    uint64_t m_receivedPassed = 0; // received bytes stored or passed over
    std::deque<std::pair<uint64_t, uint8_t>> m_receivedMarks;

    bool m_splitLines = false;
    Bytes m_held;                // a received line whose end has not come yet
    bool m_heldCr = false;       // a line ending in CR was shown: an LF next is the rest of its break
    int64_t m_heldAtMs = 0;      // when the held line's last byte came
    int64_t m_heldDueMs = 0;     // when the held line is shown without more bytes
    int64_t m_receivedAgeMs = 0; // of the received block being logged
    int64_t m_sentAgeMs = 0;     // of the send line being logged

    bool m_holdReceived = false;
    Bytes m_heldReceived;           // received while a send line is being made
    int64_t m_heldReceivedAtMs = 0; // when the first of them came

    bool m_utf8 = false;
    LogAnsi m_ansi = LogAnsi::Off;
    // What each direction's text was in the middle of when its last block ended.
    struct TextState
    {
        CAnsiParser ansi;
        CUtf8Joiner utf8;
    };
    TextState m_textStates[7];
    Bytes m_joined;
    Bytes m_formed;

    struct ST_Lane
    {
        bool pending = false; // the lane's bytes since `first` are not all stored yet
        uint32_t first = 0;
        uint32_t last = 0;
    };
    ST_Lane m_lanes[kTrafficLanes];

    mutable size_t m_renderedBlock = static_cast<size_t>(-1);
    mutable ST_LogRendered m_rendered;
};
