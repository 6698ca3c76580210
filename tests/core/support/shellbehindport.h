#pragma once
// `bash --norc` in a folder, on a terminal of its own whose master a thread joins to the master of
// a test's pseudo-terminal: what a port writes to the pseudo-terminal reaches the shell, and what
// the shell writes comes to the port, as a board's shell sits behind its serial line.
#include "ptypair.h"

#include <string>
#include <sys/types.h>
#include <thread>

class CShellBehindPort
{
public:
    CShellBehindPort(CTestPty &port, const std::string &dir, int rows = 24, int cols = 80);
    ~CShellBehindPort();
    CShellBehindPort(const CShellBehindPort &) = delete;
    CShellBehindPort &operator=(const CShellBehindPort &) = delete;

    bool Running() const { return m_shell > 0 && m_bridge.joinable(); }
    // Whether the shell has a child process named `name` now.
    bool HasChild(const std::string &name) const;

private:
    void Bridge();

    CTestPty &m_port;
    int m_term = -1;
    int m_wake = -1;
    pid_t m_shell = -1;
    std::thread m_bridge;
};
