#pragma once
// A device and a pseudo-terminal to open it on, with the diagnostic log in a scratch folder. The
// members go in reverse order, so the port is closed before the terminal and the folder vanish.
#include "ptypair.h"
#include "serial/serial.h"

#include <gtest/gtest.h>

class CSerialOnPty : public testing::Test
{
protected:
    CTempHome home;
    CTestPty pty;
    CSerial port;
};
