#pragma once
// Received bytes handed to a window's session as its port would hand them over, so that they take
// the whole traffic path (counters, checksum check, log, console, plot, received list).
#include "data/commdata.h"

class QWidget;

void Receive(QWidget &window, const Bytes &bytes);
