#include "mainwindow/features/pcapngdirections.h"

// A frame's direction is the traffic direction its bytes took: one mapping serves both.
static_assert(static_cast<int>(EFrameDirection::Received) == static_cast<int>(ETraffic::Received) &&
                  static_cast<int>(EFrameDirection::Sent) == static_cast<int>(ETraffic::Sent) &&
                  static_cast<int>(EFrameDirection::MonitorAtoB) == static_cast<int>(ETraffic::MonitorAtoB) &&
                  static_cast<int>(EFrameDirection::MonitorBtoA) == static_cast<int>(ETraffic::MonitorBtoA),
              "the frames' directions are in the order of the traffic path's");

LogDirection LogDirectionOf(ETraffic direction)
{
    switch (direction) {
    case ETraffic::Received:
        return LogDirection::Received;
    case ETraffic::Sent:
        return LogDirection::Sent;
    case ETraffic::MonitorAtoB:
        return LogDirection::AtoB;
    case ETraffic::MonitorBtoA:
        return LogDirection::BtoA;
    }
    return LogDirection::Received;
}

LogDirection LogDirectionOf(EFrameDirection direction)
{
    return LogDirectionOf(static_cast<ETraffic>(direction));
}
