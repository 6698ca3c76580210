#pragma once
// Reading the "Key=value" lines of the rule file. The first "=" counts as a comma and the line is
// split as comma text; the value is the second field, so quotes, blanks and a later comma all end
// it. A line without "=" has the empty value.
#include <string>

// Nothing after the "=" also gives the empty value.
std::string ReadKeyValue(const std::string &line);

// Like a "%d" scan: blanks, an optional sign, then digits; whatever follows is ignored. False
// when no digits are there or the number does not fit 32 bits.
bool ScanInt(const std::string &text, int &value);

// ScanInt on ReadKeyValue; throws EConvertError naming the value when there is no number.
int ReadKeyInt(const std::string &line);

// A rule name as its file line: a line break inside it would shift every later line of the file
// out of place, so each becomes a blank.
std::string RuleNameLine(const std::string &name);
