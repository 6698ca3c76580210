#include "Serial/linecounters.h"

#include "Serial/Serial.h"

uint32_t LineErrorBits(const ST_LineCounters &before, const ST_LineCounters &now)
{
    uint32_t bits = 0;
    if (now.Break != before.Break)
        bits |= CE_BREAK;
    if (now.Frame != before.Frame)
        bits |= CE_FRAME;
    if (now.Parity != before.Parity)
        bits |= CE_RXPARITY;
    if (now.Overrun != before.Overrun)
        bits |= CE_OVERRUN;
    if (now.BufOverrun != before.BufOverrun)
        bits |= CE_RXOVER;
    return bits;
}

uint32_t LineErrorEvents(uint32_t errorBits)
{
    uint32_t events = 0;
    if (errorBits & CE_BREAK)
        events |= EV_BREAK;
    if (errorBits & (CE_FRAME | CE_RXPARITY | CE_OVERRUN | CE_RXOVER))
        events |= EV_ERR;
    return events;
}
