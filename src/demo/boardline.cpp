#include "demo/boardline.h"

namespace demo {

namespace {

bool Continues(char c)
{
    return (static_cast<uint8_t>(c) & 0xC0) == 0x80;
}

// Screen columns of a stretch of UTF-8 text: one a character, whatever its width.
size_t Columns(const std::string &text, size_t from, size_t to)
{
    size_t columns = 0;
    for (size_t i = from; i < to; ++i)
        columns += !Continues(text[i]);
    return columns;
}

void Back(size_t columns, std::string *echo)
{
    echo->append(columns, '\b');
}

} // namespace

void CBoardLine::Reset()
{
    m_text.clear();
    m_cursor = 0;
    m_overflowed = false;
    m_escape = EEscape::None;
    m_historyIndex = m_history.size();
    m_draft.clear();
}

CBoardLine::EEvent CBoardLine::Take(uint8_t byte, std::string *echo)
{
    if (m_escape != EEscape::None)
        return TakeEscape(byte, echo);
    switch (byte) {
    case '\r':
    case '\n':
        return EndLine(echo);
    case 0x03:
        if (m_echo)
            echo->append("^C\r\n");
        Reset();
        return EEvent::Interrupt;
    case 0x04:
        return m_text.empty() ? EEvent::EndOfInput : EEvent::None;
    case 0x7F:
    case '\b':
        Backspace(echo);
        return EEvent::None;
    case '\t':
        return EEvent::Complete;
    case 0x15:
        KillToStart(echo);
        return EEvent::None;
    case 0x01:
        Home(echo);
        return EEvent::None;
    case 0x05:
        End(echo);
        return EEvent::None;
    case 0x1B:
        m_escape = EEscape::Esc;
        return EEvent::None;
    default:
        break;
    }
    if (byte < 0x20)
        return EEvent::None;
    Insert(std::string(1, static_cast<char>(byte)), echo);
    return EEvent::None;
}

CBoardLine::EEvent CBoardLine::TakeEscape(uint8_t byte, std::string *echo)
{
    if (m_escape == EEscape::Esc) {
        m_param = 0;
        m_escape = byte == '[' ? EEscape::Csi : byte == 'O' ? EEscape::Ss3 : EEscape::None;
        return EEvent::None;
    }
    if (m_escape == EEscape::Csi && byte >= '0' && byte <= '9') {
        m_param = m_param < 1000 ? m_param * 10 + (byte - '0') : m_param;
        return EEvent::None;
    }
    if (m_escape == EEscape::Csi && byte >= 0x20 && byte < 0x40)
        return EEvent::None; // ';' and the like: what follows them changes nothing here
    m_escape = EEscape::None;
    switch (byte) {
    case 'A':
        Recall(-1, echo);
        break;
    case 'B':
        Recall(+1, echo);
        break;
    case 'C':
        MoveRight(echo);
        break;
    case 'D':
        MoveLeft(echo);
        break;
    case 'H':
        Home(echo);
        break;
    case 'F':
        End(echo);
        break;
    case '~':
        if (m_param == 1 || m_param == 7)
            Home(echo);
        else if (m_param == 4 || m_param == 8)
            End(echo);
        else if (m_param == 3)
            DeleteForward(echo);
        break;
    default:
        break;
    }
    return EEvent::None;
}

CBoardLine::EEvent CBoardLine::EndLine(std::string *echo)
{
    echo->append("\r\n");
    m_entered = m_text;
    if (m_keepHistory && m_echo && !m_text.empty() && (m_history.empty() || m_history.back() != m_text)) {
        if (m_history.size() == kMaxHistory)
            m_history.erase(m_history.begin());
        m_history.push_back(m_text);
    }
    Reset();
    return EEvent::Line;
}

void CBoardLine::Insert(const std::string &text, std::string *echo)
{
    if (m_text.size() + text.size() > kMaxLine) {
        if (!m_overflowed)
            echo->push_back('\a');
        m_overflowed = true;
        return;
    }
    m_text.insert(m_cursor, text);
    m_cursor += text.size();
    if (!m_echo)
        return;
    echo->append(text);
    echo->append(m_text, m_cursor, std::string::npos);
    Back(Columns(m_text, m_cursor, m_text.size()), echo);
}

void CBoardLine::Redraw(std::string *echo) const
{
    if (!m_echo)
        return;
    echo->append(m_text);
    Back(Columns(m_text, m_cursor, m_text.size()), echo);
}

void CBoardLine::Backspace(std::string *echo)
{
    if (m_cursor == 0) {
        echo->push_back('\a');
        return;
    }
    size_t start = m_cursor - 1;
    while (start > 0 && Continues(m_text[start]))
        --start;
    m_text.erase(start, m_cursor - start);
    m_cursor = start;
    if (!m_echo)
        return;
    echo->push_back('\b');
    echo->append(m_text, m_cursor, std::string::npos);
    echo->append(" ");
    Back(Columns(m_text, m_cursor, m_text.size()) + 1, echo);
}

void CBoardLine::DeleteForward(std::string *echo)
{
    if (m_cursor == m_text.size())
        return;
    size_t end = m_cursor + 1;
    while (end < m_text.size() && Continues(m_text[end]))
        ++end;
    m_text.erase(m_cursor, end - m_cursor);
    if (!m_echo)
        return;
    echo->append(m_text, m_cursor, std::string::npos);
    echo->append(" ");
    Back(Columns(m_text, m_cursor, m_text.size()) + 1, echo);
}

void CBoardLine::KillToStart(std::string *echo)
{
    const size_t before = Columns(m_text, 0, m_cursor);
    m_text.erase(0, m_cursor);
    m_cursor = 0;
    if (!m_echo)
        return;
    Back(before, echo);
    echo->append(m_text);
    echo->append("\x1b[K");
    Back(Columns(m_text, 0, m_text.size()), echo);
}

void CBoardLine::MoveLeft(std::string *echo)
{
    if (m_cursor == 0)
        return;
    do
        --m_cursor;
    while (m_cursor > 0 && Continues(m_text[m_cursor]));
    if (m_echo)
        echo->push_back('\b');
}

void CBoardLine::MoveRight(std::string *echo)
{
    if (m_cursor == m_text.size())
        return;
    const size_t from = m_cursor;
    do
        ++m_cursor;
    while (m_cursor < m_text.size() && Continues(m_text[m_cursor]));
    // Writing the character again moves over it on any terminal.
    if (m_echo)
        echo->append(m_text, from, m_cursor - from);
}

void CBoardLine::Home(std::string *echo)
{
    if (m_echo)
        Back(Columns(m_text, 0, m_cursor), echo);
    m_cursor = 0;
}

void CBoardLine::End(std::string *echo)
{
    if (m_echo)
        echo->append(m_text, m_cursor, std::string::npos);
    m_cursor = m_text.size();
}

void CBoardLine::Replace(const std::string &text, std::string *echo)
{
    if (m_echo) {
        Back(Columns(m_text, 0, m_cursor), echo);
        echo->append(text);
        echo->append("\x1b[K");
    }
    m_text = text;
    m_cursor = m_text.size();
}

void CBoardLine::Recall(int step, std::string *echo)
{
    if (!m_keepHistory || !m_echo)
        return;
    if ((step < 0 && m_historyIndex == 0) || (step > 0 && m_historyIndex >= m_history.size())) {
        echo->push_back('\a');
        return;
    }
    if (m_historyIndex == m_history.size())
        m_draft = m_text;
    m_historyIndex = step < 0 ? m_historyIndex - 1 : m_historyIndex + 1;
    Replace(m_historyIndex == m_history.size() ? m_draft : m_history[m_historyIndex], echo);
}

} // namespace demo
