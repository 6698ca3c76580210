#include "console/consolekeys.h"

namespace {

const char kEsc = '\x1b';

// xterm's modifier parameter: 1 + Shift + 2 Alt + 4 Ctrl; 1 means none and is left out.
int ModifierParam(const ST_ConsoleKey &key)
{
    return 1 + (key.Shift ? 1 : 0) + (key.Alt ? 2 : 0) + (key.Ctrl ? 4 : 0);
}

// Keys sent as ESC [ x or ESC O x: the arrows, Home and End (following the cursor mode) and F1-F4
// (always SS3 unmodified).
std::string LetterKey(char letter, bool ss3, int mod)
{
    if (mod > 1)
        return std::string{kEsc, '[', '1', ';'} + std::to_string(mod) + letter;
    return std::string{kEsc, ss3 ? 'O' : '[', letter};
}

std::string TildeKey(int code, int mod)
{
    std::string s{kEsc, '['};
    s += std::to_string(code);
    if (mod > 1)
        s += ';' + std::to_string(mod);
    return s + '~';
}

// The control code Ctrl gives a character, as xterm maps it; -1 when it has none.
int ControlCode(char c)
{
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 1;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 1;
    switch (c) {
    case ' ':
    case '@':
    case '2':
        return 0x00;
    case '[':
    case '3':
        return 0x1b;
    case '\\':
    case '4':
        return 0x1c;
    case ']':
    case '5':
        return 0x1d;
    case '^':
    case '6':
        return 0x1e;
    case '_':
    case '7':
    case '/':
        return 0x1f;
    case '8':
    case '?':
        return 0x7f;
    default:
        return -1;
    }
}

// What the numeric keypad's keys send in application keypad mode (ESC O x).
char AppKeypadLetter(const std::string &text)
{
    if (text.size() != 1)
        return 0;
    const char c = text[0];
    if (c >= '0' && c <= '9')
        return static_cast<char>('p' + (c - '0'));
    switch (c) {
    case '*':
        return 'j';
    case '+':
        return 'k';
    case ',':
        return 'l';
    case '-':
        return 'm';
    case '.':
        return 'n';
    case '/':
        return 'o';
    case '=':
        return 'X';
    default:
        return 0;
    }
}

std::string WithAlt(const ST_ConsoleKey &key, std::string bytes)
{
    if (key.Alt && !bytes.empty())
        bytes.insert(bytes.begin(), kEsc);
    return bytes;
}

std::string TextBytes(const ST_ConsoleKey &key, const ST_ConsoleKeyModes &modes)
{
    if (key.Text.empty())
        return {};
    if (key.Keypad && modes.AppKeypad && !key.Ctrl && !key.Alt)
        if (const char letter = AppKeypadLetter(key.Text))
            return std::string{kEsc, 'O', letter};
    if (key.Ctrl && key.Text.size() == 1) {
        const int code = ControlCode(key.Text[0]);
        if (code >= 0)
            return WithAlt(key, std::string(1, static_cast<char>(code)));
    }
    return WithAlt(key, key.Text);
}

} // namespace

std::string ConsoleKeyBytes(const ST_ConsoleKey &key, const ST_ConsoleKeyModes &modes,
                            const ST_ConsoleKeySettings &settings)
{
    const int mod = ModifierParam(key);
    switch (key.Key) {
    case EConsoleKey::Text:
        return TextBytes(key, modes);
    case EConsoleKey::Enter:
        if (key.Keypad && modes.AppKeypad)
            return std::string{kEsc, 'O', 'M'};
        switch (settings.Enter) {
        case EConsoleEnter::Lf:
            return WithAlt(key, "\n");
        case EConsoleEnter::CrLf:
            return WithAlt(key, "\r\n");
        case EConsoleEnter::Cr:
            break;
        }
        return WithAlt(key, "\r");
    case EConsoleKey::Backspace:
        // Ctrl gives the other code, so a device expecting it can still be reached.
        return WithAlt(key, settings.BackspaceDel != key.Ctrl ? "\x7f" : "\b");
    case EConsoleKey::Tab:
        if (key.Shift)
            return WithAlt(key, std::string{kEsc, '[', 'Z'});
        return WithAlt(key, "\t");
    case EConsoleKey::Escape:
        return WithAlt(key, std::string(1, kEsc));
    case EConsoleKey::Up:
        return LetterKey('A', modes.AppCursor, mod);
    case EConsoleKey::Down:
        return LetterKey('B', modes.AppCursor, mod);
    case EConsoleKey::Right:
        return LetterKey('C', modes.AppCursor, mod);
    case EConsoleKey::Left:
        return LetterKey('D', modes.AppCursor, mod);
    case EConsoleKey::Home:
        return LetterKey('H', modes.AppCursor, mod);
    case EConsoleKey::End:
        return LetterKey('F', modes.AppCursor, mod);
    case EConsoleKey::Insert:
        return TildeKey(2, mod);
    case EConsoleKey::Delete:
        return TildeKey(3, mod);
    case EConsoleKey::PageUp:
        return TildeKey(5, mod);
    case EConsoleKey::PageDown:
        return TildeKey(6, mod);
    case EConsoleKey::F1:
        return LetterKey('P', true, mod);
    case EConsoleKey::F2:
        return LetterKey('Q', true, mod);
    case EConsoleKey::F3:
        return LetterKey('R', true, mod);
    case EConsoleKey::F4:
        return LetterKey('S', true, mod);
    case EConsoleKey::F5:
        return TildeKey(15, mod);
    case EConsoleKey::F6:
        return TildeKey(17, mod);
    case EConsoleKey::F7:
        return TildeKey(18, mod);
    case EConsoleKey::F8:
        return TildeKey(19, mod);
    case EConsoleKey::F9:
        return TildeKey(20, mod);
    case EConsoleKey::F10:
        return TildeKey(21, mod);
    case EConsoleKey::F11:
        return TildeKey(23, mod);
    case EConsoleKey::F12:
        return TildeKey(24, mod);
    }
    return {};
}
