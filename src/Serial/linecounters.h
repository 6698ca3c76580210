#pragma once
// The driver counts breaks and line errors (where it can); the device reports the growth of those
// counts between two looks as error bits and the matching event bits.
#include <cstdint>

struct ST_LineCounters
{
    int Break = 0;
    int Frame = 0;
    int Parity = 0;
    int Overrun = 0;    // the UART's own buffer overran
    int BufOverrun = 0; // the driver's input queue overran
};

// CE_ bits for the counters that grew.
uint32_t LineErrorBits(const ST_LineCounters &before, const ST_LineCounters &now);
// EV_BREAK for a break, EV_ERR for any other line error.
uint32_t LineErrorEvents(uint32_t errorBits);
