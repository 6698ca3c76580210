#include "data/symboltable.h"
#include "platform/textfile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const std::vector<std::string> lines = SplitTextLines(text);

    CSymbolTable table;
    table.LoadFromLines(lines);
    // A 128-line file from the input's lines repeated, so the loader itself is reached (kept to
    // small inputs: 128 copies of a huge line only measure linear cost).
    if (!lines.empty() && size <= 65536) {
        std::vector<std::string> full;
        for (size_t i = 0; i < CSymbolTable::kCount; ++i)
            full.push_back(lines[i % lines.size()]);
        if (!table.LoadFromLines(full))
            std::abort();
    }
    std::vector<std::string> saved;
    for (int b = 0; b < CSymbolTable::kCount; ++b)
        saved.push_back(CSymbolTable::FormatLine(table.Entry(b)));
    CSymbolTable back;
    if (!back.LoadFromLines(saved) || !(back == table))
        std::abort();
    for (int b = 0; b < 256; ++b) {
        std::string shown;
        if (back.Lookup(static_cast<uint8_t>(b), shown) && b > 0x7F)
            std::abort();
    }
    return 0;
}
