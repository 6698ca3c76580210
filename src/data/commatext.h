#pragma once
// The one rule by which every record line of the system is split into fields. Characters 0x01 to
// 0x20 are blanks; blanks and commas separate fields; a field that starts with a double quote runs
// to the next quote that is not doubled (a doubled quote stands for one), so it may hold blanks
// and commas. Two commas with only blanks between them give an empty field; a trailing comma adds
// none. A quoted field without its closing quote takes the rest of the text.
#include <string>
#include <vector>

std::vector<std::string> SplitCommaText(const std::string &text);

// Writes `value` between double quotes, doubling any quote inside it, so that SplitCommaText
// gives it back whole. Values without quotes come out exactly as "value".
std::string QuoteField(const std::string &value);

// `value` as it is when SplitCommaText gives it back so (no blank, no comma, no leading quote; an
// empty value stays empty), else as QuoteField writes it. For fields that are written bare unless
// they cannot be.
std::string QuoteFieldIfNeeded(const std::string &value);
