#pragma once
// The protocol analyser running Kestrum's capture program as it would for a user: HOME points at a
// scratch folder whose personal extcap folder (~/.config/wireshark/extcap, where 4.0 looks) holds
// `extcap` (the build's kestrum-extcap), and XDG_RUNTIME_DIR at a private scratch folder, where the windows'
// sockets and the virtual ports' links are made. Both are set for the test's lifetime, so a window
// made meanwhile listens there too.
#include <string>
#include <sys/types.h>
#include <vector>

class CAnalyserHome
{
public:
    explicit CAnalyserHome(const std::string &extcap);
    ~CAnalyserHome();
    CAnalyserHome(const CAnalyserHome &) = delete;
    CAnalyserHome &operator=(const CAnalyserHome &) = delete;

    const std::string &Runtime() const { return m_runtime; }
    std::string File(const std::string &name) const { return m_dir + "/" + name; }
    // `tshark -D`: the interfaces, a line each.
    std::string Interfaces() const;
    // A link in the virtual ports' folder to `device`, as kestrum-vport makes one: the port list
    // finds it. Its path.
    std::string VirtualPort(const std::string &name, const std::string &device) const;

private:
    std::string m_dir;
    std::string m_runtime;
    std::string m_oldHome, m_oldRuntime;
};

// `tshark -i INTERFACE -c PACKETS -l -P -w FILE [extra]`, its packets' lines read as they come.
class CLiveTshark
{
public:
    CLiveTshark(const std::string &interface, int packets, const std::string &file,
                const std::vector<std::string> &extra = {});
    ~CLiveTshark();
    CLiveTshark(const CLiveTshark &) = delete;
    CLiveTshark &operator=(const CLiveTshark &) = delete;

    // Reads what it printed so far without waiting; the count of packet lines.
    int Lines();
    // Whether it ended (reaped); `Status()` its exit code then.
    bool Ended();
    int Status() const { return m_status; }
    const std::string &Output() const { return m_output; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_status = -1;
    std::string m_output;
};

// The extcap option `option` of `interface` as tshark's -o takes it.
std::string ExtcapPreference(const std::string &interface, const std::string &option,
                             const std::string &value);

// Runs `command` through the shell; its output with its errors, and the exit status in `status`.
std::string RunCommand(const std::string &command, int &status);
