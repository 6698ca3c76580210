#pragma once
// The line a console shell edits while it is typed: what a terminal sees is what a small board's
// shell echoes (typed characters, "\b \b" for an erased one, "^C"), so the program's console, log
// and key map have a real line discipline to talk to. Bounded: a line holds at most kMaxLine
// bytes (one bell for the rest of a line that overflows, the bytes dropped) and the history the
// last kMaxHistory lines.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace demo {

class CBoardLine
{
public:
    static constexpr size_t kMaxLine = 4096;
    static constexpr size_t kMaxHistory = 100;

    enum class EEvent : uint8_t {
        None,
        Line,       // CR or LF: Entered() holds it, the editor starts a fresh one
        Interrupt,  // Ctrl+C: "^C" and a line end echoed, the line dropped
        EndOfInput, // Ctrl+D on an empty line
        Complete,   // Tab
    };

    // Takes one byte of what the terminal sent; the answer for its screen is appended to `echo`.
    EEvent Take(uint8_t byte, std::string *echo);

    const std::string &Entered() const { return m_entered; }
    const std::string &Text() const { return m_text; }
    bool CursorAtEnd() const { return m_cursor == m_text.size(); }
    // Types `text` at the cursor, as a completion does.
    void Insert(const std::string &text, std::string *echo);
    // Writes the line again behind a prompt just written, the cursor where it was.
    void Redraw(std::string *echo) const;
    // A new, empty line; the history stays.
    void Reset();
    // A password is typed blind and kept out of the history.
    void SetEcho(bool echo) { m_echo = echo; }
    void SetHistory(bool keep) { m_keepHistory = keep; }

private:
    EEvent TakeEscape(uint8_t byte, std::string *echo);
    void Backspace(std::string *echo);
    void DeleteForward(std::string *echo);
    void KillToStart(std::string *echo);
    void MoveLeft(std::string *echo);
    void MoveRight(std::string *echo);
    void Home(std::string *echo);
    void End(std::string *echo);
    void Recall(int step, std::string *echo);
    void Replace(const std::string &text, std::string *echo);
    EEvent EndLine(std::string *echo);

    std::string m_text;
    size_t m_cursor = 0; // a byte offset on a character's start
    std::string m_entered;
    bool m_echo = true;
    bool m_keepHistory = true;
    bool m_overflowed = false;

    std::vector<std::string> m_history;
    size_t m_historyIndex = 0; // m_history.size(): the line being typed
    std::string m_draft;       // that line while older ones are shown

    enum class EEscape : uint8_t { None, Esc, Csi, Ss3 };
    EEscape m_escape = EEscape::None;
    unsigned m_param = 0;
};

} // namespace demo
