#pragma once
// The user's own binary layouts, declared in a framing profile beside its framing keys (which the
// profile file keeps as they are, as it keeps every key it does not know):
//
//   layout.<id>.when = 0:03                 the byte at offset 0 is 03 (hex): this layout reads the
//                                           frame; "0:03/0F" compares under a mask; none: any frame
//   layout.<id>.length = 12                 frames of another length are marked short or long
//   layout.<id>.field.<n> = name,offset,type[,scale[,add[,unit]]]
//                                           <n> (1, 2, ...) orders the fields
//   layout.<id>.request = 7                 frames of this layout are requests with id 7
//   layout.<id>.answers = 7                 ... or answers to the request with id 7
//
// Types: u8 i8 u16 i16 u32 i32 f32 f64, big-endian unless "le" follows ("u16le", "f32be"); a bit
// field of an integer as "u16le:4:3" (3 bits from bit 4, bit 0 the lowest); "str8" for 8 bytes of
// text (NULs at its end dropped); "u16[4]" for an array, named "name.0" to "name.3". The value
// shown is raw * scale + add. The layouts are tried in the order of their first key in the profile
// and the first whose condition holds reads the frame; a field is named "<id>.<name>" for the plot.
#include "decode/decoder.h"

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

constexpr size_t kLayoutFieldLimit = 256;
constexpr size_t kLayoutArrayLimit = 1024;
constexpr size_t kLayoutTextLimit = 4096;

enum class ELayoutType : uint8_t { U8, I8, U16, I16, U32, I32, F32, F64, Text };

struct ST_LayoutField
{
    std::string Name;
    size_t Offset = 0;
    ELayoutType Type = ELayoutType::U8;
    bool LittleEndian = false;
    uint8_t BitFirst = 0;
    uint8_t BitCount = 0; // 0: the whole value
    size_t Count = 1;     // array elements; for text, its bytes
    bool Array = false;
    double Scale = 1;
    double Add = 0;
    std::string Unit;
};

struct ST_Layout
{
    std::string Id;
    bool Conditional = false;
    size_t WhenOffset = 0;
    uint8_t WhenValue = 0;
    uint8_t WhenMask = 0xFF;
    size_t Length = 0; // 0: any
    std::vector<ST_LayoutField> Fields;
    std::optional<uint32_t> Request;
    std::optional<uint32_t> Answers;
};

class ELayoutError : public std::invalid_argument
{
public:
    using std::invalid_argument::invalid_argument;
};

// The layouts among a profile's keys (the others are left alone). Throws ELayoutError naming the
// key at fault: a layout half read would show wrong values without a word.
std::vector<ST_Layout> ParseLayouts(const std::vector<std::pair<std::string, std::string>> &keys);

class CLayoutDecoder : public IDecoder
{
public:
    explicit CLayoutDecoder(std::vector<ST_Layout> layouts);
    ST_Decoded Decode(const ST_Frame &frame, const ST_Frame *request = nullptr) const override;

private:
    std::vector<ST_Layout> m_layouts;
};
