#pragma once
// A delimiter as the user writes it: as text with C escapes ("\r\n", "\x02", "\\"), or as hex
// bytes ("7E", "0D 0A", "0x0D,0x0A").
#include <cstdint>
#include <string>
#include <vector>

// Throw std::invalid_argument for an empty delimiter, an unknown escape or a bad hex byte.
std::vector<uint8_t> DelimiterFromText(const std::string &text);
std::vector<uint8_t> DelimiterFromHex(const std::string &text);
