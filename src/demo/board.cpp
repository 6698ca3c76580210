#include "demo/board.h"

#include "data/checksum.h"
#include "demo/boardfiles.h"
#include "platform/errors.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <sys/stat.h>

namespace demo {

namespace {

using namespace std::chrono_literals;

const char *const kShellPrompt = "root@demo:~# ";
const char *const kBootPrompt = "=> ";

// The kernel's boot log: when each line is stamped, in microseconds since the kernel started.
struct ST_KernelLine
{
    long Micros;
    const char *Text;
};
const ST_KernelLine kKernelLog[] = {
    {0, "Booting Linux on physical CPU 0x0"},
    {0, "Linux version 6.1.0-demo (build@demo) #1 SMP PREEMPT"},
    {0, "CPU: ARMv7 Processor [410fc075] revision 5 (ARMv7), cr=10c5387d"},
    {0, "Machine model: Demo Board rev B"},
    {0, "Memory: 503296K/524288K available"},
    {21340, "Calibrating delay loop... 48.00 BogoMIPS (lpj=240000)"},
    {103215, "smp: Brought up 1 node, 2 CPUs"},
    {251871, "Serial: 8250/16550 driver, 4 ports, IRQ sharing disabled"},
    {262105, "ttyS0 at MMIO 0x1c28000 (irq = 33, base_baud = 1500000) is a 16550A"},
    {270330, "printk: console [ttyS0] enabled"},
    {512044, "mmc0: new high speed SDHC card at address 0001"},
    {634871, "EXT4-fs (mmcblk0p2): mounted filesystem with ordered data mode"},
    {801337, "eth0: link up, 100 Mbps, full duplex"},
    {955210, "sensor0: temperature, humidity and pressure sensor at 0x76"},
    {1120446, "Run /sbin/init as init process"},
    {1402118, "random: crng init done"},
};
constexpr size_t kKernelLines = sizeof kKernelLog / sizeof kKernelLog[0];

std::string KernelLine(size_t index);
// The login prompt follows the last line after a moment, as init starts the console's getty.
constexpr auto kLoginAfter = 1600ms;

const char *const kCommands[] = {"cat",    "clear", "crc", "dmesg",  "echo",  "exit",
                                 "false",  "help",  "ls",  "reboot", "rz",    "sensors",
                                 "stream", "sz",    "top", "true",   "uname", "uptime"};

// Words as a shell splits them: blanks between, quotes group.
std::vector<std::string> Words(const std::string &line)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (const char c : line) {
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                word += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

// A command list as a shell reads it: "a; b", "a && b", "a || b", the separators outside quotes.
struct ST_ListedCommand
{
    char After; // what joins it to the one before: ';', '&' for &&, '|' for ||
    std::string Text;
};
std::vector<ST_ListedCommand> CommandList(const std::string &line)
{
    std::vector<ST_ListedCommand> list{{';', {}}};
    char quote = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            list.push_back({';', {}});
            continue;
        } else if ((c == '&' || c == '|') && i + 1 < line.size() && line[i + 1] == c) {
            list.push_back({c, {}});
            ++i;
            continue;
        }
        list.back().Text += c;
    }
    return list;
}

std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char *format, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

// Bytes for the terminal: a lone LF gets its CR, as the console's line discipline adds it.
std::string WithCrLf(const std::string &text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += '\r';
        out += text[i];
    }
    return out;
}

bool ParseHex(const std::string &text, std::vector<uint8_t> *bytes)
{
    std::string digits = text;
    if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits.erase(0, 2);
    if (digits.empty() || digits.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < digits.size(); i += 2) {
        unsigned value = 0;
        for (size_t j = i; j < i + 2; ++j) {
            const char c = digits[j];
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0)
                return false;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        bytes->push_back(static_cast<uint8_t>(value));
    }
    return true;
}

// A rate as typed: a plain decimal number, nothing else.
bool ParseRate(const std::string &text, unsigned long *rate)
{
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), ::isdigit))
        return false;
    *rate = std::stoul(text);
    return true;
}

// "temp:21.5,hum:40.2,press:1013.1" and its line end.
constexpr size_t kSensorLineSize = 33;

std::string KernelLine(size_t index)
{
    const ST_KernelLine &line = kKernelLog[index];
    return Format("[%5ld.%06ld] ", line.Micros / 1000000, line.Micros % 1000000) + line.Text + "\r\n";
}

double Seconds(Clock::duration span)
{
    return std::chrono::duration<double>(span).count();
}

} // namespace

CBoardDevice::CBoardDevice(std::string folder) : m_folder(std::move(folder)) {}

CBoardDevice::~CBoardDevice() = default;

void CBoardDevice::Start(IDemoOutput &out, Clock::time_point now)
{
    m_started = now;
    try {
        SeedHome(m_folder);
    } catch (const EFileError &) {
        // A board without its sample files still boots; ls shows what there is.
    }
    Boot(now);
    Flush(out);
}

void CBoardDevice::Boot(Clock::time_point now)
{
    m_transfer.reset();
    m_streamNext = Clock::time_point::max();
    m_mode = EMode::Countdown;
    m_countdown = 3;
    m_next = now + 1s;
    m_line.Reset();
    m_line.SetEcho(true);
    m_line.SetHistory(false);
    m_pending += "\r\n\r\nDemoBoot 2024.04 (simulated board)\r\n\r\n"
                 "CPU:   ARMv7 Processor, 2 cores\r\nDRAM:  512 MiB\r\nMMC:   mmc0\r\nNet:   eth0\r\n"
                 "Hit any key to stop autoboot: 3";
}

void CBoardDevice::BootKernel(Clock::time_point now)
{
    m_pending += "\r\nStarting kernel ...\r\n\r\n";
    m_mode = EMode::Kernel;
    m_kernelStarted = now;
    m_kernelShown = 0;
    m_next = now;
}

void CBoardDevice::Received(IDemoOutput &out, const uint8_t *data, size_t size, Clock::time_point now)
{
    for (size_t i = 0; i < size; ++i) {
        if (m_mode == EMode::Transfer) {
            // No peer begins with a Ctrl+C or an LF: before it speaks, a Ctrl+C is the user giving
            // up the wait and an LF the rest of the CR LF that ended the command.
            if (!m_transfer->Fed() && (data[i] == 0x03 || data[i] == '\n')) {
                if (data[i] == 0x03)
                    m_transfer->Cancel();
                continue;
            }
            if (!m_transfer->Finished()) {
                m_transfer->Feed(data + i, size - i);
                break;
            }
            EndTransfer();
        }
        // CR LF is one line end, whatever the line ended: a command, a login, a reboot.
        const bool secondHalf = data[i] == '\n' && m_afterCr;
        m_afterCr = data[i] == '\r';
        if (secondHalf)
            continue;
        const EMode before = m_mode;
        Take(out, data[i], now);
        // The key that stops the countdown is taken alone: what came with it was typed blind.
        if (before == EMode::Countdown && m_mode == EMode::Bootloader)
            break;
    }
    Flush(out);
}

void CBoardDevice::Take(IDemoOutput &out, uint8_t byte, Clock::time_point now)
{
    switch (m_mode) {
    case EMode::Countdown:
        m_pending += "\r\n";
        m_mode = EMode::Bootloader;
        m_next = Clock::time_point::max();
        m_line.Reset();
        Prompt();
        return;
    case EMode::Kernel:
    case EMode::Transfer:
        return;
    case EMode::Top:
        if (byte == 'q' || byte == 'Q' || byte == 0x03)
            LeaveTop();
        return;
    case EMode::Bootloader:
    case EMode::Login:
    case EMode::Shell:
        LineEvent(out, m_line.Take(byte, &m_pending), now);
        return;
    }
}

void CBoardDevice::LineEvent(IDemoOutput &out, CBoardLine::EEvent event, Clock::time_point now)
{
    switch (event) {
    case CBoardLine::EEvent::None:
        return;
    case CBoardLine::EEvent::Complete:
        if (m_mode == EMode::Shell)
            Complete();
        else
            m_pending += '\a';
        return;
    case CBoardLine::EEvent::Interrupt:
        m_streamNext = Clock::time_point::max();
        if (m_password) {
            m_password = false;
            m_line.SetEcho(true);
            m_pending += "\r\n";
        }
        Prompt();
        return;
    case CBoardLine::EEvent::EndOfInput:
        if (m_mode == EMode::Shell) {
            m_pending += "logout\r\n";
            LoggedOut();
        }
        return;
    case CBoardLine::EEvent::Line:
        break;
    }
    const std::vector<std::string> words = Words(m_line.Entered());
    if (m_mode == EMode::Bootloader) {
        RunBootloader(out, words, now);
    } else if (m_mode == EMode::Shell) {
        RunShell(out, m_line.Entered(), now);
    } else if (m_password) {
        m_password = false;
        m_line.SetEcho(true);
        m_pending += "\r\nLogin incorrect\r\n";
        Prompt();
    } else if (words.size() == 1 && words[0] == "root") {
        m_pending += "\r\nWelcome to the demo board. Type 'help' for what it can do.\r\n\r\n";
        m_mode = EMode::Shell;
        m_line.SetHistory(true);
        Prompt();
    } else if (!words.empty()) {
        m_password = true;
        m_line.SetEcho(false);
        Prompt();
    } else {
        Prompt();
    }
}

void CBoardDevice::Prompt()
{
    switch (m_mode) {
    case EMode::Bootloader:
        m_pending += kBootPrompt;
        break;
    case EMode::Login:
        m_pending += m_password ? "Password: " : "demo login: ";
        break;
    case EMode::Shell:
        m_pending += kShellPrompt;
        break;
    default:
        break;
    }
}

void CBoardDevice::LoggedOut()
{
    m_streamNext = Clock::time_point::max();
    m_mode = EMode::Login;
    m_password = false;
    m_line.Reset();
    m_line.SetEcho(true);
    m_line.SetHistory(false);
    m_pending += "\r\n";
    Prompt();
}

void CBoardDevice::RunBootloader(IDemoOutput &out, const std::vector<std::string> &words,
                                 Clock::time_point now)
{
    const std::string command = words.empty() ? std::string() : words[0];
    const uint32_t baud = out.Line().Baud;
    if (command == "help") {
        m_pending += "boot     - boot the kernel\r\n"
                     "help     - print this list\r\n"
                     "loady    - load a file over the serial line (YMODEM)\r\n"
                     "printenv - print the environment\r\n"
                     "reset    - restart the board\r\n";
    } else if (command == "printenv") {
        m_pending += Format("baudrate=%u\r\nbootcmd=run mmcboot\r\nbootdelay=3\r\nconsole=ttyS0,%un8\r\n"
                            "loadaddr=0x82000000\r\n",
                            baud, baud);
    } else if (command == "boot") {
        BootKernel(now);
        return;
    } else if (command == "reset") {
        m_pending += "resetting ...\r\n";
        Boot(now);
        return;
    } else if (command == "loady") {
        // The address is only told back: the file goes to the board's folder whatever it says.
        std::vector<uint8_t> address;
        const std::string at = words.size() > 1 && words[1].size() <= 10 && ParseHex(words[1], &address)
                                   ? words[1]
                                   : std::string("0x82000000");
        m_pending += "## Ready for binary (ymodem) download to " + at + Format(" at %u bps...\r\n", baud);
        m_afterTransfer = EMode::Bootloader;
        StartTransfer(out, CBoardTransfer::EKind::YmodemReceive, now);
        return;
    } else if (!command.empty()) {
        m_pending += "Unknown command '" + command + "' - try 'help'\r\n";
    }
    Prompt();
}

void CBoardDevice::RunShell(IDemoOutput &out, const std::string &line, Clock::time_point now)
{
    int status = 0;
    for (const ST_ListedCommand &command : CommandList(line)) {
        // A skipped command leaves the status as it was: "false && a || b" runs b.
        if ((command.After == '&' && status != 0) || (command.After == '|' && status == 0))
            continue;
        const std::vector<std::string> words = Words(command.Text);
        if (words.empty())
            continue;
        status = RunCommand(out, words, now);
        // A command that takes the line (top, a transfer, a reboot, a logout) ends the list: its
        // prompt, or none, is the one that follows.
        if (m_mode != EMode::Shell)
            return;
    }
    Prompt();
}

int CBoardDevice::RunCommand(IDemoOutput &out, const std::vector<std::string> &words, Clock::time_point now)
{
    int status = 0;
    const std::string &command = words[0];
    if (command == "true" || command == "false") {
        status = command == "false";
    } else if (command == "help") {
        m_pending += "cat FILE...     show files          ls [-l]          list the files\r\n"
                     "crc HEX         CRC-16/MODBUS       sensors          one sensor reading\r\n"
                     "dmesg           the kernel's log    stream [HZ|off]  readings HZ times a second\r\n"
                     "echo TEXT       print TEXT          top              processes, redrawn (q quits)\r\n"
                     "uname [-a]      system name         uptime           time since boot\r\n"
                     "rz              receive (ZMODEM)    sz FILE...       send (ZMODEM)\r\n"
                     "clear           clear the screen    reboot, exit\r\n"
                     "true, false     status 0, status 1  a; b   a && b   a || b\r\n";
    } else if (command == "echo") {
        std::string text;
        for (size_t i = 1; i < words.size(); ++i)
            text += (i > 1 ? " " : "") + words[i];
        m_pending += text + "\r\n";
    } else if (command == "uname") {
        const std::string option = words.size() > 1 ? words[1] : std::string();
        m_pending += option == "-a"   ? "Linux demo 6.1.0-demo #1 SMP PREEMPT armv7l GNU/Linux\r\n"
                     : option == "-r" ? "6.1.0-demo\r\n"
                                      : "Linux\r\n";
    } else if (command == "uptime") {
        m_pending += Uptime(now) + "\r\n";
    } else if (command == "ls") {
        const bool longForm = words.size() > 1 && words[1] == "-l";
        std::string listing;
        for (const ST_HomeFile &file : HomeFiles(m_folder)) {
            if (longForm)
                listing += Format("-rw-r--r-- 1 root root %8llu ", file.Size) + file.Name + "\r\n";
            else
                listing += (listing.empty() ? "" : "  ") + file.Name;
        }
        m_pending += listing + (longForm || listing.empty() ? "" : "\r\n");
    } else if (command == "cat") {
        // One budget for the whole line: a file named a thousand times is still shown once.
        size_t budget = kMaxShown;
        for (size_t i = 1; i < words.size(); ++i) {
            std::string bytes;
            bool cut = false;
            switch (ReadHomeFile(m_folder, words[i], budget, &bytes, &cut)) {
            case EHomeRead::Read:
                budget -= bytes.size();
                m_pending += WithCrLf(bytes);
                if (!bytes.empty() && bytes.back() != '\n')
                    m_pending += "\r\n";
                if (cut || (budget == 0 && i + 1 < words.size())) {
                    m_pending += Format("cat: output ends after %zu bytes\r\n", kMaxShown);
                    i = words.size();
                }
                break;
            case EHomeRead::NotAllowed:
                status = 1;
                m_pending += "cat: " + words[i] + ": Permission denied\r\n";
                break;
            case EHomeRead::Missing:
                status = 1;
                m_pending += "cat: " + words[i] + ": No such file or directory\r\n";
                break;
            case EHomeRead::NotAFile:
                status = 1;
                m_pending += "cat: " + words[i] + ": Not a regular file\r\n";
                break;
            }
        }
    } else if (command == "dmesg") {
        m_pending += KernelLog();
    } else if (command == "sensors") {
        m_pending += SensorLine(now);
    } else if (command == "stream") {
        status = Stream(out, words, now);
    } else if (command == "top") {
        m_streamNext = Clock::time_point::max();
        m_mode = EMode::Top;
        DrawTop(now, true);
        m_next = now + 1s;
        return 0;
    } else if (command == "rz") {
        m_pending += "rz waiting to receive.\r\n";
        m_afterTransfer = EMode::Shell;
        StartTransfer(out, CBoardTransfer::EKind::ZmodemReceive, now);
        return 0;
    } else if (command == "sz") {
        if (words.size() < 2) {
            m_pending += "usage: sz FILE...\r\n";
            return 1;
        }
        std::vector<ST_TransferFile> files;
        for (size_t i = 1; i < words.size(); ++i) {
            const std::string path = m_folder + "/" + words[i];
            struct stat info
            {
            };
            if (!IsHomeName(words[i])) {
                m_pending += "sz: " + words[i] + ": Permission denied\r\n";
            } else if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
                m_pending += "sz: " + words[i] + ": No such file or directory\r\n";
            } else {
                try {
                    files.push_back(TransferFileAt(path));
                    continue;
                } catch (const EFileError &) {
                    m_pending += "sz: " + words[i] + ": cannot be read\r\n";
                }
            }
            return 1;
        }
        m_afterTransfer = EMode::Shell;
        StartTransfer(out, CBoardTransfer::EKind::ZmodemSend, now, std::move(files));
        return 0;
    } else if (command == "crc") {
        std::string hex;
        for (size_t i = 1; i < words.size(); ++i)
            hex += words[i];
        std::vector<uint8_t> bytes;
        if (!ParseHex(hex, &bytes)) {
            m_pending += "usage: crc HEX (an even number of hex digits, such as crc 010300000001)\r\n";
            status = 1;
        } else {
            const CChecksum crc({EChecksumKind::Crc16Modbus, {}, EByteOrder::LittleEndian});
            const uint32_t value = crc.Compute(bytes);
            const std::vector<uint8_t> wire = crc.Encode(value);
            m_pending += Format("CRC-16/MODBUS 0x%04X (on the line: %02X %02X)\r\n", value, wire[0], wire[1]);
        }
    } else if (command == "clear") {
        m_pending += "\x1b[H\x1b[2J";
    } else if (command == "reboot") {
        m_pending += "reboot: Restarting system\r\n";
        Boot(now);
        return 0;
    } else if (command == "exit" || command == "logout") {
        LoggedOut();
        return 0;
    } else {
        m_pending += "-sh: " + command + ": not found\r\n";
        status = 127;
    }
    return status;
}

void CBoardDevice::Complete()
{
    const std::string &text = m_line.Text();
    const size_t space = text.find_last_of(' ');
    std::vector<std::string> candidates;
    std::string typed;
    if (!m_line.CursorAtEnd()) {
        // Completing inside the line is not worth its surprises.
    } else if (space == std::string::npos) {
        typed = text;
        for (const char *command : kCommands)
            if (std::string(command).compare(0, typed.size(), typed) == 0)
                candidates.push_back(std::string(command) + " ");
    } else {
        typed = text.substr(space + 1);
        const std::vector<std::string> words = Words(text);
        if (!words.empty() && (words[0] == "cat" || words[0] == "sz"))
            for (const ST_HomeFile &file : HomeFiles(m_folder))
                if (file.Name.compare(0, typed.size(), typed) == 0)
                    candidates.push_back(file.Name + " ");
    }
    if (candidates.empty()) {
        m_pending += '\a';
        return;
    }
    if (candidates.size() == 1) {
        m_line.Insert(candidates[0].substr(typed.size()), &m_pending);
        return;
    }
    std::string common = candidates[0];
    for (const std::string &candidate : candidates)
        common.resize(std::mismatch(common.begin(), common.end(), candidate.begin(), candidate.end()).first -
                      common.begin());
    if (common.size() > typed.size()) {
        m_line.Insert(common.substr(typed.size()), &m_pending);
        return;
    }
    m_pending += "\r\n";
    for (const std::string &candidate : candidates)
        m_pending += candidate + " ";
    m_pending += "\r\n";
    Prompt();
    m_line.Redraw(&m_pending);
}

int CBoardDevice::Stream(IDemoOutput &out, const std::vector<std::string> &words, Clock::time_point now)
{
    unsigned long rate = 10;
    if (words.size() > 1 && words[1] == "off") {
        m_streamNext = Clock::time_point::max();
        return 0;
    }
    if (words.size() > 1 && (!ParseRate(words[1], &rate) || rate == 0)) {
        m_pending += "stream: '" + words[1] + "': give a rate of 1 to 1000 lines a second, or off\r\n";
        return 1;
    }
    if (rate > kMaxStreamHz) {
        m_pending += Format("stream: %u lines a second at most\r\n", kMaxStreamHz);
        rate = kMaxStreamHz;
    }
    m_streamPeriod =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / double(rate)));
    // Faster than the line carries would only pile up in front of it.
    const Clock::duration lineTime = kSensorLineSize * out.Line().CharTime();
    if (m_streamPeriod < lineTime) {
        m_streamPeriod = lineTime;
        m_pending +=
            Format("stream: %.0f lines a second at most at this baud rate\r\n", 1.0 / Seconds(lineTime));
    }
    m_streamNext = now + m_streamPeriod;
    return 0;
}

void CBoardDevice::StreamDue(Clock::time_point now)
{
    // A runner that fell far behind gets the last hundred lines, not every one it missed.
    for (int lines = 0; m_streamNext <= now; ++lines) {
        if (lines == 100) {
            m_streamNext = now + m_streamPeriod;
            break;
        }
        m_pending += SensorLine(m_streamNext);
        m_streamNext += m_streamPeriod;
    }
}

std::string CBoardDevice::SensorLine(Clock::time_point now)
{
    const double t = Seconds(now - m_started);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    const double temp = 21.5 + 1.2 * std::sin(t / 30.0) + 0.05 * noise(m_noise);
    const double hum = 40.2 + 3.0 * std::sin(t / 45.0 + 1.0) - 3.0 * std::sin(1.0) + 0.2 * noise(m_noise);
    const double press = 1013.1 + 0.8 * std::sin(t / 60.0 + 2.0) - 0.8 * std::sin(2.0) + 0.1 * noise(m_noise);
    return Format("temp:%.1f,hum:%.1f,press:%.1f\r\n", temp, hum, press);
}

std::string CBoardDevice::KernelLog() const
{
    std::string log;
    for (size_t i = 0; i < kKernelLines; ++i)
        log += KernelLine(i);
    return log;
}

std::string CBoardDevice::Uptime(Clock::time_point now) const
{
    const long seconds = static_cast<long>(Seconds(now - m_started));
    const long clock = 12 * 3600 + seconds;
    return Format(" %02ld:%02ld:%02ld up %ld min,  1 user,  load average: 0.08, 0.03, 0.01",
                  clock / 3600 % 24, clock / 60 % 60, clock % 60, seconds / 60);
}

void CBoardDevice::DrawTop(Clock::time_point now, bool first)
{
    struct ST_Process
    {
        int Pid;
        const char *Name;
        double Cpu;
        double Memory;
    };
    std::uniform_real_distribution<double> jitter(0.0, 1.0);
    ST_Process processes[] = {
        {112, "sensord", 2.0 + 4.0 * jitter(m_noise), 1.2},
        {1, "init", 0.3 * jitter(m_noise), 0.4},
        {97, "syslogd", 0.2 * jitter(m_noise), 0.3},
        {131, "getty", 0.0, 0.2},
        {140, "sh", 0.1 * jitter(m_noise), 0.3},
        {151, "top", 0.5 + jitter(m_noise), 0.5},
        {12, "kworker/0:1", 0.2 * jitter(m_noise), 0.0},
    };
    std::sort(std::begin(processes), std::end(processes),
              [](const ST_Process &a, const ST_Process &b) { return a.Cpu > b.Cpu; });
    double busy = 0;
    for (const ST_Process &process : processes)
        busy += process.Cpu;
    if (first)
        m_pending += "\x1b[?1049h\x1b[?25l\x1b[H\x1b[2J";
    m_pending += "\x1b[H\x1b[1;32mtop\x1b[0m -" + Uptime(now) + "\x1b[K\r\n";
    m_pending += "Tasks:   7 total,   1 running,   6 sleeping,   0 stopped,   0 zombie\x1b[K\r\n";
    m_pending += Format("%%Cpu(s): %4.1f us, %4.1f sy,  0.0 ni, %4.1f id,  0.0 wa\x1b[K\r\n", busy * 0.7,
                        busy * 0.3, 100.0 - busy);
    m_pending +=
        "MiB Mem :    491.5 total,    402.1 free,     38.9 used,     50.5 buff/cache\x1b[K\r\n\x1b[K\r\n";
    m_pending += "\x1b[7m  PID USER      %CPU  %MEM COMMAND         \x1b[0m\x1b[K\r\n";
    for (const ST_Process &process : processes)
        m_pending +=
            Format("%s%5d root      %4.1f  %4.1f %s\x1b[0m\x1b[K\r\n", process.Cpu >= 2.0 ? "\x1b[1;31m" : "",
                   process.Pid, process.Cpu, process.Memory, process.Name);
    m_pending += "\x1b[J";
}

void CBoardDevice::LeaveTop()
{
    m_mode = EMode::Shell;
    m_next = Clock::time_point::max();
    m_pending += "\x1b[?25h\x1b[?1049l";
    Prompt();
}

void CBoardDevice::StartTransfer(IDemoOutput &out, CBoardTransfer::EKind kind, Clock::time_point now,
                                 std::vector<ST_TransferFile> files)
{
    m_streamNext = Clock::time_point::max();
    // What the shell said goes out ahead of the protocol's first bytes.
    Flush(out);
    m_afterCr = false;
    m_mode = EMode::Transfer;
    m_transfer = std::make_unique<CBoardTransfer>(out, kind, m_folder, std::move(files));
    m_next = now + 50ms;
}

void CBoardDevice::EndTransfer()
{
    const ST_TransferOutcome outcome = m_transfer->Outcome();
    const CBoardTransfer::EKind kind = m_transfer->Kind();
    const std::vector<std::string> received = m_transfer->Received();
    m_transfer.reset();
    m_mode = m_afterTransfer;
    m_next = Clock::time_point::max();
    m_line.Reset();
    const bool done = outcome.End == ETransferEnd::Done;
    const char *ended = TransferEndText(outcome.End, kind != CBoardTransfer::EKind::ZmodemSend);
    m_pending += "\r";
    if (kind == CBoardTransfer::EKind::YmodemReceive) {
        unsigned long long total = 0;
        for (const std::string &path : received) {
            struct stat info
            {
            };
            if (stat(path.c_str(), &info) == 0)
                total += static_cast<unsigned long long>(info.st_size);
        }
        if (done)
            m_pending += Format("## Total Size = 0x%08llx = %llu Bytes\r\n", total, total);
        else
            m_pending += std::string("## ") + ended + "\r\n";
    } else {
        const char *name = kind == CBoardTransfer::EKind::ZmodemSend ? "sz" : "rz";
        for (const std::string &path : received)
            m_pending += std::string(name) + ": received " + path.substr(path.find_last_of('/') + 1) + "\r\n";
        if (!done)
            m_pending += std::string(name) + ": " + ended + "\r\n";
    }
    Prompt();
}

Clock::time_point CBoardDevice::NextTick() const
{
    switch (m_mode) {
    case EMode::Countdown:
    case EMode::Kernel:
    case EMode::Top:
    case EMode::Transfer:
        return m_next;
    case EMode::Shell:
        return m_streamNext;
    default:
        return Clock::time_point::max();
    }
}

void CBoardDevice::Tick(IDemoOutput &out, Clock::time_point now)
{
    switch (m_mode) {
    case EMode::Countdown:
        if (now < m_next)
            break;
        m_pending += Format(" %d", --m_countdown);
        m_next += 1s;
        if (m_countdown == 0)
            BootKernel(now);
        break;
    case EMode::Kernel:
        while (m_kernelShown < kKernelLines &&
               m_kernelStarted + std::chrono::microseconds(kKernelLog[m_kernelShown].Micros) <= now)
            m_pending += KernelLine(m_kernelShown++);
        if (m_kernelShown < kKernelLines) {
            m_next = m_kernelStarted + std::chrono::microseconds(kKernelLog[m_kernelShown].Micros);
        } else if (now >= m_kernelStarted + kLoginAfter) {
            m_pending += "\r\nDemo Linux 6.1 demo ttyS0\r\n\r\n";
            m_mode = EMode::Login;
            m_next = Clock::time_point::max();
            m_line.Reset();
            Prompt();
        } else {
            m_next = m_kernelStarted + kLoginAfter;
        }
        break;
    case EMode::Top:
        if (now < m_next)
            break;
        DrawTop(now, false);
        m_next = m_next + 1s > now ? m_next + 1s : now + 1s;
        break;
    case EMode::Transfer:
        if (m_transfer->Finished())
            EndTransfer();
        else
            m_next = now + 50ms;
        break;
    case EMode::Shell:
        StreamDue(now);
        break;
    default:
        break;
    }
    Flush(out);
}

void CBoardDevice::Flush(IDemoOutput &out)
{
    if (m_pending.empty())
        return;
    out.Write(m_pending);
    m_pending.clear();
}

} // namespace demo
