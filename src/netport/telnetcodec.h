#pragma once
// Telnet with the com-port option, as bytes only: no sockets, no threads, so every case can be
// checked on byte strings. The decoder takes a peer's bytes in any split and gives the data
// bytes (IAC IAC undoubled, nothing else changed: both directions run in BINARY mode, so CR
// and NUL are data) and the commands among them. The builders give the bytes of each command a
// client (or, for tests, a server) sends.
//
// A peer cannot make the decoder hold more than a few dozen bytes: a subnegotiation longer than
// kMaxSubnegotiation is dropped whole (everything up to its IAC SE is skipped).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace telnet {

using Bytes = std::vector<uint8_t>;

enum : uint8_t {
    SE = 240,
    NOP = 241,
    SB = 250,
    WILL = 251,
    WONT = 252,
    DO = 253,
    DONT = 254,
    IAC = 255,
};

enum : uint8_t { OptBinary = 0, OptSga = 3, OptComPort = 44 };

// Com-port commands as the client sends them; the server answers with the same code + 100.
enum : uint8_t {
    SetBaudRate = 1,
    SetDataSize = 2,
    SetParity = 3,
    SetStopSize = 4,
    SetControl = 5,
    NotifyLineState = 6,
    NotifyModemState = 7,
    FlowControlSuspend = 8,
    FlowControlResume = 9,
    SetLineStateMask = 10,
    SetModemStateMask = 11,
    PurgeData = 12,
};
constexpr uint8_t kServerCode = 100;

// Values of SET-PARITY, SET-STOPSIZE, SET-CONTROL and PURGE-DATA.
enum : uint8_t { ParityNone = 1, ParityOdd = 2, ParityEven = 3, ParityMark = 4, ParitySpace = 5 };
enum : uint8_t { StopOne = 1, StopTwo = 2, StopOneAndHalf = 3 };
enum : uint8_t {
    ControlNoFlow = 1,
    ControlXonXoff = 2,
    ControlRtsCts = 3,
    ControlBreakOn = 5,
    ControlBreakOff = 6,
    ControlDtrOn = 8,
    ControlDtrOff = 9,
    ControlRtsOn = 11,
    ControlRtsOff = 12,
};
enum : uint8_t { PurgeReceive = 1, PurgeTransmit = 2, PurgeBoth = 3 };

// Bits of NOTIFY-MODEMSTATE (deltas low, levels high) and NOTIFY-LINESTATE.
enum : uint8_t {
    ModemDeltaCts = 0x01,
    ModemDeltaDsr = 0x02,
    ModemRingEnded = 0x04,
    ModemDeltaDcd = 0x08,
    ModemCts = 0x10,
    ModemDsr = 0x20,
    ModemRing = 0x40,
    ModemDcd = 0x80,
};
enum : uint8_t { LineOverrun = 0x02, LineParity = 0x04, LineFraming = 0x08, LineBreak = 0x10 };

struct ST_Command
{
    enum EKind : uint8_t { Will, Wont, Do, Dont, ComPort } Kind = Will;
    uint8_t Option = 0; // of Will..Dont; OptComPort for ComPort
    uint8_t Code = 0;   // of ComPort: the sub-command as sent (server answers are 100 and up)
    Bytes Value;        // of ComPort: the bytes after the code, undoubled
    bool operator==(const ST_Command &o) const
    {
        return Kind == o.Kind && Option == o.Option && Code == o.Code && Value == o.Value;
    }
};

class CDecoder
{
public:
    static constexpr size_t kMaxSubnegotiation = 64;

    // Appends the data bytes among `bytes` to `data` and the complete commands to `commands`.
    // Other commands (NOP, GA, subnegotiations of other options, a com-port one without a code)
    // are dropped; so is an IAC followed by a byte that is no command.
    void Feed(const uint8_t *bytes, size_t count, Bytes *data, std::vector<ST_Command> *commands);
    // The bytes held for a command not yet complete.
    size_t Held() const { return m_sub.size(); }
    void Reset();

private:
    enum class EState : uint8_t { Data, Iac, Verb, Sub, SubIac, Skip, SkipIac };
    void AfterIac(uint8_t byte);
    void EndSub(std::vector<ST_Command> *commands);

    EState m_state = EState::Data;
    uint8_t m_verb = 0;
    Bytes m_sub; // option, code and value of the subnegotiation being read
};

// `data` with every 0xFF doubled, appended to `out`.
void AppendEscaped(const uint8_t *data, size_t count, Bytes *out);
Bytes Escaped(const Bytes &data);

// IAC verb option.
Bytes OptionCommand(uint8_t verb, uint8_t option);
// IAC SB COM-PORT-OPTION code value IAC SE, with every 0xFF between SB and IAC SE doubled.
Bytes ComPortCommand(uint8_t code, const Bytes &value);
Bytes ComPortCommand(uint8_t code, uint8_t value);
// SET-BAUDRATE (or its answer, code 101) with the rate big-endian in four bytes.
Bytes BaudCommand(uint32_t baud, uint8_t code = SetBaudRate);
// The rate in a SET-BAUDRATE value; 0 when the value is not four bytes.
uint32_t BaudOf(const Bytes &value);

} // namespace telnet
