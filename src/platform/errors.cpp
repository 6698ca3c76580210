#include "platform/errors.h"

#include <climits>

EConvertError::EConvertError(const std::string &text)
    : EKestrumError("'" + text + "' is not a valid integer value"), m_text(text)
{
}

EFileError::EFileError(const std::string &message, const std::string &path, const std::string &why)
    : EKestrumError(message), m_path(path), m_why(why)
{
}

EFCreateError::EFCreateError(const std::string &path) : EFileError("Cannot create file " + path, path) {}

EFCreateError::EFCreateError(const std::string &path, const std::string &why)
    : EFileError("Cannot create file " + path + ": " + why, path, why)
{
}

EFOpenError::EFOpenError(const std::string &path) : EFileError("Cannot open file " + path, path) {}

EFOpenError::EFOpenError(const std::string &path, const std::string &why)
    : EFileError("Cannot open file " + path + ": " + why, path, why)
{
}

int StrToInt(const std::string &text)
{
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        throw EConvertError(text);
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            throw EConvertError(text);
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            throw EConvertError(text);
    }
    if (negative)
        value = -value;
    if (value > INT_MAX || value < INT_MIN)
        throw EConvertError(text);
    return static_cast<int>(value);
}
