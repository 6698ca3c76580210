#pragma once
// Link settings for tests: the defaults under a chosen name, on a chosen port.
#include "link/linksetting.h"

#include <string>

COM_PORT_SETTING Link(const std::string &name, const std::string &port = "COM1");
