#pragma once
// A small Linux board on its serial console: a bootloader that counts down to an automatic boot
// (any key stops it at its prompt, where loady takes a YMODEM file), the kernel's log, a login and
// a shell with line editing, history and completion. The shell has something for each of the
// terminal's tools: sensor lines to plot (once or streamed), a full-screen view drawn with cursor
// movement and colours, ZMODEM both ways, a CRC to check the checksum tools against.
//
// Its files live in one folder that the board's owner makes and removes; nothing outside it is
// read or written.
#include "demo/boardline.h"
#include "demo/boardtransfer.h"
#include "demo/demodevice.h"

#include <memory>
#include <random>

namespace demo {

class CBoardDevice : public IDemoDevice
{
public:
    explicit CBoardDevice(std::string folder);
    ~CBoardDevice() override;

    void Start(IDemoOutput &out, Clock::time_point now) override;
    void Received(IDemoOutput &out, const uint8_t *data, size_t size, Clock::time_point now) override;
    Clock::time_point NextTick() const override;
    void Tick(IDemoOutput &out, Clock::time_point now) override;

    // The fastest stream asked for, in lines a second.
    static constexpr unsigned kMaxStreamHz = 1000;
    // The most one cat shows, over all its files.
    static constexpr size_t kMaxShown = 256 * 1024;

private:
    enum class EMode : uint8_t { Countdown, Bootloader, Kernel, Login, Shell, Top, Transfer };

    void Boot(Clock::time_point now);
    void BootKernel(Clock::time_point now);
    void Take(IDemoOutput &out, uint8_t byte, Clock::time_point now);
    void LineEvent(IDemoOutput &out, CBoardLine::EEvent event, Clock::time_point now);
    void Prompt();
    void LoggedOut();
    void RunBootloader(IDemoOutput &out, const std::vector<std::string> &words, Clock::time_point now);
    // A command list ("a; b && c || d"), then the prompt unless a command took the line.
    void RunShell(IDemoOutput &out, const std::string &line, Clock::time_point now);
    // One command; its exit status.
    int RunCommand(IDemoOutput &out, const std::vector<std::string> &words, Clock::time_point now);
    void Complete();
    int Stream(IDemoOutput &out, const std::vector<std::string> &words, Clock::time_point now);
    void StreamDue(Clock::time_point now);
    void DrawTop(Clock::time_point now, bool first);
    void LeaveTop();
    void StartTransfer(IDemoOutput &out, CBoardTransfer::EKind kind, Clock::time_point now,
                       std::vector<ST_TransferFile> files = {});
    void EndTransfer();
    std::string KernelLog() const;
    std::string Uptime(Clock::time_point now) const;
    std::string SensorLine(Clock::time_point now);
    void Flush(IDemoOutput &out);

    const std::string m_folder;
    EMode m_mode = EMode::Countdown;
    std::string m_pending; // what goes out when the call that wrote it ends
    CBoardLine m_line;
    Clock::time_point m_started{};
    Clock::time_point m_next = Clock::time_point::max();
    int m_countdown = 0;
    Clock::time_point m_kernelStarted{};
    size_t m_kernelShown = 0;
    bool m_password = false;
    bool m_afterCr = false;

    // The sensor stream.
    Clock::time_point m_streamNext = Clock::time_point::max();
    Clock::duration m_streamPeriod{};
    std::minstd_rand m_noise{20240611};

    std::unique_ptr<CBoardTransfer> m_transfer;
    EMode m_afterTransfer = EMode::Shell;
};

} // namespace demo
