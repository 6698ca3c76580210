#pragma once
// Which window of this process holds a device, so that an open refused because the device is
// busy can name that window instead of blaming another program. Devices are told apart by what
// they are, not by name: two windows may reach one device through a link and through /dev.
#include <string>

// `holder` (a window's number, above 0) now holds `device`.
void NotePortHolder(const std::string &device, int holder);
// `holder` holds no device any more.
void ForgetPortHolder(int holder);
// The holder of `device`, or 0 when no window of this process holds it.
int PortHolder(const std::string &device);
