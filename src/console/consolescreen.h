#pragma once
// The console's terminal screen. Bytes from the device go through a VT emulator (libvterm), which
// keeps the cells; this class adds the scrollback, what changed since the view last drew, and the
// terminal's answers (cursor position reports, device attributes), which go back to the device.
// Plain C++; one thread at a time.
#include "console/consolekeys.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ST_ConsoleColour
{
    uint8_t R = 0, G = 0, B = 0;
    bool Default = true; // the view's own foreground or background, not a colour the device chose
    bool operator==(const ST_ConsoleColour &o) const
    {
        return Default == o.Default && (Default || (R == o.R && G == o.G && B == o.B));
    }
};

struct ST_ConsoleCell
{
    static constexpr size_t kMaxChars = 4;   // a base character and combining marks
    std::array<char32_t, kMaxChars> Chars{}; // 0-ended; all 0 for an empty cell
    uint8_t Width = 1;                       // 2 for a wide character; its right half has Width 0
    ST_ConsoleColour Fg, Bg;
    bool Bold = false, Italic = false, Underline = false, Reverse = false, Strike = false, Blink = false;
};

struct ST_ConsolePos
{
    int Row = 0;
    int Col = 0;
};

class CConsoleScreen
{
public:
    CConsoleScreen(int rows, int cols);
    ~CConsoleScreen();
    CConsoleScreen(const CConsoleScreen &) = delete;
    CConsoleScreen &operator=(const CConsoleScreen &) = delete;

    // Received bytes read as UTF-8 (default) or as Latin-1.
    void SetUtf8(bool on);
    void Feed(const uint8_t *bytes, size_t count);
    // The terminal's answers since the last call, for the device.
    std::vector<uint8_t> TakeAnswers();

    // At least 1 row and 2 columns (libvterm cannot place a wide character in one); lines pushed off the top
    // go to the scrollback, and come back when it grows.
    void Resize(int rows, int cols);
    int Rows() const;
    int Cols() const;

    // Rows 0..Rows()-1 are the screen; -1..-ScrollbackLines() the scrollback, -1 the newest.
    ST_ConsoleCell Cell(int row, int col) const;
    // A whole row's cells at once (Cols() of them), cheaper than a Cell per column.
    void RowCells(int row, std::vector<ST_ConsoleCell> &out) const;
    // A row's text as UTF-8, without its trailing blanks.
    std::string RowText(int row) const;
    size_t ScrollbackLines() const;
    // Default 10,000 lines; the oldest go first. The scrollback also stays within a memory budget.
    void SetScrollbackLimit(size_t lines);
    void ClearScrollback();
    size_t MemoryBytes() const;

    // What changed since the last call: screen rows FirstRow..EndRow-1 (none when FirstRow ==
    // EndRow), and how many lines went into the scrollback meanwhile (a view scrolled back keeps
    // its place by them).
    struct ST_Damage
    {
        int FirstRow = 0;
        int EndRow = 0;
        size_t PushedLines = 0;
        bool CursorMoved = false;
        bool Any() const { return FirstRow < EndRow || PushedLines > 0 || CursorMoved; }
    };
    ST_Damage TakeDamage();

    ST_ConsolePos Cursor() const;
    bool CursorVisible() const;
    bool AltScreen() const;
    std::string Title() const;
    // True once per bell since the last call.
    bool TakeBell();
    // The cursor and keypad modes the device set, for ConsoleKeyBytes.
    ST_ConsoleKeyModes KeyModes() const;

    struct Impl; // public for libvterm's callbacks only

private:
    std::unique_ptr<Impl> m_d;
};
