#pragma once
// Memory for stores that fill large regions with data as it arrives. A region of a whole number
// of kHugePage is asked of the kernel in huge pages where it has them: a flood fills fresh memory
// at the rate it arrives, and on a virtual machine every first touch of a page is dear.
#include <cstddef>
#include <cstdint>
#include <memory>

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
