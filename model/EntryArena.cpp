#include "EntryArena.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#define TELLWICK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TELLWICK_ASAN 1
#endif
#endif

#ifdef TELLWICK_ASAN
#include <sanitizer/asan_interface.h>
#define POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
// Whole shadow granules, so poisoning one run never covers a neighbour's first bytes.
constexpr std::size_t kTextAlignment = 8;
#else
#define POISON(address, size) ((void)(address), (void)(size))
#define UNPOISON(address, size) ((void)(address), (void)(size))
constexpr std::size_t kTextAlignment = 1;
#endif

namespace {

// Blocks grow from small (many books are tiny, and a read-in book is a tree of its own) to a
// size where the allocator's per-block work no longer shows.
constexpr std::size_t kFirstNodeBlock = node_space::kGranuleSize;
constexpr std::size_t kFirstTextBlock = 4 * 1024;
constexpr std::size_t kLargestBlock = 4 * 1024 * 1024;
constexpr std::size_t kHeader = 16; // keeps the data behind a block header 16-aligned

EntryArena::BlockSource blockSource{EntryArena::AllocateFromHeap, EntryArena::ReleaseToHeap};

std::size_t RoundUp(std::size_t size, std::size_t alignment) {
    return (size + alignment - 1) / alignment * alignment;
}

} // namespace

char* node_space::granules[node_space::kMaxGranules];

namespace {

// Granule numbers given back, and the lowest never given out. Several threads may each
// read a book of their own.
std::mutex granuleNumbersLock;
std::vector<std::uint32_t> freeGranuleNumbers;
std::uint32_t unusedGranuleNumber = 0;

std::uint32_t NewGranuleNumber() {
    if (!freeGranuleNumbers.empty()) {
        const std::uint32_t number = freeGranuleNumbers.back();
        freeGranuleNumbers.pop_back();
        return number;
    }
    if (unusedGranuleNumber == node_space::kMaxGranules)
        throw std::bad_alloc();
    return unusedGranuleNumber++;
}

} // namespace

void node_space::AddGranules(char* block, std::size_t size) {
    const std::lock_guard lock(granuleNumbersLock);
    const std::size_t count = size / kGranuleSize;
    // Room for every number there can be, so that giving numbers back never allocates.
    const std::size_t room = std::size_t{unusedGranuleNumber} + count;
    if (freeGranuleNumbers.capacity() < room)
        freeGranuleNumbers.reserve(std::max(room, 2 * freeGranuleNumbers.capacity()));
    std::size_t numbered = 0;
    try {
        for (; numbered < count; ++numbered) {
            char* granule = block + numbered * kGranuleSize;
            const std::uint32_t number = NewGranuleNumber();
            const std::uint32_t firstSlot = number * kSlotsPerGranule;
            std::memcpy(granule + kFirstSlotAt, &firstSlot, sizeof firstSlot);
            granules[number] = granule;
        }
    } catch (...) {
        for (std::size_t i = 0; i < numbered; ++i) {
            const char* granule = block + i * kGranuleSize;
            freeGranuleNumbers.push_back(SlotOf(reinterpret_cast<const EntryNode*>(granule)) /
                                         kSlotsPerGranule);
        }
        throw;
    }
}

void node_space::RemoveGranules(char* block, std::size_t size) {
    const std::lock_guard lock(granuleNumbersLock);
    for (char* granule = block; granule < block + size; granule += kGranuleSize) {
        const std::uint32_t number =
            SlotOf(reinterpret_cast<const EntryNode*>(granule)) / kSlotsPerGranule;
        granules[number] = nullptr;
        freeGranuleNumbers.push_back(number);
    }
}

void* EntryArena::AllocateFromHeap(std::size_t size, std::size_t alignment) {
    return alignment <= alignof(std::max_align_t) ? std::malloc(size)
                                                  : std::aligned_alloc(alignment, size);
}

void EntryArena::ReleaseToHeap(void* block, std::size_t) {
    std::free(block);
}

void EntryArena::SetBlockSource(BlockSource source) {
    blockSource = source;
}

char* EntryArena::NewBlock(Region& region, std::size_t size, std::size_t alignment) {
    const std::size_t blockSize = std::max(size + kHeader, region.nextSize);
    auto* block = static_cast<Block*>(blockSource.allocate(blockSize, alignment));
    if (!block)
        throw std::bad_alloc();
    block->older = region.newest;
    block->size = blockSize;
    region.newest = block;
    region.cursor = reinterpret_cast<char*>(block) + kHeader;
    region.limit = reinterpret_cast<char*>(block) + blockSize;
    region.nextSize = std::min(region.nextSize * 2, kLargestBlock);
    reserved_ += blockSize;
    POISON(region.cursor, blockSize - kHeader);
    return region.cursor;
}

char* EntryArena::Take(Region& region, std::size_t size, std::size_t alignment,
                       std::size_t firstSize) {
    if (region.nextSize == 0)
        region.nextSize = firstSize;
    size = RoundUp(size, alignment);
    if (static_cast<std::size_t>(region.limit - region.cursor) < size)
        NewBlock(region, size);
    char* taken = region.cursor;
    region.cursor += size;
    UNPOISON(taken, size);
    return taken;
}

// Node blocks are whole granules on a granule boundary; each granule's first slot is its
// header (the block's own header shares the first one), so those slots are never handed out.
void EntryArena::NewNodeBlock() {
    if (nodes_.nextSize == 0)
        nodes_.nextSize = kFirstNodeBlock;
    char* cursor = NewBlock(nodes_, node_space::kGranuleSize - kHeader, node_space::kGranuleSize);
    char* block = cursor - kHeader;
    for (char* granule = block; granule < nodes_.limit; granule += node_space::kGranuleSize)
        UNPOISON(granule, node_space::kSlotSize);
    try {
        node_space::AddGranules(block, static_cast<std::size_t>(nodes_.limit - block));
    } catch (...) {
        Block* taken = nodes_.newest;
        nodes_.newest = taken->older;
        nodes_.cursor = nodes_.limit = nullptr;
        reserved_ -= taken->size;
        taken->older = nullptr;
        FreeBlocks(taken, false); // numbered nothing
        throw;
    }
    nodes_.cursor = block + node_space::kSlotSize;
}

EntryNode* EntryArena::NewNode() {
    void* memory;
    if (!freeNodes_.empty()) {
        memory = freeNodes_.back();
        freeNodes_.pop_back();
    } else {
        if (nodes_.cursor == nodes_.limit)
            NewNodeBlock();
        if ((reinterpret_cast<std::uintptr_t>(nodes_.cursor) & (node_space::kGranuleSize - 1)) == 0)
            nodes_.cursor += node_space::kSlotSize;
        memory = std::exchange(nodes_.cursor, nodes_.cursor + sizeof(EntryNode));
    }
    UNPOISON(memory, sizeof(EntryNode));
    return new (memory) EntryNode();
}

void EntryArena::FreeNode(EntryNode* node) {
    AbandonText(node->text, node->textSize);
    freeNodes_.push_back(node);
    POISON(node, sizeof(EntryNode));
}

char* EntryArena::NewText(std::size_t size) {
    return Take(texts_, size, kTextAlignment, kFirstTextBlock);
}

void EntryArena::AbandonText(const char* text, std::size_t size) {
    // The separators' shared run is not the arena's.
    if (text && size > 0 && text != kSeparatorRun)
        POISON(text, RoundUp(size, kTextAlignment));
}

void EntryArena::FreeBlocks(Block* newest, bool nodes) {
    while (newest) {
        Block* older = newest->older;
        UNPOISON(newest, newest->size);
        if (nodes)
            node_space::RemoveGranules(reinterpret_cast<char*>(newest), newest->size);
        blockSource.release(newest, newest->size);
        newest = older;
    }
}

// from's blocks go behind to's newest, so to keeps bumping in its own current block.
void EntryArena::AppendBlocks(Region& to, Region& from) {
    if (!from.newest)
        return;
    if (!to.newest) {
        std::swap(to, from);
        return;
    }
    Block* oldest = from.newest;
    while (oldest->older)
        oldest = oldest->older;
    oldest->older = to.newest->older;
    to.newest->older = from.newest;
    from = Region{};
}

void EntryArena::Adopt(EntryArena& other) {
    if (&other == this)
        return;
    AppendBlocks(nodes_, other.nodes_);
    AppendBlocks(texts_, other.texts_);
    freeNodes_.insert(freeNodes_.end(), other.freeNodes_.begin(), other.freeNodes_.end());
    other.freeNodes_.clear();
    reserved_ += std::exchange(other.reserved_, 0);
}

void EntryArena::Release() {
    FreeBlocks(nodes_.newest, true);
    FreeBlocks(texts_.newest, false);
    nodes_ = Region{};
    texts_ = Region{};
    std::vector<EntryNode*>().swap(freeNodes_);
    reserved_ = 0;
}

void EntryArena::Rewind() {
    RewindRegion(nodes_, true);
    RewindRegion(texts_, false);
    freeNodes_.clear();
}

void EntryArena::RewindRegion(Region& region, bool nodes) {
    Block* kept = region.newest;
    if (!kept)
        return;
    for (Block* older = kept->older; older; older = older->older)
        reserved_ -= older->size;
    FreeBlocks(kept->older, nodes);
    kept->older = nullptr;
    auto* start = reinterpret_cast<char*>(kept);
    region.cursor = start + (nodes ? node_space::kSlotSize : kHeader);
    POISON(region.cursor, static_cast<std::size_t>(region.limit - region.cursor));
    if (nodes) {
        for (char* granule = start; granule < region.limit; granule += node_space::kGranuleSize)
            UNPOISON(granule, node_space::kSlotSize);
    }
}

void EntryArena::Swap(EntryArena& other) noexcept {
    std::swap(nodes_, other.nodes_);
    std::swap(texts_, other.texts_);
    freeNodes_.swap(other.freeNodes_);
    std::swap(reserved_, other.reserved_);
}
