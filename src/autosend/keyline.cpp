#include "autosend/keyline.h"

#include "data/commatext.h"
#include "platform/errors.h"

#include <climits>

std::string ReadKeyValue(const std::string &line)
{
    const size_t eq = line.find('=');
    if (eq == std::string::npos)
        return std::string();
    std::string text = line;
    text[eq] = ',';
    std::vector<std::string> fields = SplitCommaText(text);
    // "Time=" is what an empty time text is written as; it must read back, not fail the file.
    if (fields.size() < 2)
        return std::string();
    return std::move(fields[1]);
}

bool ScanInt(const std::string &text, int &value)
{
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == n || text[i] < '0' || text[i] > '9')
        return false;
    long long v = 0;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    if (negative)
        v = -v;
    if (v > INT_MAX || v < INT_MIN)
        return false;
    value = static_cast<int>(v);
    return true;
}

int ReadKeyInt(const std::string &line)
{
    const std::string value = ReadKeyValue(line);
    int result = 0;
    if (!ScanInt(value, result))
        throw EConvertError(value);
    return result;
}

std::string RuleNameLine(const std::string &name)
{
    std::string line = name;
    for (char &c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    return line;
}
