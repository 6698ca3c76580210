#include "demo/boardtransfer.h"

#include "transfer/blockreceive.h"
#include "transfer/zmodem.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace demo {

long CBoardChannel::Write(const uint8_t *data, size_t size, uint32_t timeoutMs, size_t *written)
{
    (void)timeoutMs;
    m_out.Write(data, size);
    *written = size;
    return 0;
}

size_t CBoardChannel::Read(uint8_t *data, size_t max, uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_ready.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                     [this] { return m_woken || m_head < m_queue.size(); });
    if (m_woken || m_head == m_queue.size())
        return 0;
    const size_t count = std::min(max, m_queue.size() - m_head);
    std::memcpy(data, m_queue.data() + m_head, count);
    m_head += count;
    if (m_head == m_queue.size()) {
        m_queue.clear();
        m_head = 0;
    }
    return count;
}

void CBoardChannel::Wake()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_woken = true;
    }
    m_ready.notify_all();
}

void CBoardChannel::Feed(const uint8_t *data, size_t size)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_head > 0 && m_head >= m_queue.size() / 2) {
            m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(m_head));
            m_head = 0;
        }
        const size_t room = kMaxQueued - std::min(kMaxQueued, m_queue.size() - m_head);
        m_queue.insert(m_queue.end(), data, data + std::min(size, room));
    }
    m_ready.notify_one();
}

namespace {

ST_TransferOptions BoardOptions(ETransferProtocol protocol)
{
    ST_TransferOptions options;
    options.Protocol = protocol;
    // A board whose user typed rz and walked away gives up well within a minute.
    options.StartTimeoutMs = 30000;
    return options;
}

} // namespace

CBoardTransfer::CBoardTransfer(IDemoOutput &out, EKind kind, const std::string &folder,
                               std::vector<ST_TransferFile> files)
    : m_kind(kind), m_channel(out)
{
    switch (kind) {
    case EKind::ZmodemReceive:
        m_folder = std::make_unique<CReceiveFolder>(folder);
        m_transfer =
            std::make_unique<CZmodemReceive>(m_channel, *m_folder, BoardOptions(ETransferProtocol::Zmodem));
        break;
    case EKind::ZmodemSend:
        m_transfer = std::make_unique<CZmodemSend>(m_channel, std::move(files),
                                                   BoardOptions(ETransferProtocol::Zmodem));
        break;
    case EKind::YmodemReceive:
        m_folder = std::make_unique<CReceiveFolder>(folder);
        m_transfer = std::make_unique<CBlockReceive>(m_channel, *m_folder, ETransferProtocol::Ymodem,
                                                     BoardOptions(ETransferProtocol::Ymodem));
        break;
    }
    m_thread = std::thread([this] {
        m_outcome = m_transfer->Run();
        m_finished = true;
    });
}

CBoardTransfer::~CBoardTransfer()
{
    m_transfer->Cancel();
    m_thread.join();
}

} // namespace demo
