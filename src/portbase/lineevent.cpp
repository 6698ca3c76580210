#include "portbase/lineevent.h"

std::string LineEventText(const ST_LineEvent &event)
{
    const auto counted = [&event](const char *one, const char *many) {
        return event.Count > 1 ? std::to_string(event.Count) + " " + many : std::string(one);
    };
    switch (event.Kind) {
    case ELineEvent::ModemLines: {
        static const struct
        {
            uint8_t Bit;
            const char *Name;
        } kInputs[] = {{kLineCts, "CTS"}, {kLineDsr, "DSR"}, {kLineDcd, "DCD"}, {kLineRi, "RI"}};
        std::string text;
        for (const auto &line : kInputs) {
            if (((event.Before ^ event.After) & line.Bit) == 0)
                continue;
            text += (text.empty() ? "" : ", ") + std::string(line.Name) +
                    ((event.After & line.Bit) ? " on" : " off");
        }
        // A pulse that came and went between two looks leaves the level as it was.
        return text.empty() ? std::string("Modem lines changed and back") : text;
    }
    case ELineEvent::Break:
        return counted("Break", "breaks");
    case ELineEvent::Framing:
        return counted("Framing error", "framing errors");
    case ELineEvent::Parity:
        return counted("Parity error", "parity errors");
    case ELineEvent::Overrun:
        return counted("Overrun", "overruns");
    }
    return std::string();
}
