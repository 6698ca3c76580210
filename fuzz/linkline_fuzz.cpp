#include "link/linklist.h"
#include "platform/errors.h"
#include "platform/textfile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    COM_PORT_SETTING link = DefaultLinkSetting();
    try {
        if (LinkFromLine(text, link)) {
            LinkToDisplay(link);
            COM_PORT_SETTING back;
            if (!LinkFromLine(LinkToLine(link), back) || back != link)
                std::abort();
        }
    } catch (const EConvertError &) {
        if (link != DefaultLinkSetting())
            std::abort();
    }

    // As a whole file: every line is either a link or left unread for the next save.
    const std::vector<std::string> lines = SplitTextLines(text);
    CLinkList list;
    try {
        list.LoadFromLines(lines);
    } catch (const EConvertError &) {
    }
    if (static_cast<size_t>(list.Count()) + list.UnreadLines().size() != lines.size())
        std::abort();
    for (const COM_PORT_SETTING &l : list.Links())
        LinkToDisplay(l);
    return 0;
}
