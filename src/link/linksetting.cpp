#include "link/linksetting.h"

#include "data/commatext.h"
#include "platform/errors.h"
#include "serial/portlist.h"

#include <atomic>
#include <vector>

const std::array<ST_CodeLabel, 5> kParityItems{
    {{2, "Even"}, {1, "Odd"}, {0, "None"}, {3, "Mark"}, {4, "Space"}}};
const std::array<ST_CodeLabel, 3> kStopBitsItems{{{0, "1"}, {1, "1.5"}, {2, "2"}}};
const std::array<const char *, 3> kFlowControlLabels{"None", "Xon/Xoff", "HardWare"};

namespace {

template <size_t N> int IndexOf(const std::array<ST_CodeLabel, N> &items, uint8_t code)
{
    for (size_t i = 0; i < N; ++i)
        if (items[i].Code == code)
            return static_cast<int>(i);
    return -1;
}

} // namespace

bool COM_PORT_SETTING::operator==(const COM_PORT_SETTING &o) const
{
    return LinkName == o.LinkName && PortName == o.PortName && Baud == o.Baud && DataBits == o.DataBits &&
           ParityCode == o.ParityCode && StopBitsCode == o.StopBitsCode && FlowControl == o.FlowControl &&
           InputBufferLen == o.InputBufferLen && OutputBufferLen == o.OutputBufferLen;
}

COM_PORT_SETTING DefaultLinkSetting()
{
    COM_PORT_SETTING link;
    link.PortName = ProposedPortName({}); // what a machine without a port found is proposed
    link.Baud = 9600;
    link.DataBits = 8;
    link.InputBufferLen = 1024;
    link.OutputBufferLen = 1024;
    return link;
}

std::string NewLinkName()
{
    static std::atomic<unsigned> counter{1};
    return "Link" + std::to_string(counter++);
}

int ParityIndex(uint8_t code)
{
    return IndexOf(kParityItems, code);
}

int StopBitsIndex(uint8_t code)
{
    return IndexOf(kStopBitsItems, code);
}

std::string ParityLabel(uint8_t code)
{
    const int i = ParityIndex(code);
    return i < 0 ? std::string() : kParityItems[static_cast<size_t>(i)].Label;
}

std::string StopBitsLabel(uint8_t code)
{
    const int i = StopBitsIndex(code);
    return i < 0 ? std::string() : kStopBitsItems[static_cast<size_t>(i)].Label;
}

std::string FlowControlLabel(int32_t value)
{
    if (value < 0 || static_cast<size_t>(value) >= kFlowControlLabels.size())
        return {};
    return kFlowControlLabels[static_cast<size_t>(value)];
}

std::array<std::string, 9> COM_PORT_SETTING_STR::Columns() const
{
    return {LinkName, PortName,    Baud,           DataBits,       Parity,
            StopBits, FlowControl, InputBufferLen, OutputBufferLen};
}

COM_PORT_SETTING_STR LinkToDisplay(const COM_PORT_SETTING &link)
{
    COM_PORT_SETTING_STR s;
    s.LinkName = link.LinkName;
    s.PortName = link.PortName;
    s.Baud = std::to_string(link.Baud);
    s.DataBits = std::to_string(link.DataBits);
    s.Parity = ParityLabel(link.ParityCode);
    s.StopBits = StopBitsLabel(link.StopBitsCode);
    s.FlowControl = FlowControlLabel(link.FlowControl);
    s.InputBufferLen = std::to_string(link.InputBufferLen);
    s.OutputBufferLen = std::to_string(link.OutputBufferLen);
    return s;
}

std::string LinkToLine(const COM_PORT_SETTING &link)
{
    return QuoteField(link.LinkName) + ", " + QuoteField(link.PortName) + ", " + std::to_string(link.Baud) +
           ", " + std::to_string(link.DataBits) + ", " + std::to_string(link.ParityCode) + ", " +
           std::to_string(link.StopBitsCode) + ", " + std::to_string(link.FlowControl) + ", " +
           std::to_string(link.InputBufferLen) + ", " + std::to_string(link.OutputBufferLen);
}

bool LinkFromLine(const std::string &line, COM_PORT_SETTING &link)
{
    std::vector<std::string> f = SplitCommaText(line);
    if (f.size() != 9)
        return false;
    COM_PORT_SETTING read;
    read.LinkName = std::move(f[0]);
    read.PortName = std::move(f[1]);
    read.Baud = StrToInt(f[2]);
    read.DataBits = static_cast<uint8_t>(StrToInt(f[3]));
    read.ParityCode = static_cast<uint8_t>(StrToInt(f[4]));
    read.StopBitsCode = static_cast<uint8_t>(StrToInt(f[5]));
    read.FlowControl = StrToInt(f[6]);
    read.InputBufferLen = StrToInt(f[7]);
    read.OutputBufferLen = StrToInt(f[8]);
    link = std::move(read);
    return true;
}
