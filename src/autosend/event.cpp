#include "autosend/event.h"

#include "autosend/keyline.h"
#include "data/commatext.h"
#include "platform/clock.h"

#include <algorithm>
#include <vector>

std::string CActionEvent::Description() const
{
    switch (ActionType) {
    case ACTION_BEGIN:
        return "Action : Begin";
    case ACTION_PAUSE:
        return "Action : Pause";
    case ACTION_RESUME:
        return "Action : Resume";
    case ACTION_STOP:
        return "Action : Stop";
    default:
        return std::string();
    }
}

bool CActionEvent::LoadText(const std::string &text)
{
    ActionType = static_cast<uint8_t>(ReadKeyInt(text));
    return true;
}

std::string CActionEvent::SaveText() const
{
    return "ActionType=" + std::to_string(ActionType);
}

bool CActionEvent::Check(ST_EventContext &context)
{
    // An event whose type happens to equal the "no action" marker must not fire on every pass.
    if (context.Action == ACTION_NONE || context.Action != ActionType)
        return false;
    context.Action = ACTION_NONE;
    return true;
}

std::string CTimeEvent::TypeName(TIME_EVENT_TYPE type)
{
    switch (type) {
    case TIME_ABSOLUTE:
        return "Time Absolure";
    case TIME_FROM_START:
        return "Time From Start";
    case TIME_FROM_SEND_BEGIN:
        return "Time From Last Send Begin";
    case TIME_FROM_SEND_END:
        return "Time From Last Send End";
    case TIME_FROM_REC_BEGIN:
        return "Time From Receive Begin";
    case TIME_FROM_REC_END:
        return "Time From Receive End";
    default:
        return std::string();
    }
}

std::string CTimeEvent::Description() const
{
    return TypeName(TimeType) + ": Value" + TimeText;
}

bool CTimeEvent::LoadText(const std::string &text)
{
    const std::vector<std::string> fields = SplitCommaText(text);
    if (fields.size() != 2)
        return false;
    TimeText = ReadKeyValue(fields[0]);
    int type = 0;
    if (!ScanInt(ReadKeyValue(fields[1]), type))
        return false;
    TimeType = static_cast<TIME_EVENT_TYPE>(type);
    return true;
}

std::string CTimeEvent::SaveText() const
{
    // The text is read through two splits (the line, then its "Time=" field). A text that either
    // would cut or unquote (a hand-edited file can give such) is quoted for that split, so it reads
    // back as it was; any time text the dialog takes is written as it is.
    return QuoteFieldIfNeeded("Time=" + QuoteFieldIfNeeded(TimeText)) +
           ",TimeType=" + std::to_string(TimeType);
}

namespace {

// One "%d" of a scanf pattern at `pos`; advances past it.
bool ScanField(const std::string &text, size_t &pos, int &value)
{
    size_t i = pos;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    size_t j = i;
    if (j < text.size() && (text[j] == '-' || text[j] == '+'))
        ++j;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9')
        ++j;
    if (!ScanInt(text.substr(i, j - i), value))
        return false;
    pos = j;
    return true;
}

bool Expect(const std::string &text, size_t &pos, char c)
{
    if (pos >= text.size() || text[pos] != c)
        return false;
    ++pos;
    return true;
}

} // namespace

bool ParseTimeText(const std::string &text, int64_t &ms)
{
    size_t pos = 0;
    int h = 0, m = 0, s = 0, z = 0;
    if (!ScanField(text, pos, h) || !Expect(text, pos, ':') || !ScanField(text, pos, m) ||
        !Expect(text, pos, ':') || !ScanField(text, pos, s) || !Expect(text, pos, '.') ||
        !ScanField(text, pos, z))
        return false;
    if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59 || z < 0 || z > 999)
        return false;
    ms = ((static_cast<int64_t>(h) * 60 + m) * 60 + s) * 1000 + z;
    return true;
}

namespace {

// The time a relative type counts from; false for the time of day, a type outside the known
// ones, and a mark not yet set in this run.
bool MarkOf(const ST_EventContext &context, TIME_EVENT_TYPE timeType, int64_t &mark)
{
    switch (timeType) {
    case TIME_FROM_START:
        mark = context.StartTime;
        return true;
    case TIME_FROM_SEND_BEGIN:
        mark = context.SendBeginTime;
        return context.SendBeginValid;
    case TIME_FROM_SEND_END:
        mark = context.SendEndTime;
        return context.SendEndValid;
    case TIME_FROM_REC_BEGIN:
        mark = context.RecBeginTime;
        return context.RecBeginValid;
    case TIME_FROM_REC_END:
        mark = context.RecEndTime;
        return context.RecEndValid;
    default:
        return false;
    }
}

} // namespace

bool CTimeEvent::Check(ST_EventContext &context)
{
    // Its value was 0 when the time it counts from was last set, so a pass then would have seen
    // it below the target. Passes come every 10 ms or so, later on a loaded machine, and a block
    // reaches them a frame or more after it ended: without this, a group stepping "10 ms after a
    // send began" stops for good the first time no pass falls within those 10 ms, and a rule
    // "50 ms after a block ended" misses a block that came late. A mark set before the first pass
    // is not known to be new; one set while paused arms nothing, as a pass then would not have.
    int64_t mark = 0;
    const bool marked = MarkOf(context, TimeType, mark);
    const bool markMoved = marked && m_passed && (!m_markSet || mark != m_markSeen);
    m_passed = true;
    m_markSet = marked;
    m_markSeen = mark;
    if (context.Paused)
        return false;
    // The time compared with the target.
    int64_t value = 0;
    if (TimeType == TIME_ABSOLUTE)
        value = TimeOfDayMs(context.Now);
    else if (marked)
        value = context.Now - mark;
    else
        return false;
    if (FireState == 2)
        return false;
    int64_t target = 0;
    if (!ParseTimeText(TimeText, target))
        return false;
    if (markMoved && FireState == 0 && target > 0)
        FireState = 1;
    if (value < target && FireState == 0)
        FireState = 1;
    else if (value > target && FireState == 1)
        FireState = 2;
    return FireState == 2;
}

void CTimeEvent::Watch(const ST_EventContext &context)
{
    int64_t mark = 0;
    m_markSet = MarkOf(context, TimeType, mark);
    m_markSeen = mark;
    m_passed = true;
}

bool CReceiveAnythingEvent::Check(ST_EventContext &context)
{
    if (!context.HasNewData)
        return false;
    context.HasNewData = false;
    return true;
}

std::string CReceiveFixLengthEvent::Description() const
{
    return "Receive Fixed Length : " + std::to_string(FixLength);
}

bool CReceiveFixLengthEvent::LoadText(const std::string &text)
{
    int length = 0;
    if (!ScanInt(ReadKeyValue(text), length))
        return false;
    FixLength = length;
    return true;
}

std::string CReceiveFixLengthEvent::SaveText() const
{
    return "FixLength=" + std::to_string(FixLength);
}

bool CReceiveFixLengthEvent::Check(ST_EventContext &context)
{
    if (!context.HasNewData || context.NewData.GetLength() != FixLength)
        return false;
    context.HasNewData = false;
    return true;
}

std::string CReceiveSpecDataEvent::Description() const
{
    return "Receive Spec Data : " + SpecData.Summary();
}

bool CReceiveSpecDataEvent::LoadText(const std::string &text)
{
    SpecData.FromLine(text);
    return false;
}

bool CReceiveSpecDataEvent::Check(ST_EventContext &context)
{
    if (!context.HasNewData)
        return false;
    const Bytes &prefix = SpecData.Data();
    const Bytes &data = context.NewData.Data();
    if (data.size() < prefix.size() || !std::equal(prefix.begin(), prefix.end(), data.begin()))
        return false;
    context.HasNewData = false;
    return true;
}

std::unique_ptr<CEvent> CreateEvent(const std::string &className)
{
    if (className == "CActionEvent")
        return std::make_unique<CActionEvent>();
    if (className == "CTimeEvent")
        return std::make_unique<CTimeEvent>();
    if (className == "CReceiveAnythingEvent")
        return std::make_unique<CReceiveAnythingEvent>();
    if (className == "CReceiveFixLengthEvent")
        return std::make_unique<CReceiveFixLengthEvent>();
    if (className == "CReceiveSpecDataEvent")
        return std::make_unique<CReceiveSpecDataEvent>();
    return nullptr;
}
