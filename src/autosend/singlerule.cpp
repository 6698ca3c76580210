#include "autosend/keyline.h"
#include "autosend/rule.h"

#include <climits>

namespace {

std::unique_ptr<CEvent> CloneOf(const std::unique_ptr<CEvent> &event)
{
    return event ? event->Clone() : nullptr;
}

} // namespace

CSingleRule::CSingleRule(const CSingleRule &other)
    : CRule(other), Event(CloneOf(other.Event)), DataItem(other.DataItem), Delay(other.Delay),
      Always(other.Always), FireCount(other.FireCount)
{
}

CSingleRule &CSingleRule::operator=(const CSingleRule &other)
{
    if (this != &other) {
        CRule::operator=(other);
        Event = CloneOf(other.Event);
        DataItem = other.DataItem;
        Delay = other.Delay;
        Always = other.Always;
        FireCount = other.FireCount;
    }
    return *this;
}

std::string CSingleRule::Description() const
{
    if (!Event)
        return "Empty";
    return Event->Description() + " | " + DataItem.Summary();
}

bool CSingleRule::LoadBlock(CRuleLines &lines)
{
    std::vector<std::string> block;
    if (!lines.TakeBlock(BeginTag(), EndTag(), block))
        return false;
    if (block.size() < 7)
        return false;
    Name = block[1];
    Event = CreateEvent(block[2]);
    if (Event)
        Event->LoadText(block[3]);
    DataItem.FromLine(block[4]);
    Delay = ReadKeyInt(block[5]);
    Always = ReadKeyInt(block[6]) != 0;
    return true;
}

void CSingleRule::SaveBlock(std::vector<std::string> &lines) const
{
    if (!Event)
        return;
    lines.push_back(BeginTag());
    lines.push_back(RuleNameLine(Name));
    lines.push_back(Event->ClassName());
    lines.push_back(Event->SaveText());
    lines.push_back(DataItem.ToLine());
    lines.push_back("Delay=" + std::to_string(Delay));
    lines.push_back(std::string("Always=") + (Always ? "1" : "0"));
    lines.push_back(EndTag());
}

bool CSingleRule::Check(ST_EventContext &context)
{
    if (!Always && FireCount > 0)
        return false;
    if (!Event || !Event->Check(context))
        return false;
    if (FireCount < INT_MAX)
        ++FireCount;
    Event->Reset();
    return true;
}

ST_SendData CSingleRule::MakeSendData(int64_t now) const
{
    return ST_SendData{now + Delay, DataItem};
}

void CSingleRule::Rearm()
{
    if (Event)
        Event->Reset();
}
