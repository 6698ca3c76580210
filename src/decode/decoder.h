#pragma once
// What a decoder reads out of a frame: a line for the frames view, named values for the plot and
// the scripts, and what the answer timer needs to pair a request with its answer. A decoder never
// trusts a length or a count the frame carries: it reads as far as the bytes go and marks a frame
// that ends early, runs on past what its counts say, or breaks its protocol's form.
#include "frame/framer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ST_Field
{
    std::string Name;            // as the plot takes it: "unit1.hr40001", "GGA.alt"
    std::optional<double> Value; // none for a text-only field or an empty one
    std::string Text;            // as the frame gives it (numbers too, so no digit is lost)
    std::string Unit;

    bool operator==(const ST_Field &o) const
    {
        return Name == o.Name && Value == o.Value && Text == o.Text && Unit == o.Unit;
    }
};

enum class EDecodedRole : uint8_t { None, Request, Answer };

struct ST_Decoded
{
    std::string Summary;
    std::vector<ST_Field> Fields;
    bool Short = false;                    // the frame ends before what it says it holds
    bool Long = false;                     // bytes are left after what it says it holds
    bool Malformed = false;                // something its protocol does not allow (a bad digit, a bad value)
    EFrameCheck Check = EFrameCheck::None; // the frame's own, as the framer judged it

    // Pairing: a request and its answer have the same unit (none where the protocol has no units)
    // and the same function (a Modbus function code, or the request id of a user's layout).
    EDecodedRole Role = EDecodedRole::None;
    std::optional<uint32_t> Unit;
    std::optional<uint32_t> Function;
    std::optional<uint8_t> Exception; // the code of a Modbus exception answer

    const ST_Field *Find(const std::string &name) const;
};

class IDecoder
{
public:
    virtual ~IDecoder() = default;
    // `request` is the request this frame answers, when the caller knows it (a Modbus answer
    // names its registers from the addresses its request asked for).
    virtual ST_Decoded Decode(const ST_Frame &frame, const ST_Frame *request = nullptr) const = 0;
    // What pairing needs: the role, unit, function, exception and check as Decode gives them (the
    // summary, fields and marks may be left out). Every frame at line rate is paired, but only the
    // frames a view shows need reading out, so a decoder whose full reading costs makes this cheap.
    virtual ST_Decoded Pairing(const ST_Frame &frame, const ST_Frame *request = nullptr) const
    {
        return Decode(frame, request);
    }
};

// Number text as the frames view shows it: no trailing zeros, no exponent for ordinary sizes.
std::string DecodedNumber(double value);
