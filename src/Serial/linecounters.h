#pragma once
// The driver counts breaks, line errors and modem-line changes (where it can); the device reports
// the growth of those counts between two looks as error bits and the matching event bits.
#include <cstdint>

struct ST_LineCounters
{
    int Break = 0;
    int Frame = 0;
    int Parity = 0;
    int Overrun = 0;    // the UART's own buffer overran
    int BufOverrun = 0; // the driver's input queue overran
};

// The modem lines at one look: levels (TIOCM_ bits) and the driver's counts of their changes
// (zero where the driver keeps none).
struct ST_ModemSnapshot
{
    int Lines = 0;
    int Cts = 0;
    int Dsr = 0;
    int Ring = 0;
    int Dcd = 0;
};

// EV_CTS, EV_DSR, EV_RING and EV_RLSD for each line that changed between two looks: its count
// grew (so a pulse shorter than the time between looks is still seen) or its level differs.
uint32_t ModemLineEvents(const ST_ModemSnapshot &before, const ST_ModemSnapshot &now);

// CE_ bits for the counters that grew.
uint32_t LineErrorBits(const ST_LineCounters &before, const ST_LineCounters &now);
// EV_BREAK for a break, EV_ERR for any other line error.
uint32_t LineErrorEvents(uint32_t errorBits);
