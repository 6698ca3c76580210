#pragma once
// The driver counts breaks, line errors and modem-line changes (where it can); the device reports
// the growth of those counts between two looks as error bits and the matching event bits.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// 64-bit: a network server's notifications can count past what an int holds within hours.
struct ST_LineCounters
{
    int64_t Break = 0;
    int64_t Frame = 0;
    int64_t Parity = 0;
    int64_t Overrun = 0;    // the UART's own buffer overran
    int64_t BufOverrun = 0; // the driver's input queue overran
};

// The modem lines at one look: levels (TIOCM_ bits) and the driver's counts of their changes
// (zero where the driver keeps none).
struct ST_ModemSnapshot
{
    int Lines = 0;
    int64_t Cts = 0;
    int64_t Dsr = 0;
    int64_t Ring = 0;
    int64_t Dcd = 0;
};

// EV_CTS, EV_DSR, EV_RING and EV_RLSD for each line that changed between two looks: its count
// grew (so a pulse shorter than the time between looks is still seen) or its level differs.
uint32_t ModemLineEvents(const ST_ModemSnapshot &before, const ST_ModemSnapshot &now);

// CE_ bits for the counters that grew.
uint32_t LineErrorBits(const ST_LineCounters &before, const ST_LineCounters &now);
// EV_BREAK for a break, EV_ERR for any other line error.
uint32_t LineErrorEvents(uint32_t errorBits);
// Adds how far each counter grew between two looks to `sum`, which stops at the largest value
// rather than wrapping. A counter that went back (a driver that started counting again) counts
// from zero.
void AddLineCounterGrowth(ST_LineCounters &sum, const ST_LineCounters &before, const ST_LineCounters &now);

// What the window tells the user about bytes lost or held back on their way in: totals since the
// counters were last reset, and the burst not yet noted in the log.
class CInboundLoss
{
public:
    // Errors come in bursts (a wrong rate makes one at nearly every byte): a burst is noted once
    // none came for kQuietMs, and one that never ends every kLongestBurstMs.
    static constexpr int kQuietMs = 500;
    static constexpr int64_t kLongestBurstMs = 5000;

    // One event's line errors: the driver's counts per kind; a kind whose bit came without a count
    // counts once. Breaks are data the far end sent, not loss, and are left out.
    void AddLineErrors(uint32_t errorBits, const ST_LineCounters &counts);
    // The listener stopped reading because the window had fallen `behindBytes` behind.
    void AddReadingHeld(size_t behindBytes);

    bool BurstPending() const { return m_burst.Any(); }
    // The burst as log notes, then a new burst begins: "Line errors: 3 overrun, 1 framing" and
    // "Reading paused: the window fell 32 MiB behind the port", each only when it happened.
    std::vector<std::string> TakeBurstNotes();

    // The totals for the status bar: "" while nothing was counted, else "Errors:4", "Paused:1" or
    // both; the details are the same words as the notes, one line each.
    std::string StatusText() const;
    std::string StatusDetails() const;
    void Reset() { *this = CInboundLoss(); }

    // The counts themselves, for a window that says them in its own language.
    struct Tally
    {
        int64_t overrun = 0, framing = 0, parity = 0, overflow = 0, held = 0;
        int64_t Errors() const { return overrun + framing + parity + overflow; }
        bool Any() const { return Errors() != 0 || held != 0; }
    };
    const Tally &Total() const { return m_total; }
    size_t BehindBytes() const { return m_behindBytes; }

private:
    static std::string ErrorsText(const Tally &tally);
    std::string HeldText(const Tally &tally) const;
    Tally m_total, m_burst;
    size_t m_behindBytes = 0;
};
