#pragma once
// A device played inside the process, on the master end of a pseudo-terminal whose slave end the
// program opens like any port: termios, the listener and the pty's own timing are the real ones,
// only the other end of the cable is simulated.
//
// A device is driven by one runner thread: Start once, then Received for every read of the master
// end and Tick when NextTick has come. It never blocks that thread (a device that needs to wait,
// such as a file transfer, runs the wait on a thread of its own and writes from there).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace demo {

using Clock = std::chrono::steady_clock;

// The line as the program set it on its end (the pty's termios).
struct ST_DemoLine
{
    uint32_t Baud = 9600;
    int DataBits = 8;
    bool Parity = false;
    int StopBits = 1;

    // One character on the wire: start bit, data bits, parity bit and stop bits.
    Clock::duration CharTime() const
    {
        const int bits = 1 + DataBits + (Parity ? 1 : 0) + StopBits;
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(double(bits) / (Baud ? Baud : 1)));
    }
};

// Where a device's answers go. Thread-safe: the runner serialises writes from any thread, and
// bytes of one Write never interleave with another's.
class IDemoOutput
{
public:
    virtual ~IDemoOutput() = default;
    virtual void Write(const uint8_t *data, size_t size) = 0;
    void Write(const std::string &text)
    {
        Write(reinterpret_cast<const uint8_t *>(text.data()), text.size());
    }
    void Write(const std::vector<uint8_t> &bytes) { Write(bytes.data(), bytes.size()); }
    virtual ST_DemoLine Line() const = 0;
};

class IDemoDevice
{
public:
    virtual ~IDemoDevice() = default;
    // The program opened the port.
    virtual void Start(IDemoOutput &out, Clock::time_point now) = 0;
    // Bytes the program wrote, in order, as the master end read them.
    virtual void Received(IDemoOutput &out, const uint8_t *data, size_t size, Clock::time_point now) = 0;
    // When Tick is next wanted; Clock::time_point::max() while the device only waits for bytes.
    virtual Clock::time_point NextTick() const { return Clock::time_point::max(); }
    virtual void Tick(IDemoOutput &out, Clock::time_point now) { (void)out, (void)now; }
};

} // namespace demo
