#pragma once
// Wall stamps for a stream of events (a capture's packets and line events), each at a moment of
// the steady clock in microseconds, as TrafficWallMicros gives them, through one offset between
// the clocks that is read again once the stamps have moved on a second from its reading: a stream
// costs no clock reading per block, and stamps taken alike keep their order.
#include "session/trafficpath.h"

#include <cstdint>

class CWallStamps
{
public:
    int64_t At(int64_t steadyMicros)
    {
        if (!m_read || steadyMicros - m_readAt >= 1000000 || steadyMicros < m_readAt) {
            m_offset = WallMicrosAt(0);
            m_readAt = steadyMicros;
            m_read = true;
        }
        return m_offset + steadyMicros;
    }
    int64_t Of(const ST_Traffic &event)
    {
        return At(event.SteadyMicros != 0 ? event.SteadyMicros : event.SteadyMs * 1000);
    }

private:
    int64_t m_offset = 0;
    int64_t m_readAt = 0;
    bool m_read = false;
};
