#include "responder.h"

#include "data/commatext.h"

#include <cctype>
#include <cstdlib>

std::string DecodeEscapes(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        const char e = text[i + 1];
        if (e == 'r' || e == 'n' || e == 't' || e == '\\') {
            out += e == 'r' ? '\r' : e == 'n' ? '\n' : e == 't' ? '\t' : '\\';
            ++i;
        } else if (e == 'x' && i + 3 < text.size() &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            out += static_cast<char>(std::strtol(text.substr(i + 2, 2).c_str(), nullptr, 16));
            i += 3;
        } else {
            out += c;
        }
    }
    return out;
}

bool CResponder::Load(const std::vector<std::string> &lines, std::string *error)
{
    std::vector<std::pair<std::string, std::string>> rules;
    int number = 0;
    for (const std::string &line : lines) {
        ++number;
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        const std::vector<std::string> fields = SplitCommaText(line);
        if (fields.size() != 2 || fields[0].empty()) {
            *error = "line " + std::to_string(number) + ": expected \"prefix\",\"reply\"";
            return false;
        }
        rules.emplace_back(DecodeEscapes(fields[0]), DecodeEscapes(fields[1]));
    }
    m_rules = std::move(rules);
    return true;
}

std::string CResponder::Feed(const std::string &bytes)
{
    m_buffer += bytes;
    std::string out;
    while (!m_buffer.empty()) {
        const std::pair<std::string, std::string> *best = nullptr;
        bool couldGrow = false;
        for (const auto &rule : m_rules) {
            const std::string &prefix = rule.first;
            if (m_buffer.compare(0, prefix.size(), prefix) == 0) {
                if (best == nullptr || prefix.size() > best->first.size())
                    best = &rule;
            } else if (prefix.size() > m_buffer.size() && prefix.compare(0, m_buffer.size(), m_buffer) == 0) {
                couldGrow = true;
            }
        }
        if (couldGrow)
            break; // wait: a longer prefix may still complete
        if (best != nullptr) {
            out += best->second;
            m_buffer.erase(0, best->first.size());
        } else {
            m_buffer.erase(0, 1);
        }
    }
    return out;
}
