#pragma once
// The user's own framings, kept in "Framing.kfp" in the app folder. Line based, so that a change
// shows as a change of one line:
//
//   # Kestrum framing profiles 1        the first line: the format and its version
//   [My sensor]                         a profile's name (unique, any case)
//   mode = delimiter                    silence, delimiter, length, fixed, cobs or slip
//   delimiter = end                     end, start-end or start
//   start = 02                          the delimiters as hex bytes
//   end = 0D 0A
//   keep = yes                          the delimiters stay in the frame (yes or no)
//   chars = 3.5                         silence: the gap in character times
//   floor.ms = 16                       silence: no gap is seen below this
//   field.offset = 2                    length: where the field is in the frame
//   field.size = 2                      length: 1, 2 or 4 bytes
//   field.order = big                   length: big or little
//   field.add = 2                       length: added to the value (may be negative)
//   field.counts = after                length: frame, after (the field) or from-field
//   length = 8                          fixed: the frame's length
//   check = CRC-16/MODBUS               a checksum's name, or none
//   check.skip = 0                      bytes at the start the check does not cover
//   check.trail = 2                     bytes after the check value it does not cover
//   max-length = 65536                  at most 16 MiB
//   timeout.ms = 1000                   0: a frame waits for its end for ever
//   decoder = modbus-rtu                modbus-rtu, modbus-ascii, nmea or layout (decode/decoders.h),
//                                       or lua:FILE, a Lua file beside this one (decode/luadecoder.h)
//   layout.<id>.field.1 = t,2,i16,0.1   a layout of the frame's bytes: the keys in decode/layout.h
//   link.1 = Bench meter                a link that frames by the profile (framechoices.h)
//   builtin = yes                       the section stands for the built-in of its name, for its
//                                       links (framechoices.h)
//
// A key left out has its default: delimiter end, end 0D 0A, keep yes, chars 3.5, floor 0, field at
// offset 0 of 1 byte, big, add 0, counting the bytes after it, length 1, no check, max-length 65536,
// timeout 1000 ms.
// Keys are read in any case and written in lower case; values lose the blanks around them.
//
// Blank lines and lines starting with "#" or ";" are comments (a save does not keep them). Keys
// this version does not know, or that another mode uses, are kept as they are and written back.
// A file that breaks any rule is refused whole, with the number of the line at fault: a framing
// half read would cut the traffic wrongly without a word.
#include "frame/frameprofiles.h"
#include "platform/errors.h"

#include <string>
#include <vector>

constexpr size_t kFrameProfilesLineLimit = 4096;
constexpr size_t kFrameProfilesLimit = 1000;
constexpr size_t kFrameProfileKeysLimit = 256;
constexpr size_t kFrameDelimiterLimit = 64;
constexpr size_t kFrameMaxLengthLimit = size_t{16} * 1024 * 1024;

class EFrameProfilesError : public EKestrumError
{
public:
    EFrameProfilesError(size_t line, const std::string &why, const std::string &path = {});
    size_t Line() const { return m_line; }
    const std::string &Why() const { return m_why; }

private:
    size_t m_line;
    std::string m_why;
};

// Throws EFrameProfilesError.
std::vector<ST_FramingProfile> ParseFrameProfiles(const std::string &text);
// Throws std::invalid_argument for a name or value that would not read back as it is (a line
// break, a blank at either end, an empty name, a key that is no key).
std::string FrameProfilesText(const std::vector<ST_FramingProfile> &profiles);

// No file: no profiles. Throws EFOpenError for a file that cannot be read, EFrameProfilesError
// (its message naming the file) for one that breaks the format.
std::vector<ST_FramingProfile> ReadFrameProfilesFile(const std::string &path);
// Atomically; throws EFCreateError.
void WriteFrameProfilesFile(const std::string &path, const std::vector<ST_FramingProfile> &profiles);
