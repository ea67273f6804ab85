#pragma once

#include "EntryNode.h"

#include <cstddef>
#include <vector>

// Memory for one book's nodes and text runs, taken in big blocks and given back all at once:
// reading a book is a bump of a pointer per entry and freeing it a handful of frees, however
// many entries it had. Nodes freed while editing are reused; text that an edit replaced stays
// until the book goes. Node blocks are whole granules of the node space (EntryNode.h), so
// that links between nodes can be 32-bit. In the sanitizer build every byte not handed out
// is poisoned, so a read through a stale pointer is still caught.
class EntryArena {
public:
    // Where blocks come from: malloc unless a program sets another source (pages of the
    // system's own, say); release is given back each block with the size it was taken with.
    // A block must start on a multiple of alignment, a power of two that divides its size
    // whenever it exceeds the malloc's own.
    struct BlockSource {
        void* (*allocate)(std::size_t size, std::size_t alignment);
        void (*release)(void* block, std::size_t size);
    };
    // For every arena, from now on; set it before any book is read.
    static void SetBlockSource(BlockSource source);
    // The source there is until another is set, for a source that leaves small blocks to it.
    static void* AllocateFromHeap(std::size_t size, std::size_t alignment);
    static void ReleaseToHeap(void* block, std::size_t size);

    EntryArena() = default;
    ~EntryArena() { Release(); }
    EntryArena(const EntryArena&) = delete;
    EntryArena& operator=(const EntryArena&) = delete;

    // A value-initialised node.
    EntryNode* NewNode();
    // The node may be handed out again by NewNode; its text is given up with it.
    void FreeNode(EntryNode* node);
    // size bytes for a text run that lives as long as the arena.
    char* NewText(std::size_t size);
    // A run no node uses any more; it is freed with the arena.
    void AbandonText(const char* text, std::size_t size);
    // Takes over all of other's memory; other is left empty.
    void Adopt(EntryArena& other);
    void Release();
    // Takes back everything handed out but keeps the newest block of each kind for what
    // comes next, so that a reader looking at one entry at a time takes no memory per entry.
    void Rewind();
    void Swap(EntryArena& other) noexcept;
    // Bytes taken from the system, for measurements.
    std::size_t BytesReserved() const { return reserved_; }

private:
    struct Block {
        Block* older;
        std::size_t size;
    };
    // One bump region with its chain of blocks, newest first.
    struct Region {
        Block* newest = nullptr;
        char* cursor = nullptr;
        char* limit = nullptr;
        std::size_t nextSize = 0;
    };

    char* Take(Region& region, std::size_t size, std::size_t alignment, std::size_t firstSize);
    char* NewBlock(Region& region, std::size_t size, std::size_t alignment = 16);
    void NewNodeBlock();
    static void FreeBlocks(Block* newest, bool nodes);
    void RewindRegion(Region& region, bool nodes);
    static void AppendBlocks(Region& to, Region& from);

    Region nodes_;
    Region texts_;
    std::vector<EntryNode*> freeNodes_;
    std::size_t reserved_ = 0;
};
