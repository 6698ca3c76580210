#include "guilink.h"

COM_PORT_SETTING Link(const std::string &name, const std::string &port)
{
    COM_PORT_SETTING link = DefaultLinkSetting();
    link.LinkName = name;
    link.PortName = port;
    return link;
}
