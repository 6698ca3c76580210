#pragma once
// A link: a named set of port settings, its one-line text form (the lines of ".cps" files and the
// remembered last link) and its nine display texts.
#include <array>
#include <cstdint>
#include <string>

struct COM_PORT_SETTING
{
    std::string LinkName;
    std::string PortName;
    int32_t Baud = 0;
    uint8_t DataBits = 0;
    uint8_t ParityCode = 0;   // the port's own coding, see kParityItems
    uint8_t StopBitsCode = 0; // the port's own coding, see kStopBitsItems
    int32_t FlowControl = 0;  // position in kFlowControlLabels
    int32_t InputBufferLen = 0;
    int32_t OutputBufferLen = 0;

    bool operator==(const COM_PORT_SETTING &o) const;
    bool operator!=(const COM_PORT_SETTING &o) const { return !(*this == o); }
};

// The settings a new link is proposed with; LinkName is left empty.
COM_PORT_SETTING DefaultLinkSetting();

// "Link" + a counter that starts at 1 and advances on every call, for the whole process.
std::string NewLinkName();

struct ST_CodeLabel
{
    uint8_t Code;
    const char *Label;
};

// In the order the lists show them.
extern const std::array<ST_CodeLabel, 5> kParityItems;
extern const std::array<ST_CodeLabel, 3> kStopBitsItems;
extern const std::array<const char *, 3> kFlowControlLabels;

// Position of a code in its list, or -1.
int ParityIndex(uint8_t code);
int StopBitsIndex(uint8_t code);
// The label, or the empty text for a code with none.
std::string ParityLabel(uint8_t code);
std::string StopBitsLabel(uint8_t code);
std::string FlowControlLabel(int32_t value);

struct COM_PORT_SETTING_STR
{
    std::string LinkName;
    std::string PortName;
    std::string Baud;
    std::string DataBits;
    std::string Parity;
    std::string StopBits;
    std::string FlowControl;
    std::string InputBufferLen;
    std::string OutputBufferLen;

    // The nine texts in column order.
    std::array<std::string, 9> Columns() const;
};

COM_PORT_SETTING_STR LinkToDisplay(const COM_PORT_SETTING &link);

// `"Link1", "COM1", 9600, 8, 0, 0, 0, 1024, 1024`. Quotes inside the names are doubled, so every
// name reads back whole; lines of names without quotes are as they always were.
std::string LinkToLine(const COM_PORT_SETTING &link);

// False, `link` unchanged, unless the line splits into exactly nine comma-text fields. A numeric
// field that is not an integer throws EConvertError naming that field, and `link` is then
// unchanged too. The 8-bit fields keep the low eight bits of their number.
bool LinkFromLine(const std::string &line, COM_PORT_SETTING &link);
