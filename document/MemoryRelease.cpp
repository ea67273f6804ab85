#include "document/MemoryRelease.h"

#include "model/EntryArena.h"

#include <cstdint>
#include <cstdlib> // defines __GLIBC__ on glibc
#include <sys/mman.h>
#include <unistd.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

constexpr std::size_t kHugePage = 2 * 1024 * 1024;

// Whole pages, so that the tail cut off a mapping starts on a page and release unmaps it all.
std::size_t WholePages(std::size_t size) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return (size + page - 1) / page * page;
}

// Blocks of at least a huge page are mapped on a huge-page boundary, so all of them can be
// backed by huge pages; smaller ones come from malloc as before. A huge page is aligned more
// than any block asks.
void* AllocateBlock(std::size_t size, std::size_t alignment) {
    if (size < kHugePage)
        return EntryArena::AllocateFromHeap(size, alignment);
    size = WholePages(size);
    const std::size_t mapped = size + kHugePage;
    void* area = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(area);
    const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > start)
        munmap(area, aligned - start);
    const std::size_t tail = mapped - (aligned - start) - size;
    auto* block = reinterpret_cast<char*>(aligned);
    if (tail > 0)
        munmap(block + size, tail);
#ifdef MADV_HUGEPAGE
    madvise(block, size, MADV_HUGEPAGE); // only a hint: without huge pages nothing changes
#endif
    return block;
}

void ReleaseBlock(void* block, std::size_t size) {
    if (size < kHugePage)
        EntryArena::ReleaseToHeap(block, size);
    else
        munmap(block, WholePages(size));
}

} // namespace

void ReleaseFreedMemory() {
#ifdef __GLIBC__
    ::malloc_trim(0);
#endif
}

void UseHugePagesForBooks() {
    EntryArena::SetBlockSource({AllocateBlock, ReleaseBlock});
}
