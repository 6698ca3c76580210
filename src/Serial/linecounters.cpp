#include "Serial/linecounters.h"

#include "Serial/Serial.h"

#include <sys/ioctl.h>

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

uint32_t ModemLineEvents(const ST_ModemSnapshot &before, const ST_ModemSnapshot &now)
{
    const int changed = before.Lines ^ now.Lines;
    uint32_t events = 0;
    if (now.Cts != before.Cts || (changed & TIOCM_CTS))
        events |= EV_CTS;
    if (now.Dsr != before.Dsr || (changed & TIOCM_DSR))
        events |= EV_DSR;
    if (now.Ring != before.Ring || (changed & TIOCM_RNG))
        events |= EV_RING;
    if (now.Dcd != before.Dcd || (changed & TIOCM_CAR))
        events |= EV_RLSD;
    return events;
}
