#include "autosend/keyline.h"
#include "autosend/rule.h"
#include "platform/errors.h"

#include <stdexcept>

namespace {

std::unique_ptr<CEvent> CloneOf(const std::unique_ptr<CEvent> &event)
{
    return event ? event->Clone() : nullptr;
}

// Walks a group block; running past its end is a failed read.
class CBlockCursor
{
public:
    explicit CBlockCursor(const std::vector<std::string> &block) : m_block(block) {}
    const std::string &Next() { return m_block.at(m_pos++); }
    // Lines left before the end tag, which is never read as content.
    size_t LinesBeforeEnd() const { return m_block.size() - 1 > m_pos ? m_block.size() - 1 - m_pos : 0; }

    std::unique_ptr<CEvent> NextEvent()
    {
        std::unique_ptr<CEvent> event = CreateEvent(Next());
        const std::string &setting = Next();
        if (event)
            event->LoadText(setting);
        return event;
    }

private:
    const std::vector<std::string> &m_block;
    size_t m_pos = 0;
};

struct EBadCount : std::runtime_error
{
    EBadCount() : std::runtime_error("bad item count") {}
};

} // namespace

CGroupRule::CGroupRule(const CGroupRule &other)
    : CRule(other), StartEvent(CloneOf(other.StartEvent)), StartDelay(other.StartDelay),
      StopEvent(CloneOf(other.StopEvent)), StopDelay(other.StopDelay), StepEvent(CloneOf(other.StepEvent)),
      StepDelay(other.StepDelay), Loop(other.Loop), Items(other.Items), Started(other.Started),
      StepIndex(other.StepIndex)
{
}

CGroupRule &CGroupRule::operator=(const CGroupRule &other)
{
    if (this != &other) {
        CGroupRule copy(other);
        CRule::operator=(copy);
        StartEvent = std::move(copy.StartEvent);
        StartDelay = copy.StartDelay;
        StopEvent = std::move(copy.StopEvent);
        StopDelay = copy.StopDelay;
        StepEvent = std::move(copy.StepEvent);
        StepDelay = copy.StepDelay;
        Loop = copy.Loop;
        Items = std::move(copy.Items);
        Started = copy.Started;
        StepIndex = copy.StepIndex;
    }
    return *this;
}

std::string CGroupRule::Description() const
{
    return "Items count: " + std::to_string(Items.size());
}

void CGroupRule::ReadBlock(const std::vector<std::string> &block)
{
    CBlockCursor cursor(block);
    cursor.Next();
    Name = cursor.Next();
    StartEvent = cursor.NextEvent();
    StartDelay = ReadKeyInt(cursor.Next());
    if (ReadKeyInt(cursor.Next()) != 0) {
        StopEvent = cursor.NextEvent();
        StopDelay = ReadKeyInt(cursor.Next());
    } else {
        StopEvent.reset();
        StopDelay = 0;
    }
    StepEvent = cursor.NextEvent();
    StepDelay = ReadKeyInt(cursor.Next());
    Loop = ReadKeyInt(cursor.Next()) != 0;
    const int count = ReadKeyInt(cursor.Next());
    Items.clear();
    // The end tag is never taken for an item: a count larger than the lines there is a bad block.
    if (count < 0 || static_cast<size_t>(count) > cursor.LinesBeforeEnd())
        throw EBadCount();
    for (int i = 0; i < count; ++i) {
        CCommData item;
        item.FromLine(cursor.Next());
        Items.push_back(std::move(item));
    }
}

bool CGroupRule::LoadBlock(CRuleLines &lines)
{
    std::vector<std::string> block;
    if (!lines.TakeBlock(BeginTag(), EndTag(), block))
        return false;
    try {
        ReadBlock(block);
    } catch (const EKestrumError &) {
        return false;
    } catch (const std::out_of_range &) {
        return false;
    } catch (const EBadCount &) {
        return false;
    }
    return true;
}

void CGroupRule::SaveBlock(std::vector<std::string> &lines) const
{
    if (!StartEvent || !StepEvent)
        return;
    lines.push_back(BeginTag());
    lines.push_back(RuleNameLine(Name));
    lines.push_back(StartEvent->ClassName());
    lines.push_back(StartEvent->SaveText());
    lines.push_back("StartDelay=" + std::to_string(StartDelay));
    if (StopEvent) {
        lines.push_back("HasStopEvent=1");
        lines.push_back(StopEvent->ClassName());
        lines.push_back(StopEvent->SaveText());
        lines.push_back("StopDelay=" + std::to_string(StopDelay));
    } else {
        lines.push_back("HasStopEvent=0");
    }
    lines.push_back(StepEvent->ClassName());
    lines.push_back(StepEvent->SaveText());
    lines.push_back("StepDelay=" + std::to_string(StepDelay));
    lines.push_back(std::string("Loop=") + (Loop ? "1" : "0"));
    lines.push_back("CommDataCount=" + std::to_string(Items.size()));
    for (const CCommData &item : Items)
        lines.push_back(item.ToLine());
    lines.push_back(EndTag());
}

bool CGroupRule::Check(ST_EventContext &context)
{
    const int count = static_cast<int>(Items.size());
    if (count == 0)
        return false;
    if (!Started && StartEvent) {
        Started = StartEvent->Check(context);
        if (Started) {
            StepIndex = 0;
            // Step and stop are first checked in the next pass, after the first item's send may
            // have begun: they count from here, or a step "10 ms after a send began" whose first
            // pass came late would take that send's mark as old and never fire.
            if (StepEvent)
                StepEvent->Watch(context);
            if (StopEvent)
                StopEvent->Watch(context);
        }
        return Started;
    }
    bool stop = StopEvent ? StopEvent->Check(context) : false;
    if (StepIndex >= count - 1 && !Loop)
        stop = true;
    if (stop) {
        Started = false;
        StepIndex = -1;
        return false;
    }
    if (!StepEvent || !StepEvent->Check(context))
        return false;
    StepEvent->Reset();
    ++StepIndex;
    if (StepIndex >= count)
        StepIndex = 0;
    return true;
}

ST_SendData CGroupRule::MakeSendData(int64_t now) const
{
    if (Items.empty())
        return ST_SendData{now, CCommData()};
    const size_t index = StepIndex < 0 ? 0 : static_cast<size_t>(StepIndex) % Items.size();
    const int32_t delay = index == 0 ? StartDelay : StepDelay;
    return ST_SendData{now + delay, Items.at(index)};
}
