#pragma once
// A port's receive path as a window has it, for the file transfer tests: the listener reads the
// line, and while a transfer runs what it read goes to the transfer's channel. Also what those
// tests share: whether an lrzsz tool is there, and file contents that show a lost or moved byte.
#include "serial/serialex.h"
#include "transfer/portchannel.h"

#include <cstdlib>
#include <mutex>
#include <string>

class CFeedingPort : public CSerialEx
{
public:
    ~CFeedingPort() override { Close(); }
    void FeedTo(CPortChannel *channel)
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_channel = channel;
    }

protected:
    void OnEvent(uint16_t, uint16_t) override
    {
        uint8_t buffer[4096];
        uint32_t got = 0;
        while (Read(buffer, sizeof buffer, &got) == 0 && got > 0) {
            const std::lock_guard<std::mutex> guard(m_lock);
            if (m_channel)
                m_channel->Feed(buffer, got);
        }
    }

private:
    std::mutex m_lock;
    CPortChannel *m_channel = nullptr;
};

inline bool Installed(const char *tool)
{
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string Pattern(size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + seed * 7 + i / 251) & 0xFF);
    return bytes;
}
