#pragma once
// The answering device of kestrum-vport: a table of prefix and reply. Received bytes gather in a
// buffer; whenever the buffer starts with a prefix (the longest one that fits), that reply is sent
// and the prefix is dropped; bytes that can begin no prefix are dropped one by one.
#include <string>
#include <utility>
#include <vector>

class CResponder
{
public:
    // One rule per line: two comma-text fields, prefix and reply, in which \r \n \t \\ and \xHH
    // stand for those bytes. Empty lines and lines starting with '#' are skipped. False with the
    // reason in `error` for a line that is not two fields or has an empty prefix.
    bool Load(const std::vector<std::string> &lines, std::string *error);
    // The replies due for the bytes received so far, in order.
    std::string Feed(const std::string &bytes);
    size_t Size() const { return m_rules.size(); }

private:
    std::vector<std::pair<std::string, std::string>> m_rules;
    std::string m_buffer;
};

// \r \n \t \\ \xHH decoded; any other backslash stays as it is.
std::string DecodeEscapes(const std::string &text);
