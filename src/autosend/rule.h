#pragma once
// What to send and when. A single rule sends one item when its event fires (once per run, or
// every time with Always); a group rule sends its items one by one, the first on its start event,
// each further one on its step event, until the last item or its stop event.
#include "autosend/event.h"
#include "autosend/rulelines.h"
#include "data/commdata.h"

#include <memory>
#include <string>
#include <vector>

struct ST_SendData
{
    int64_t SendTime = 0; // local ms (platform/clock.h)
    CCommData DataItem;
};

class CRule
{
public:
    virtual ~CRule() = default;
    virtual std::unique_ptr<CRule> Clone() const = 0;
    virtual std::string Description() const = 0;
    virtual std::string TypeText() const = 0;
    // Takes the rule's block out of `lines` and reads it. See each class for what fails.
    virtual bool LoadBlock(CRuleLines &lines) = 0;
    // Appends the rule's block; nothing when the rule lacks the events it needs.
    virtual void SaveBlock(std::vector<std::string> &lines) const = 0;
    virtual std::string ClassTag() const = 0;
    std::string BeginTag() const { return "<" + ClassTag() + ">"; }
    std::string EndTag() const { return "</" + ClassTag() + ">"; }
    virtual bool Check(ST_EventContext &context) = 0;
    // Called right after Check returned true; `now` is the current local time in ms.
    virtual ST_SendData MakeSendData(int64_t now) const = 0;
    virtual void Rearm() {}

    std::string Name = "Rule";

protected:
    CRule() = default;
    CRule(const CRule &) = default;
    CRule &operator=(const CRule &) = default;
};

class CSingleRule : public CRule
{
public:
    CSingleRule() = default;
    CSingleRule(const CSingleRule &other);
    CSingleRule &operator=(const CSingleRule &other);

    std::unique_ptr<CRule> Clone() const override { return std::make_unique<CSingleRule>(*this); }
    std::string Description() const override;
    std::string TypeText() const override { return Always ? "Single:Always" : "Single"; }
    // False when the block is missing (nothing taken) or shorter than 7 lines (its lines are gone
    // all the same). A Delay or Always line without a number throws EConvertError.
    bool LoadBlock(CRuleLines &lines) override;
    void SaveBlock(std::vector<std::string> &lines) const override;
    std::string ClassTag() const override { return "CSingleRule"; }
    bool Check(ST_EventContext &context) override;
    ST_SendData MakeSendData(int64_t now) const override;
    void Rearm() override;

    std::unique_ptr<CEvent> Event;
    CCommData DataItem;
    int32_t Delay = 0;
    bool Always = false;
    int32_t FireCount = 0;
};

class CGroupRule : public CRule
{
public:
    CGroupRule() = default;
    CGroupRule(const CGroupRule &other);
    CGroupRule &operator=(const CGroupRule &other);

    std::unique_ptr<CRule> Clone() const override { return std::make_unique<CGroupRule>(*this); }
    std::string Description() const override;
    std::string TypeText() const override { return "Group"; }
    // Never throws: a missing line or number ends the reading with false, keeping what was read.
    bool LoadBlock(CRuleLines &lines) override;
    void SaveBlock(std::vector<std::string> &lines) const override;
    std::string ClassTag() const override { return "CGroupRule"; }
    bool Check(ST_EventContext &context) override;
    ST_SendData MakeSendData(int64_t now) const override;

    std::unique_ptr<CEvent> StartEvent;
    int32_t StartDelay = 0;
    std::unique_ptr<CEvent> StopEvent;
    int32_t StopDelay = 0;
    std::unique_ptr<CEvent> StepEvent;
    int32_t StepDelay = 0;
    bool Loop = false;
    std::vector<CCommData> Items;
    bool Started = false;
    int32_t StepIndex = -1;

private:
    void ReadBlock(const std::vector<std::string> &block);
};
