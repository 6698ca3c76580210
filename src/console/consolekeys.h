#pragma once
// What a key pressed in the console sends to the device: the bytes an xterm sends for it, so that
// shells, editors and boot loaders on the far end understand them. A pure function of the key,
// the modes the device has set and the console's settings.
#include <cstdint>
#include <string>

enum class EConsoleKey : uint8_t {
    Text, // a character; ST_ConsoleKey::Text holds its bytes in the window's text encoding
    Enter,
    Backspace,
    Tab,
    Escape,
    Up,
    Down,
    Right,
    Left,
    Home,
    End,
    PageUp,
    PageDown,
    Insert,
    Delete,
    F1,
    F2,
    F3,
    F4,
    F5,
    F6,
    F7,
    F8,
    F9,
    F10,
    F11,
    F12,
};

enum class EConsoleEnter : uint8_t { Cr, Lf, CrLf };

struct ST_ConsoleKey
{
    EConsoleKey Key = EConsoleKey::Text;
    std::string Text; // for Text: the character's bytes (for Ctrl: the unshifted character)
    bool Shift = false;
    bool Ctrl = false;
    bool Alt = false;
    bool Keypad = false; // from the numeric keypad (digits, operators, Enter)
};

// Set by the device (DECCKM, DECKPAM/DECKPNM).
struct ST_ConsoleKeyModes
{
    bool AppCursor = false;
    bool AppKeypad = false;
};

struct ST_ConsoleKeySettings
{
    EConsoleEnter Enter = EConsoleEnter::Cr;
    bool BackspaceDel = true; // DEL (0x7F); otherwise BS (0x08)
};

// Empty when the key sends nothing.
std::string ConsoleKeyBytes(const ST_ConsoleKey &key, const ST_ConsoleKeyModes &modes,
                            const ST_ConsoleKeySettings &settings);
