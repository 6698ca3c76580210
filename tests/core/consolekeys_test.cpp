#include "console/consolekeys.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ST_Row
{
    EConsoleKey Key;
    const char *Mods; // S, A, C, K (keypad)
    const char *Text;
    bool AppCursor, AppKeypad;
    std::string Expected;
};

std::string Bytes(const ST_Row &r, const ST_ConsoleKeySettings &settings = {})
{
    ST_ConsoleKey key;
    key.Key = r.Key;
    key.Text = r.Text;
    const std::string mods = r.Mods;
    key.Shift = mods.find('S') != std::string::npos;
    key.Alt = mods.find('A') != std::string::npos;
    key.Ctrl = mods.find('C') != std::string::npos;
    key.Keypad = mods.find('K') != std::string::npos;
    return ConsoleKeyBytes(key, ST_ConsoleKeyModes{r.AppCursor, r.AppKeypad}, settings);
}

} // namespace

// What xterm sends for each key, in its default configuration.
TEST(ConsoleKeys, XtermSequences)
{
    using K = EConsoleKey;
    const ST_Row rows[] = {
        // Cursor keys in normal and application cursor mode, and with modifiers (which ignore it).
        {K::Up, "", "", false, false, "\x1b[A"},
        {K::Down, "", "", false, false, "\x1b[B"},
        {K::Right, "", "", false, false, "\x1b[C"},
        {K::Left, "", "", false, false, "\x1b[D"},
        {K::Home, "", "", false, false, "\x1b[H"},
        {K::End, "", "", false, false, "\x1b[F"},
        {K::Up, "", "", true, false, "\x1bOA"},
        {K::Left, "", "", true, false, "\x1bOD"},
        {K::Home, "", "", true, false, "\x1bOH"},
        {K::End, "", "", true, false, "\x1bOF"},
        {K::Up, "C", "", false, false, "\x1b[1;5A"},
        {K::Up, "C", "", true, false, "\x1b[1;5A"},
        {K::Right, "S", "", false, false, "\x1b[1;2C"},
        {K::Left, "A", "", false, false, "\x1b[1;3D"},
        {K::End, "SAC", "", false, false, "\x1b[1;8F"},
        // The editing keys.
        {K::Insert, "", "", false, false, "\x1b[2~"},
        {K::Delete, "", "", true, true, "\x1b[3~"},
        {K::PageUp, "", "", false, false, "\x1b[5~"},
        {K::PageDown, "", "", false, false, "\x1b[6~"},
        {K::Delete, "C", "", false, false, "\x1b[3;5~"},
        {K::PageUp, "S", "", false, false, "\x1b[5;2~"},
        // Function keys.
        {K::F1, "", "", false, false, "\x1bOP"},
        {K::F2, "", "", false, false, "\x1bOQ"},
        {K::F3, "", "", false, false, "\x1bOR"},
        {K::F4, "", "", false, false, "\x1bOS"},
        {K::F5, "", "", false, false, "\x1b[15~"},
        {K::F6, "", "", false, false, "\x1b[17~"},
        {K::F7, "", "", false, false, "\x1b[18~"},
        {K::F8, "", "", false, false, "\x1b[19~"},
        {K::F9, "", "", false, false, "\x1b[20~"},
        {K::F10, "", "", false, false, "\x1b[21~"},
        {K::F11, "", "", false, false, "\x1b[23~"},
        {K::F12, "", "", false, false, "\x1b[24~"},
        {K::F1, "S", "", false, false, "\x1b[1;2P"},
        {K::F5, "C", "", false, false, "\x1b[15;5~"},
        // Tab, Escape, Enter, Backspace.
        {K::Tab, "", "", false, false, "\t"},
        {K::Tab, "S", "", false, false, "\x1b[Z"},
        {K::Escape, "", "", false, false, "\x1b"},
        {K::Enter, "", "", false, false, "\r"},
        {K::Enter, "A", "", false, false, "\x1b\r"},
        {K::Enter, "K", "", false, false, "\r"},
        {K::Enter, "K", "", false, true, "\x1bOM"},
        {K::Backspace, "", "", false, false, "\x7f"},
        {K::Backspace, "A", "", false, false, "\x1b\x7f"},
        {K::Backspace, "C", "", false, false, "\b"},
        // Text, Ctrl and Alt.
        {K::Text, "", "a", false, false, "a"},
        {K::Text, "", "\xc3\xa9", false, false, "\xc3\xa9"},
        {K::Text, "C", "c", false, false, "\x03"},
        {K::Text, "C", "C", false, false, "\x03"},
        {K::Text, "C", "a", false, false, "\x01"},
        {K::Text, "C", "z", false, false, "\x1a"},
        {K::Text, "C", " ", false, false, std::string(1, '\0')},
        {K::Text, "C", "@", false, false, std::string(1, '\0')},
        {K::Text, "C", "[", false, false, "\x1b"},
        {K::Text, "C", "\\", false, false, "\x1c"},
        {K::Text, "C", "]", false, false, "\x1d"},
        {K::Text, "C", "^", false, false, "\x1e"},
        {K::Text, "C", "_", false, false, "\x1f"},
        {K::Text, "A", "x", false, false,
         "\x1b"
         "x"},
        {K::Text, "AC", "c", false, false, "\x1b\x03"},
        // The numeric keypad: digits unless the device set application keypad mode.
        {K::Text, "K", "5", false, false, "5"},
        {K::Text, "K", "0", false, true, "\x1bOp"},
        {K::Text, "K", "9", false, true, "\x1bOy"},
        {K::Text, "K", "+", false, true, "\x1bOk"},
        {K::Text, "K", "-", false, true, "\x1bOm"},
        {K::Text, "K", "*", false, true, "\x1bOj"},
        {K::Text, "K", "/", false, true, "\x1bOo"},
        {K::Text, "K", ".", false, true, "\x1bOn"},
        {K::Text, "", "5", false, true, "5"},
    };
    for (const ST_Row &r : rows)
        EXPECT_EQ(Bytes(r), r.Expected)
            << "key " << int(r.Key) << " mods '" << r.Mods << "' text '" << r.Text << "'";
}

TEST(ConsoleKeys, EnterAndBackspaceFollowTheSettings)
{
    const ST_Row enter{EConsoleKey::Enter, "", "", false, false, ""};
    const ST_Row backspace{EConsoleKey::Backspace, "", "", false, false, ""};
    ST_ConsoleKeySettings s;
    s.Enter = EConsoleEnter::Lf;
    EXPECT_EQ(Bytes(enter, s), "\n");
    s.Enter = EConsoleEnter::CrLf;
    EXPECT_EQ(Bytes(enter, s), "\r\n");
    s.BackspaceDel = false;
    EXPECT_EQ(Bytes(backspace, s), "\b");
    EXPECT_EQ(Bytes(ST_Row{EConsoleKey::Backspace, "C", "", false, false, ""}, s), "\x7f");
}
