#pragma once
// Memory for stores that fill large regions with data as it arrives. A region of a whole number
// of kHugePage is asked of the kernel in huge pages where it has them: a flood fills fresh memory
// at the rate it arrives, and on a virtual machine every first touch of a page is dear.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

constexpr size_t kHugePage = size_t{2} * 1024 * 1024;

class BulkFree
{
public:
    BulkFree() = default;
    explicit BulkFree(size_t mapped) : m_mapped(mapped) {}
    void operator()(uint8_t *bytes) const;

private:
    size_t m_mapped = 0; // 0: from malloc
};
using BulkBytes = std::unique_ptr<uint8_t, BulkFree>;

// Uninitialised; throws std::bad_alloc like new.
BulkBytes AllocateBulk(size_t size);

// One region of `size` kept ready, its pages touched on a thread of its own: a store that fills a
// region after another at the rate a flood arrives then takes them with their pages in place,
// where its own first touch of each page would stop it (on a virtual machine, for longer than
// it takes to fill the page). Asleep between the regions it is asked for.
class CBulkReserve
{
public:
    explicit CBulkReserve(size_t size);
    ~CBulkReserve();
    CBulkReserve(const CBulkReserve &) = delete;
    CBulkReserve &operator=(const CBulkReserve &) = delete;

    // The region made ready, or a new one (untouched) when it is not yet; either way the next is
    // made ready. Throws std::bad_alloc like AllocateBulk.
    BulkBytes Take();

private:
    void Run();

    const size_t m_size;
    std::mutex m_lock;
    std::condition_variable m_wake;
    BulkBytes m_ready;
    bool m_wanted = true;
    bool m_stopping = false;
    std::thread m_thread; // last: it starts once the rest is made
};
