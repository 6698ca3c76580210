#include "netport/telnetcodec.h"

namespace telnet {

void CDecoder::Reset()
{
    m_state = EState::Data;
    m_verb = 0;
    m_sub.clear();
}

// A byte after IAC, outside a subnegotiation (or ending one that lost its SE).
void CDecoder::AfterIac(uint8_t byte)
{
    if (byte >= WILL && byte <= DONT) {
        m_verb = byte;
        m_state = EState::Verb;
    } else if (byte == SB) {
        m_sub.clear();
        m_state = EState::Sub;
    } else {
        m_state = EState::Data; // NOP, GA, a stray SE, or no command at all
    }
}

void CDecoder::EndSub(std::vector<ST_Command> *commands)
{
    if (m_sub.size() >= 2 && m_sub[0] == OptComPort) {
        ST_Command c;
        c.Kind = ST_Command::ComPort;
        c.Option = OptComPort;
        c.Code = m_sub[1];
        c.Value.assign(m_sub.begin() + 2, m_sub.end());
        commands->push_back(std::move(c));
    }
    m_sub.clear();
    m_state = EState::Data;
}

void CDecoder::Feed(const uint8_t *bytes, size_t count, Bytes *data, std::vector<ST_Command> *commands)
{
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        switch (m_state) {
        case EState::Data: {
            // The common case: copy the run up to the next IAC at once.
            size_t end = i;
            while (end < count && bytes[end] != IAC)
                ++end;
            data->insert(data->end(), bytes + i, bytes + end);
            i = end;
            if (i < count)
                m_state = EState::Iac;
            break;
        }
        case EState::Iac:
            if (b == IAC) {
                data->push_back(IAC);
                m_state = EState::Data;
            } else {
                AfterIac(b);
            }
            break;
        case EState::Verb: {
            static constexpr ST_Command::EKind kKinds[] = {ST_Command::Will, ST_Command::Wont, ST_Command::Do,
                                                           ST_Command::Dont};
            ST_Command c;
            c.Kind = kKinds[m_verb - WILL];
            c.Option = b;
            commands->push_back(std::move(c));
            m_state = EState::Data;
            break;
        }
        case EState::Sub:
            if (b == IAC) {
                m_state = EState::SubIac;
            } else if (m_sub.size() < kMaxSubnegotiation) {
                m_sub.push_back(b);
            } else {
                m_sub.clear();
                m_state = EState::Skip;
            }
            break;
        case EState::SubIac:
            if (b == IAC) {
                if (m_sub.size() < kMaxSubnegotiation) {
                    m_sub.push_back(IAC);
                    m_state = EState::Sub;
                } else {
                    m_sub.clear();
                    m_state = EState::Skip;
                }
            } else if (b == SE) {
                EndSub(commands);
            } else {
                // A command inside a subnegotiation: the peer lost the SE. Drop what was read
                // and take the command as it stands, so one bad subnegotiation costs no more.
                m_sub.clear();
                AfterIac(b);
            }
            break;
        case EState::Skip:
            if (b == IAC)
                m_state = EState::SkipIac;
            break;
        case EState::SkipIac:
            if (b == SE)
                m_state = EState::Data;
            else if (b == IAC)
                m_state = EState::Skip;
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
