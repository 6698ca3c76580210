#include "demo/modbusframe.h"
#include "demo/modbusserver.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

using namespace std::chrono_literals;
using demo::Clock;

namespace {

struct ST_Written
{
    Clock::time_point At;
    std::vector<uint8_t> Bytes;
};

class CRecordingOutput : public demo::IDemoOutput
{
public:
    void Write(const uint8_t *data, size_t size) override { Writes.push_back({*Now, {data, data + size}}); }
    demo::ST_DemoLine Line() const override { return Settings; }

    const Clock::time_point *Now = nullptr;
    demo::ST_DemoLine Settings;
    std::vector<ST_Written> Writes;
};

// The device on a simulated clock: the test moves time to each NextTick, as the runner would.
class ModbusServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_out.Now = &m_now;
        m_server.Start(m_out, m_now);
    }

    void Feed(const std::vector<uint8_t> &bytes)
    {
        m_server.Received(m_out, bytes.data(), bytes.size(), m_now);
    }
    static std::vector<uint8_t> Frame(std::vector<uint8_t> bytes)
    {
        demo::AppendModbusCrc(bytes);
        return bytes;
    }
    // The next answer, if one comes within `within` of the device's time.
    std::optional<ST_Written> Answer(Clock::duration within = 1s)
    {
        const size_t before = m_out.Writes.size();
        const Clock::time_point end = m_now + within;
        for (int steps = 0; m_out.Writes.size() == before; ++steps) {
            const Clock::time_point next = m_server.NextTick();
            if (next > end || steps > 10000)
                return std::nullopt;
            m_now = std::max(m_now, next);
            m_server.Tick(m_out, m_now);
        }
        const ST_Written &answer = m_out.Writes[before];
        // Whatever the server sends is one whole, well-formed frame.
        EXPECT_TRUE(demo::ModbusCrcOk(answer.Bytes));
        EXPECT_EQ(demo::ModbusResponseLength(answer.Bytes.data(), answer.Bytes.size()),
                  long(answer.Bytes.size()));
        return answer;
    }
    std::vector<uint8_t> Ask(const std::vector<uint8_t> &request)
    {
        Feed(Frame(request));
        const std::optional<ST_Written> answer = Answer();
        return answer ? std::vector<uint8_t>(answer->Bytes.begin(), answer->Bytes.end() - 2)
                      : std::vector<uint8_t>{};
    }
    uint16_t Holding(uint8_t address)
    {
        const std::vector<uint8_t> a = Ask({1, 3, 0, address, 0, 1});
        return a.size() == 5 ? uint16_t((a[3] << 8) | a[4]) : 0xDEAD;
    }
    void Advance(Clock::duration by)
    {
        const Clock::time_point end = m_now + by;
        while (m_server.NextTick() <= end) {
            m_now = std::max(m_now, m_server.NextTick());
            m_server.Tick(m_out, m_now);
        }
        m_now = end;
    }

    Clock::time_point m_now = Clock::time_point{} + 1h;
    CRecordingOutput m_out;
    demo::CModbusServer m_server;
};

using Bytes = std::vector<uint8_t>;

} // namespace

TEST_F(ModbusServer, ReadsAndWritesEveryTable)
{
    EXPECT_EQ(Ask({1, 3, 0, 2, 0, 3}).size(), 3u + 6u);
    EXPECT_EQ(Ask({1, 6, 0, 2, 0x01, 0x02}), Bytes({1, 6, 0, 2, 0x01, 0x02}));
    EXPECT_EQ(Ask({1, 16, 0, 30, 0, 2, 4, 0xAB, 0xCD, 0x12, 0x34}), Bytes({1, 16, 0, 30, 0, 2}));
    EXPECT_EQ(Ask({1, 3, 0, 29, 0, 3}), Bytes({1, 3, 6, 0x01, 0x22, 0xAB, 0xCD, 0x12, 0x34}));
    EXPECT_EQ(Holding(2), 0x0102);

    EXPECT_EQ(Ask({1, 5, 0, 9, 0xFF, 0}), Bytes({1, 5, 0, 9, 0xFF, 0}));
    EXPECT_EQ(Ask({1, 15, 0, 20, 0, 10, 2, 0b1100'0101, 0b10}), Bytes({1, 15, 0, 20, 0, 10}));
    EXPECT_EQ(Ask({1, 1, 0, 8, 0, 24}), Bytes({1, 1, 3, 0b10, 0b0101'0000, 0b0010'1100}));
    EXPECT_EQ(Ask({1, 1, 0, 20, 0, 12}), Bytes({1, 1, 2, 0b1100'0101, 0b10}));
    EXPECT_EQ(Ask({1, 5, 0, 9, 0, 0}), Bytes({1, 5, 0, 9, 0, 0}));
    EXPECT_EQ(Ask({1, 1, 0, 9, 0, 1}), Bytes({1, 1, 1, 0}));

    EXPECT_EQ(Ask({1, 2, 0, 0, 0, 32}).size(), 3u + 4u);
    EXPECT_EQ(Ask({1, 4, 0, 0, 0, 32}).size(), 3u + 64u);
    const Bytes id = Ask({1, 43, 14, 1, 0});
    ASSERT_GT(id.size(), 8u);
    EXPECT_EQ(id[7], 3); // vendor, product, revision
}

TEST_F(ModbusServer, LiveRegistersMoveWithTime)
{
    const uint16_t count = Holding(0);
    Advance(3s);
    EXPECT_EQ(Holding(0), uint16_t(count + 3));
    // Far from the setpoint the temperature heads for it.
    EXPECT_EQ(Ask({1, 6, 0, 1, 0x00, 100}).size(), 6u);
    Advance(20s);
    const uint16_t warmed = Holding(1);
    EXPECT_GT(warmed, 110);
    // Heater off: it sinks to the room's.
    EXPECT_EQ(Ask({1, 6, 0, 1, 0x01, 0x2C}).size(), 6u);
    EXPECT_EQ(Ask({1, 5, 0, 0, 0, 0}).size(), 6u);
    Advance(20s);
    EXPECT_LT(Holding(1), 290);
}

TEST_F(ModbusServer, ExceptionsForBadFunctionsAddressesAndValues)
{
    EXPECT_EQ(Ask({1, 0x41, 1, 2, 3}), Bytes({1, 0xC1, 1}));
    EXPECT_EQ(Ask({1, 8, 0, 0, 0x12, 0x34}), Bytes({1, 0x88, 1}));
    EXPECT_EQ(Ask({1, 43, 13, 1, 0}), Bytes({1, 0xAB, 1}));

    EXPECT_EQ(Ask({1, 3, 0, 31, 0, 2}), Bytes({1, 0x83, 2}));
    EXPECT_EQ(Ask({1, 4, 0xFF, 0xFF, 0, 1}), Bytes({1, 0x84, 2}));
    EXPECT_EQ(Ask({1, 6, 0, 32, 0, 1}), Bytes({1, 0x86, 2}));
    EXPECT_EQ(Ask({1, 15, 0, 30, 0, 3, 1, 7}), Bytes({1, 0x8F, 2}));
    EXPECT_EQ(Ask({1, 43, 14, 4, 9}), Bytes({1, 0xAB, 2}));

    EXPECT_EQ(Ask({1, 3, 0, 0, 0, 0}), Bytes({1, 0x83, 3}));
    EXPECT_EQ(Ask({1, 1, 0, 0, 0x07, 0xD1}), Bytes({1, 0x81, 3}));
    EXPECT_EQ(Ask({1, 5, 0, 0, 0x12, 0x34}), Bytes({1, 0x85, 3}));
    EXPECT_EQ(Ask({1, 16, 0, 0, 0, 2, 3, 1, 2, 3}), Bytes({1, 0x90, 3}));
    // The refused writes changed nothing.
    EXPECT_EQ(Ask({1, 1, 0, 0, 0, 1}), Bytes({1, 1, 1, 1}));
}

TEST_F(ModbusServer, OtherUnitsBroadcastsAndBadCrcGetNoAnswer)
{
    Feed(Frame({2, 3, 0, 0, 0, 1}));
    EXPECT_FALSE(Answer());
    Bytes bad = Frame({1, 6, 0, 5, 0, 7});
    bad.back() ^= 1;
    Feed(bad);
    EXPECT_FALSE(Answer());
    Feed(Frame({0, 6, 0, 6, 0, 9}));
    EXPECT_FALSE(Answer());
    EXPECT_EQ(Holding(5), 50);
    EXPECT_EQ(Holding(6), 9);
}

TEST_F(ModbusServer, FramesFoundAcrossReadsAndAfterGarbage)
{
    const Bytes request = Frame({1, 16, 0, 4, 0, 1, 2, 0x55, 0x66});
    Feed({request.begin(), request.begin() + 5});
    Feed({request.begin() + 5, request.end()});
    ASSERT_TRUE(Answer());
    EXPECT_EQ(Holding(4), 0x5566);

    // Noise right before a request in the same read, and a frame cut short by a silence.
    Bytes noisy = {0x01, 0x03, 0x99, 0x10};
    const Bytes read = Frame({1, 3, 0, 4, 0, 1});
    noisy.insert(noisy.end(), read.begin(), read.end());
    Feed(noisy);
    std::optional<ST_Written> answer = Answer();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->Bytes[4], 0x66);
    const Bytes write = Frame({1, 6, 0, 4, 0, 0});
    Feed({write.begin(), write.begin() + 4});
    Advance(10ms);
    Feed({write.begin() + 4, write.end()});
    EXPECT_FALSE(Answer());
    EXPECT_EQ(Holding(4), 0x5566);

    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int chunk = 0; chunk < 1000; ++chunk) {
        Bytes noise(size_t(1 + byte(random)));
        for (uint8_t &b : noise)
            b = uint8_t(byte(random));
        Feed(noise);
        ASSERT_LE(m_server.Buffered(), 2 * demo::kModbusMaxFrame);
    }
    Advance(10ms);
    EXPECT_EQ(Holding(4), 0x5566);
}

TEST_F(ModbusServer, AnswersWaitForTheSilenceAfterRequestAndAnswer)
{
    for (const uint32_t baud : {9600u, 19200u}) {
        m_out.Settings.Baud = baud;
        const Clock::duration silence = m_out.Settings.CharTime() * 7 / 2;
        Advance(1s);
        const Clock::time_point asked = m_now;
        Feed(Frame({1, 3, 0, 0, 0, 10}));
        EXPECT_TRUE(m_out.Writes.empty() || m_out.Writes.back().At < asked);
        EXPECT_GE(m_server.NextTick() - asked, silence);
        const std::optional<ST_Written> first = Answer();
        ASSERT_TRUE(first);
        EXPECT_GE(first->At - asked, silence) << baud;

        // Two requests at once, as a master that does not wait would send them.
        Bytes both = Frame({1, 3, 0, 0, 0, 1});
        const Bytes second = Frame({1, 1, 0, 0, 0, 1});
        both.insert(both.end(), second.begin(), second.end());
        Feed(both);
        const std::optional<ST_Written> a = Answer(), b = Answer();
        ASSERT_TRUE(a && b);
        const Clock::time_point aEnd = a->At + m_out.Settings.CharTime() * int(a->Bytes.size());
        EXPECT_GE(b->At - aEnd, silence) << baud;
        EXPECT_EQ(b->Bytes[1], 1);
    }
}
