// Rule files are hand-editable: any bytes must load to completion, without a crash or a leak.
// Writing what loaded may drop what cannot be written back (an empty time text, for one), but the
// written text must then read back to itself.
#include "autosend/rulelist.h"
#include "platform/errors.h"
#include "platform/textfile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    CRuleList list;
    try {
        list.LoadFromLines(SplitTextLines(text));
    } catch (const EConvertError &) {
        // A bad number in a single rule ends the reading; what was read stays.
    }
    CRuleList again;
    again.LoadFromLines(list.SaveToLines());
    const std::vector<std::string> saved = again.SaveToLines();
    CRuleList third;
    third.LoadFromLines(saved);
    if (third.SaveToLines() != saved)
        abort();
    return 0;
}
