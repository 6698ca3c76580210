#pragma once
// The two error kinds that abandon a user command: a bad number in a file or a field, and a file
// that cannot be written or read. Core code throws them; the GUI catches them where a command
// starts and shows the message in a box.
#include <stdexcept>
#include <string>

class EKestrumError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// "'%s' is not a valid integer value"
class EConvertError : public EKestrumError
{
public:
    explicit EConvertError(const std::string &text);
    const std::string &Text() const { return m_text; }

private:
    std::string m_text;
};

// Base of the file errors; the message always names the file.
class EFileError : public EKestrumError
{
public:
    EFileError(const std::string &message, const std::string &path, const std::string &why = {});
    const std::string &Path() const { return m_path; }
    // What the message says after the path, when it says more than that the file failed.
    const std::string &Why() const { return m_why; }

private:
    std::string m_path, m_why;
};

// "Cannot create file %s", and why when that is more than the system's error says.
class EFCreateError : public EFileError
{
public:
    explicit EFCreateError(const std::string &path);
    EFCreateError(const std::string &path, const std::string &why);
};

// "Cannot open file %s": the file exists but cannot be read; and why, when known.
class EFOpenError : public EFileError
{
public:
    explicit EFOpenError(const std::string &path);
    EFOpenError(const std::string &path, const std::string &why);
};

// Decimal integer with an optional sign, no blanks, within 32 bits; anything else throws
// EConvertError carrying the text as given.
int StrToInt(const std::string &text);
