#pragma once
// The ways a byte stream is cut into frames. Each takes the limits (maximum length, time-out) and
// the line's timing (for the gaps in character times) besides its own settings.
#include "frame/framer.h"

// A new frame after the line has been quiet for `Chars` character times. Below `Floor` no gap can
// be seen (an adapter that holds bytes back for its latency timer hands them over in lumps), so the
// floor is used instead and the frames it splits are marked.
struct ST_SilenceSettings
{
    double Chars = 3.5;
    FrameTime Floor{0};
};

class CSilenceFramer : public CFramer
{
public:
    CSilenceFramer(const ST_SilenceSettings &set, const ST_LineTiming &timing,
                   const ST_FramerLimits &limits = {});
    FrameTime Gap() const { return m_gap; }
    bool AtFloor() const { return m_atFloor; }

private:
    void Take(ST_Lane &, EFrameDirection, std::vector<ST_Frame> &) override {}
    size_t Skippable(const ST_Lane &, const uint8_t *, size_t size) const override { return size; }
    FrameTime QuietLimit() const override { return m_gap; }
    uint8_t QuietMark() const override { return m_atFloor ? FRAME_SILENCE_FLOOR : 0; }
    uint8_t FlushMark() const override { return 0; }

    FrameTime m_gap;
    bool m_atFloor = false;
};

enum class EDelimiterMode : uint8_t { End, StartEnd, Start };

struct ST_DelimiterSettings
{
    EDelimiterMode Mode = EDelimiterMode::End;
    std::vector<uint8_t> Start;
    std::vector<uint8_t> End;
    bool Keep = true; // the delimiters stay in the frame's bytes
};

// Bytes before a start delimiter are handed out as a frame of their own, marked stray: nothing
// read is ever left out of the log.
class CDelimiterFramer : public CFramer
{
public:
    // Throws std::invalid_argument when a delimiter the mode needs is empty.
    explicit CDelimiterFramer(const ST_DelimiterSettings &set, const ST_FramerLimits &limits = {},
                              const ST_LineTiming &timing = {});

private:
    void Take(ST_Lane &lane, EFrameDirection dir, std::vector<ST_Frame> &out) override;
    size_t Skippable(const ST_Lane &lane, const uint8_t *data, size_t size) const override;
    ST_Whole Whole(const uint8_t *data, size_t size) const override;
    void Reopen(ST_Lane &lane) const;
    bool Idle(const ST_Lane &lane) const override;
    uint8_t PendingMarks(const ST_Lane &lane) const override;
    size_t PendingDrop(const ST_Lane &lane) const override;

    ST_DelimiterSettings m_set;
};

// Which bytes the length field counts.
enum class ELengthCounts : uint8_t {
    WholeFrame, // every byte of the frame
    AfterField, // the bytes after the field
    FromOffset, // the bytes from the field's first byte on
};

struct ST_LengthField
{
    size_t Offset = 0;
    uint8_t Size = 1; // 1, 2 or 4
    EByteOrder Order = EByteOrder::BigEndian;
    int64_t Add = 0; // added to the field's value (the bytes of a trailing check it leaves out)
    ELengthCounts Counts = ELengthCounts::AfterField;
};

// A field that gives a frame shorter than its own header ends the frame there, marked as badly
// encoded: nothing else says where the next frame starts.
class CLengthFramer : public CFramer
{
public:
    // Throws std::invalid_argument for a field size other than 1, 2 or 4.
    explicit CLengthFramer(const ST_LengthField &set, const ST_FramerLimits &limits = {},
                           const ST_LineTiming &timing = {});

private:
    void Take(ST_Lane &lane, EFrameDirection dir, std::vector<ST_Frame> &out) override;

    ST_LengthField m_set;
};

class CFixedFramer : public CFramer
{
public:
    // Throws std::invalid_argument for a length of 0.
    explicit CFixedFramer(size_t length, const ST_FramerLimits &limits = {},
                          const ST_LineTiming &timing = {});

private:
    void Take(ST_Lane &lane, EFrameDirection dir, std::vector<ST_Frame> &out) override;
    size_t Skippable(const ST_Lane &lane, const uint8_t *data, size_t size) const override;
    ST_Whole Whole(const uint8_t *data, size_t size) const override;

    size_t m_length;
};

// Zero-delimited COBS. Zeros before a frame's first group (the idle fill some senders send) stay
// in the bytes of the frame that follows them.
class CCobsFramer : public CFramer
{
public:
    explicit CCobsFramer(const ST_FramerLimits &limits = {}, const ST_LineTiming &timing = {});

private:
    void Take(ST_Lane &lane, EFrameDirection dir, std::vector<ST_Frame> &out) override;
    bool Encoded() const override { return true; }
};

// SLIP as RFC 1055 gives it. An escape followed by anything but its two codes keeps the byte, as
// the RFC's receiver does, and marks the frame. ENDs before a frame (senders flush line noise with
// one) stay in the bytes of the frame that follows them.
class CSlipFramer : public CFramer
{
public:
    explicit CSlipFramer(const ST_FramerLimits &limits = {}, const ST_LineTiming &timing = {});

private:
    void Take(ST_Lane &lane, EFrameDirection dir, std::vector<ST_Frame> &out) override;
    bool Encoded() const override { return true; }
};
