#include "serial/linecounters.h"

#include "serial/serial.h"

#include <algorithm>
#include <limits>
#include <sys/ioctl.h>
#include <utility>

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

void AddLineCounterGrowth(ST_LineCounters &sum, const ST_LineCounters &before, const ST_LineCounters &now)
{
    const auto add = [](int64_t &total, int64_t was, int64_t is) {
        const int64_t growth = is >= was ? is - was : std::max<int64_t>(is, 0);
        total = growth > std::numeric_limits<int64_t>::max() - total ? std::numeric_limits<int64_t>::max()
                                                                     : total + growth;
    };
    add(sum.Break, before.Break, now.Break);
    add(sum.Frame, before.Frame, now.Frame);
    add(sum.Parity, before.Parity, now.Parity);
    add(sum.Overrun, before.Overrun, now.Overrun);
    add(sum.BufOverrun, before.BufOverrun, now.BufOverrun);
}

void CInboundLoss::AddLineErrors(uint32_t errorBits, const ST_LineCounters &counts)
{
    const auto count = [errorBits](int64_t counted, uint32_t bit) -> int64_t {
        return counted > 0 ? counted : (errorBits & bit) ? 1 : 0;
    };
    const Tally add{count(counts.Overrun, CE_OVERRUN), count(counts.Frame, CE_FRAME),
                    count(counts.Parity, CE_RXPARITY), count(counts.BufOverrun, CE_RXOVER), 0};
    for (Tally *t : {&m_total, &m_burst}) {
        t->overrun += add.overrun;
        t->framing += add.framing;
        t->parity += add.parity;
        t->overflow += add.overflow;
    }
}

void CInboundLoss::AddReadingHeld(size_t behindBytes)
{
    ++m_total.held;
    ++m_burst.held;
    m_behindBytes = behindBytes;
}

std::string CInboundLoss::ErrorsText(const Tally &tally)
{
    std::string text;
    const std::pair<int64_t, const char *> kinds[] = {{tally.overrun, "overrun"},
                                                      {tally.framing, "framing"},
                                                      {tally.parity, "parity"},
                                                      {tally.overflow, "buffer overflow"}};
    for (const auto &[count, name] : kinds) {
        if (count == 0)
            continue;
        text += text.empty() ? "Line errors: " : ", ";
        text += std::to_string(count) + ' ' + name;
    }
    return text;
}

std::string CInboundLoss::HeldText(const Tally &tally) const
{
    std::string text = "Reading paused";
    if (tally.held > 1)
        text += ' ' + std::to_string(tally.held) + " times";
    return text + ": the window fell " + std::to_string(m_behindBytes >> 20) + " MiB behind the port";
}

std::vector<std::string> CInboundLoss::TakeBurstNotes()
{
    std::vector<std::string> notes;
    if (m_burst.Errors() != 0)
        notes.push_back(ErrorsText(m_burst));
    if (m_burst.held != 0)
        notes.push_back(HeldText(m_burst));
    m_burst = Tally();
    return notes;
}

std::string CInboundLoss::StatusText() const
{
    std::string text;
    if (m_total.Errors() != 0)
        text = "Errors:" + std::to_string(m_total.Errors());
    if (m_total.held != 0)
        text += (text.empty() ? "Paused:" : " Paused:") + std::to_string(m_total.held);
    return text;
}

std::string CInboundLoss::StatusDetails() const
{
    std::string text = ErrorsText(m_total);
    if (m_total.held != 0)
        text += (text.empty() ? "" : "\n") + HeldText(m_total);
    return text;
}
