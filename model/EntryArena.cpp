#include "EntryArena.h"

#include <algorithm>
#include <cstdlib>
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
constexpr std::size_t kFirstNodeBlock = 4 * 1024;
constexpr std::size_t kFirstTextBlock = 4 * 1024;
constexpr std::size_t kLargestBlock = 4 * 1024 * 1024;
constexpr std::size_t kHeader = 16; // keeps the data behind a block header 16-aligned

void* Allocate(std::size_t size) {
    return std::malloc(size);
}

void Release(void* block, std::size_t) {
    std::free(block);
}

EntryArena::BlockSource blockSource{Allocate, Release};

std::size_t RoundUp(std::size_t size, std::size_t alignment) {
    return (size + alignment - 1) / alignment * alignment;
}

} // namespace

void EntryArena::SetBlockSource(BlockSource source) {
    blockSource = source;
}

char* EntryArena::NewBlock(Region& region, std::size_t size) {
    const std::size_t blockSize = std::max(size + kHeader, region.nextSize);
    auto* block = static_cast<Block*>(blockSource.allocate(blockSize));
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

EntryNode* EntryArena::NewNode() {
    void* memory;
    if (!freeNodes_.empty()) {
        memory = freeNodes_.back();
        freeNodes_.pop_back();
        UNPOISON(memory, sizeof(EntryNode));
    } else {
        memory = Take(nodes_, sizeof(EntryNode), alignof(EntryNode), kFirstNodeBlock);
    }
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

void EntryArena::FreeBlocks(Block* newest) {
    while (newest) {
        Block* older = newest->older;
        UNPOISON(newest, newest->size);
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
    FreeBlocks(nodes_.newest);
    FreeBlocks(texts_.newest);
    nodes_ = Region{};
    texts_ = Region{};
    std::vector<EntryNode*>().swap(freeNodes_);
    reserved_ = 0;
}

void EntryArena::Rewind() {
    RewindRegion(nodes_);
    RewindRegion(texts_);
    freeNodes_.clear();
}

void EntryArena::RewindRegion(Region& region) {
    Block* kept = region.newest;
    if (!kept)
        return;
    for (Block* older = kept->older; older; older = older->older)
        reserved_ -= older->size;
    FreeBlocks(kept->older);
    kept->older = nullptr;
    region.cursor = reinterpret_cast<char*>(kept) + kHeader;
    POISON(region.cursor, static_cast<std::size_t>(region.limit - region.cursor));
}

void EntryArena::Swap(EntryArena& other) noexcept {
    std::swap(nodes_, other.nodes_);
    std::swap(texts_, other.texts_);
    freeNodes_.swap(other.freeNodes_);
    std::swap(reserved_, other.reserved_);
}
