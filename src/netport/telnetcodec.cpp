#include "netport/telnetcodec.h"

namespace telnet {

void CDecoder::Reset()
{
    state_ = EState::Data;
    verb_ = 0;
    sub_.clear();
}

// A byte after IAC, outside a subnegotiation (or ending one that lost its SE).
void CDecoder::AfterIac(uint8_t byte)
{
    if (byte >= WILL && byte <= DONT) {
        verb_ = byte;
        state_ = EState::Verb;
    } else if (byte == SB) {
        sub_.clear();
        state_ = EState::Sub;
    } else {
        state_ = EState::Data; // NOP, GA, a stray SE, or no command at all
    }
}

void CDecoder::EndSub(std::vector<ST_Command> *commands)
{
    if (sub_.size() >= 2 && sub_[0] == OptComPort) {
        ST_Command c;
        c.Kind = ST_Command::ComPort;
        c.Option = OptComPort;
        c.Code = sub_[1];
        c.Value.assign(sub_.begin() + 2, sub_.end());
        commands->push_back(std::move(c));
    }
    sub_.clear();
    state_ = EState::Data;
}

void CDecoder::Feed(const uint8_t *bytes, size_t count, Bytes *data, std::vector<ST_Command> *commands)
{
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        switch (state_) {
        case EState::Data: {
            // The common case: copy the run up to the next IAC at once.
            size_t end = i;
            while (end < count && bytes[end] != IAC)
                ++end;
            data->insert(data->end(), bytes + i, bytes + end);
            i = end;
            if (i < count)
                state_ = EState::Iac;
            break;
        }
        case EState::Iac:
            if (b == IAC) {
                data->push_back(IAC);
                state_ = EState::Data;
            } else {
                AfterIac(b);
            }
            break;
        case EState::Verb: {
            static constexpr ST_Command::EKind kKinds[] = {ST_Command::Will, ST_Command::Wont, ST_Command::Do,
                                                           ST_Command::Dont};
            ST_Command c;
            c.Kind = kKinds[verb_ - WILL];
            c.Option = b;
            commands->push_back(std::move(c));
            state_ = EState::Data;
            break;
        }
        case EState::Sub:
            if (b == IAC) {
                state_ = EState::SubIac;
            } else if (sub_.size() < kMaxSubnegotiation) {
                sub_.push_back(b);
            } else {
                sub_.clear();
                state_ = EState::Skip;
            }
            break;
        case EState::SubIac:
            if (b == IAC) {
                if (sub_.size() < kMaxSubnegotiation) {
                    sub_.push_back(IAC);
                    state_ = EState::Sub;
                } else {
                    sub_.clear();
                    state_ = EState::Skip;
                }
            } else if (b == SE) {
                EndSub(commands);
            } else {
                // A command inside a subnegotiation: the peer lost the SE. Drop what was read
                // and take the command as it stands, so one bad subnegotiation costs no more.
                sub_.clear();
                AfterIac(b);
            }
            break;
        case EState::Skip:
            if (b == IAC)
                state_ = EState::SkipIac;
            break;
        case EState::SkipIac:
            if (b == SE)
                state_ = EState::Data;
            else if (b == IAC)
                state_ = EState::Skip;
            else
                AfterIac(b);
            break;
        }
    }
}

void AppendEscaped(const uint8_t *data, size_t count, Bytes *out)
{
    for (size_t i = 0; i < count; ++i) {
        out->push_back(data[i]);
        if (data[i] == IAC)
            out->push_back(IAC);
    }
}

Bytes Escaped(const Bytes &data)
{
    Bytes out;
    out.reserve(data.size());
    AppendEscaped(data.data(), data.size(), &out);
    return out;
}

Bytes OptionCommand(uint8_t verb, uint8_t option)
{
    return {IAC, verb, option};
}

Bytes ComPortCommand(uint8_t code, const Bytes &value)
{
    Bytes out{IAC, SB, OptComPort};
    AppendEscaped(&code, 1, &out);
    AppendEscaped(value.data(), value.size(), &out);
    out.push_back(IAC);
    out.push_back(SE);
    return out;
}

Bytes ComPortCommand(uint8_t code, uint8_t value)
{
    return ComPortCommand(code, Bytes{value});
}

Bytes BaudCommand(uint32_t baud, uint8_t code)
{
    return ComPortCommand(code, Bytes{static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
                                      static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud)});
}

uint32_t BaudOf(const Bytes &value)
{
    if (value.size() != 4)
        return 0;
    return static_cast<uint32_t>(value[0]) << 24 | static_cast<uint32_t>(value[1]) << 16 |
           static_cast<uint32_t>(value[2]) << 8 | value[3];
}

} // namespace telnet
