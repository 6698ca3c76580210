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
