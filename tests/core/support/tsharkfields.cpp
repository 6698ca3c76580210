#include "tsharkfields.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

std::vector<std::vector<std::string>>
TsharkFields(const std::string &file, const std::vector<std::string> &fields, const std::string &filter)
{
    // Installed by scripts/deps.sh: its absence is a fault of the machine, never a pass.
    if (std::system("command -v tshark >/dev/null 2>&1") != 0) {
        ADD_FAILURE() << "tshark is not on PATH";
        return {};
    }
    std::string command = "tshark -n -r '" + file + "' -T fields -E separator=/t";
    for (const std::string &field : fields)
        command += " -e " + field;
    if (!filter.empty())
        command += " -Y '" + filter + "'";
    command += " 2>/dev/null"; // it warns of running as root
    std::vector<std::vector<std::string>> rows;
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot run " << command;
        return rows;
    }
    std::string out;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        out.append(chunk, n);
    const int status = ::pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command << "\n" << out;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos)
            end = out.size();
        std::vector<std::string> row;
        std::string line = out.substr(start, end - start);
        for (size_t from = 0;;) {
            const size_t tab = line.find('\t', from);
            row.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
            if (tab == std::string::npos)
                break;
            from = tab + 1;
        }
        rows.push_back(std::move(row));
        start = end + 1;
    }
    return rows;
}
