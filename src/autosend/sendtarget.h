#pragma once
// Where the auto-send engine's scheduled items go. The main window implements it with its send
// operation; it is called from the engine's send thread, so the implementation serialises port
// writes and carries any widget update over to the GUI thread without waiting for it: the GUI
// thread may at that moment be waiting in CAutoSendEngine::Stop for the send thread to end.
#include "data/commdata.h"

class ISendTarget
{
public:
    virtual ~ISendTarget() = default;
    virtual void SendItem(const CCommData &item) = 0;
};
