#include "mainwindow/features/pcapngdirections.h"

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
    switch (direction) {
    case EFrameDirection::Received:
        return LogDirection::Received;
    case EFrameDirection::Sent:
        return LogDirection::Sent;
    case EFrameDirection::MonitorAtoB:
        return LogDirection::AtoB;
    case EFrameDirection::MonitorBtoA:
        return LogDirection::BtoA;
    }
    return LogDirection::Received;
}
