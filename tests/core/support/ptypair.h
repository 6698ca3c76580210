#pragma once
// A pseudo-terminal pair for tests: Path() is the device a port opens, the master end plays the
// far device. The helper holds the slave end open itself (raw), so the pair outlives a port's
// close and reopen; CloseMaster is what a pulled USB cable looks like to the port.
#include <cstdint>
#include <string>
#include <vector>

class CTestPty
{
public:
    CTestPty();
    ~CTestPty();
    CTestPty(const CTestPty &) = delete;
    CTestPty &operator=(const CTestPty &) = delete;

    bool Ok() const { return master_ >= 0; }
    const std::string &Path() const { return path_; }
    int Master() const { return master_; }
    // The helper's own slave descriptor: the same terminal the port opens, for reading its settings.
    int Slave() const { return slave_; }

    bool Send(const std::vector<uint8_t> &bytes);
    bool Send(const std::string &text);
    // Reads from the master until `count` bytes came or `ms` passed with nothing new.
    std::vector<uint8_t> Receive(size_t count, int ms = 2000);
    // The same as 8-bit text.
    std::string ReceiveText(size_t count, int ms = 2000);
    void CloseMaster();
    // Waits until at least `count` bytes sent from the master wait unread at the slave side (the
    // line discipline holds at most about 4 KiB); false after `ms`.
    bool WaitUnread(size_t count, int ms = 3000) const;

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// Points the app folder (and so the diagnostic log) at a fresh temporary folder for its lifetime.
class CTempHome
{
public:
    CTempHome();
    ~CTempHome();
    const std::string &Dir() const { return dir_; }
    std::string LogText() const;

private:
    std::string dir_;
    std::string oldHome_;
    bool hadHome_ = false;
};

// Counts non-overlapping occurrences of `needle`.
int CountOf(const std::string &haystack, const std::string &needle);
