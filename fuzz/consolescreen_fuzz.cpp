#include "console/consolescreen.h"

#include <cstdint>
#include <cstdlib>

// Bytes from a device drive the screen, with commands of the window mixed in: a 0xFF byte
// followed by an operation and its argument resizes the screen, changes the encoding or the
// scrollback limit, or reads the screen. Nothing may crash, the cursor and the changed rows stay
// on the screen, and the scrollback within its limit and memory.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CConsoleScreen screen(24, 80);
    size_t limit = 10000;
    size_t at = 0;
    while (at < size) {
        size_t end = at;
        while (end < size && data[end] != 0xFF)
            ++end;
        screen.Feed(data + at, end - at);
        at = end;
        if (at + 3 <= size) {
            const uint8_t op = data[at + 1], arg = data[at + 2];
            at += 3;
            switch (op % 5) {
            case 0:
                screen.Resize(arg % 64, (arg * 7) % 300);
                break;
            case 1:
                screen.SetUtf8(arg & 1);
                break;
            case 2:
                limit = arg;
                screen.SetScrollbackLimit(limit);
                break;
            case 3:
                for (int row = -static_cast<int>(screen.ScrollbackLines()); row < screen.Rows(); ++row)
                    screen.RowText(row);
                screen.KeyModes();
                break;
            default:
                screen.ClearScrollback();
                break;
            }
        } else {
            at = size;
        }
        const ST_ConsolePos cursor = screen.Cursor();
        const CConsoleScreen::ST_Damage damage = screen.TakeDamage();
        if (cursor.Row < 0 || cursor.Row >= screen.Rows() || cursor.Col < 0 || cursor.Col >= screen.Cols() ||
            damage.FirstRow < 0 || damage.EndRow > screen.Rows() || damage.FirstRow > damage.EndRow ||
            screen.ScrollbackLines() > limit || screen.MemoryBytes() > size_t{80} * 1024 * 1024)
            std::abort();
        screen.TakeAnswers();
        screen.TakeBell();
    }
    return 0;
}
