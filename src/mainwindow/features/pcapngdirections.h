#pragma once
// Which way a packet of the traffic path or a frame went, as the pcapng packets of an export and
// of the live capture say it.
#include "frame/framer.h"
#include "log/logrender.h"
#include "session/trafficpath.h"

LogDirection LogDirectionOf(ETraffic direction);
LogDirection LogDirectionOf(EFrameDirection direction);
