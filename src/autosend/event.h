#pragma once
// The trigger conditions of auto-send rules. Once per pass the engine builds an ST_EventContext
// and asks every rule, and through it every event, whether it fires; events that fire on an action
// or a received block consume it from the context, so it serves only one rule.
#include "data/commdata.h"

#include <cstdint>
#include <memory>
#include <string>

typedef uint8_t enum_ActionEventType;
enum : enum_ActionEventType { ACTION_BEGIN = 0, ACTION_PAUSE = 1, ACTION_RESUME = 2, ACTION_STOP = 3 };
constexpr uint8_t ACTION_NONE = 255;

typedef uint8_t TIME_EVENT_TYPE;
enum : TIME_EVENT_TYPE {
    TIME_ABSOLUTE = 0,
    TIME_FROM_START = 1,
    TIME_FROM_SEND_BEGIN = 2,
    TIME_FROM_SEND_END = 3,
    TIME_FROM_REC_BEGIN = 4,
    TIME_FROM_REC_END = 5,
};

// All times are local milliseconds (platform/clock.h), not times of day, so differences stay
// right across midnight; only the absolute time event looks at the time of day of `Now`.
struct ST_EventContext
{
    bool Paused = false;
    int64_t Now = 0;
    int64_t StartTime = 0;
    int64_t SendBeginTime = 0;
    bool SendBeginValid = false;
    int64_t SendEndTime = 0;
    bool SendEndValid = false;
    int64_t RecBeginTime = 0;
    bool RecBeginValid = false;
    int64_t RecEndTime = 0;
    bool RecEndValid = false;
    uint8_t Action = ACTION_NONE;
    bool HasNewData = false;
    CCommData NewData;
};

class CEvent
{
public:
    virtual ~CEvent() = default;
    virtual std::unique_ptr<CEvent> Clone() const = 0;
    virtual std::string ClassName() const = 0;
    virtual std::string Description() const = 0;
    // Throws EConvertError where a number is required and missing.
    virtual bool LoadText(const std::string &text) = 0;
    virtual std::string SaveText() const = 0;
    virtual bool Check(ST_EventContext &context) = 0;
    virtual void Reset() {}
    // The owner starts checking this event in the next pass; what the context shows now is its
    // starting point, so a change after this pass counts as new.
    virtual void Watch(const ST_EventContext &) {}
};

class CActionEvent : public CEvent
{
public:
    explicit CActionEvent(uint8_t actionType = ACTION_BEGIN) : ActionType(actionType) {}
    std::unique_ptr<CEvent> Clone() const override { return std::make_unique<CActionEvent>(*this); }
    std::string ClassName() const override { return "CActionEvent"; }
    std::string Description() const override;
    bool LoadText(const std::string &text) override;
    std::string SaveText() const override;
    bool Check(ST_EventContext &context) override;

    uint8_t ActionType;
};

// A one-shot crossing detector: fires in the pass in which its measured value is first seen above
// the target after having been seen below it, then stays quiet until Reset.
class CTimeEvent : public CEvent
{
public:
    explicit CTimeEvent(std::string timeText = "00:00:00.000", TIME_EVENT_TYPE timeType = TIME_FROM_START)
        : TimeText(std::move(timeText)), TimeType(timeType)
    {
    }
    std::unique_ptr<CEvent> Clone() const override { return std::make_unique<CTimeEvent>(*this); }
    std::string ClassName() const override { return "CTimeEvent"; }
    std::string Description() const override;
    bool LoadText(const std::string &text) override;
    std::string SaveText() const override;
    bool Check(ST_EventContext &context) override;
    void Reset() override { FireState = 0; }
    void Watch(const ST_EventContext &context) override;

    static std::string TypeName(TIME_EVENT_TYPE type);

    std::string TimeText;
    TIME_EVENT_TYPE TimeType;
    uint8_t FireState = 0;

private:
    // The time its value counts from, as the last pass saw it (relative types only).
    int64_t m_markSeen = 0;
    bool m_markSet = false;
    bool m_passed = false;
};

// Reads "h:m:s.z" (each an optionally signed decimal, blanks before a number allowed, the
// fraction counting milliseconds as written) into milliseconds of the day. False when a number is
// missing or out of range (hours 0-23, minutes and seconds 0-59, milliseconds 0-999).
bool ParseTimeText(const std::string &text, int64_t &ms);

class CReceiveEvent : public CEvent
{
};

class CReceiveAnythingEvent : public CReceiveEvent
{
public:
    std::unique_ptr<CEvent> Clone() const override { return std::make_unique<CReceiveAnythingEvent>(*this); }
    std::string ClassName() const override { return "CReceiveAnythingEvent"; }
    std::string Description() const override { return "Receive Anything"; }
    bool LoadText(const std::string &) override { return true; }
    std::string SaveText() const override { return "ReceiveAnything"; }
    bool Check(ST_EventContext &context) override;
};

class CReceiveFixLengthEvent : public CReceiveEvent
{
public:
    explicit CReceiveFixLengthEvent(int32_t fixLength = 1) : FixLength(fixLength) {}
    std::unique_ptr<CEvent> Clone() const override { return std::make_unique<CReceiveFixLengthEvent>(*this); }
    std::string ClassName() const override { return "CReceiveFixLengthEvent"; }
    std::string Description() const override;
    bool LoadText(const std::string &text) override;
    std::string SaveText() const override;
    bool Check(ST_EventContext &context) override;

    int32_t FixLength;
};

class CReceiveSpecDataEvent : public CReceiveEvent
{
public:
    CReceiveSpecDataEvent() = default;
    explicit CReceiveSpecDataEvent(const CCommData &specData) : SpecData(specData) {}
    std::unique_ptr<CEvent> Clone() const override { return std::make_unique<CReceiveSpecDataEvent>(*this); }
    std::string ClassName() const override { return "CReceiveSpecDataEvent"; }
    std::string Description() const override;
    // Always false: the item line is taken as it comes, like every other item line.
    bool LoadText(const std::string &text) override;
    std::string SaveText() const override { return SpecData.ToLine(); }
    bool Check(ST_EventContext &context) override;

    CCommData SpecData;
};

// A new event with default fields for one of the five class names (exact match), else null.
std::unique_ptr<CEvent> CreateEvent(const std::string &className);
