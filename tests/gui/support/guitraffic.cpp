#include "guitraffic.h"

#include "mainwindow/TfrmMain.h"

void Receive(TfrmMain &window, const Bytes &bytes)
{
    CReceivedBlock block;
    block.bytes = bytes;
    window.Session().OnBlock(block);
}
