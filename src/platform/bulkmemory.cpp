#include "platform/bulkmemory.h"

#include <cstdlib>
#include <new>
#ifdef __linux__
#include <sys/mman.h>
#endif

void BulkFree::operator()(uint8_t *bytes) const
{
#ifdef __linux__
    if (m_mapped != 0) {
        munmap(bytes, m_mapped);
        return;
    }
#endif
    std::free(bytes);
}

BulkBytes AllocateBulk(size_t size)
{
#ifdef __linux__
    if (size >= kHugePage && size % kHugePage == 0) {
        // Mapped with a huge page's room to spare, then trimmed to a huge page's alignment.
        const size_t spare = size + kHugePage;
        void *mapped = mmap(nullptr, spare, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            throw std::bad_alloc();
        auto *start = static_cast<uint8_t *>(mapped);
        const size_t lead = (kHugePage - reinterpret_cast<uintptr_t>(start) % kHugePage) % kHugePage;
        if (lead > 0)
            munmap(start, lead);
        munmap(start + lead + size, kHugePage - lead);
        madvise(start + lead, size, MADV_HUGEPAGE); // advice only: without huge pages it is plain memory
        return BulkBytes(start + lead, BulkFree(size));
    }
#endif
    void *bytes = std::malloc(size == 0 ? 1 : size);
    if (bytes == nullptr)
        throw std::bad_alloc();
    return BulkBytes(static_cast<uint8_t *>(bytes));
}

CBulkReserve::CBulkReserve(size_t size) : m_size(size), m_thread([this] { Run(); }) {}

CBulkReserve::~CBulkReserve()
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

BulkBytes CBulkReserve::Take()
{
    BulkBytes region;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        region = std::move(m_ready);
        m_wanted = true;
    }
    m_wake.notify_one();
    return region ? std::move(region) : AllocateBulk(m_size);
}

void CBulkReserve::Run()
{
    constexpr size_t kPage = 4096;
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;) {
        m_wake.wait(guard, [this] { return m_stopping || (m_wanted && !m_ready); });
        if (m_stopping)
            return;
        m_wanted = false;
        guard.unlock();
        BulkBytes region;
        try {
            region = AllocateBulk(m_size);
            // Written rather than read: a read maps the shared zero page and faults again later.
            volatile uint8_t *bytes = region.get();
            for (size_t at = 0; at < m_size; at += kPage)
                bytes[at] = 0;
        } catch (const std::bad_alloc &) {
            region.reset(); // the store asks the kernel itself, and meets the failure there
        }
        guard.lock();
        m_ready = std::move(region);
    }
}
