#include "guitraffic.h"

#include "guiwidgets.h"
#include "session/portsession.h"

void Receive(QWidget &window, const Bytes &bytes)
{
    CReceivedBlock block;
    block.bytes = bytes;
    SessionOf(window).OnBlock(block);
}
