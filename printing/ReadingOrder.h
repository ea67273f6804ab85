#pragma once

#include "model/EntryNode.h"

#include <cstddef>

// Steps through a book in reading order (an entry, then what its group holds, then the
// entries after it) with each entry's nesting depth, in constant memory at any depth.
class ReadingOrder {
public:
    explicit ReadingOrder(const EntryNode* first) : entry_(first) {}

    const EntryNode* entry() const { return entry_; } // null past the last entry
    std::size_t depth() const { return depth_; }

    void advance() {
        if (entry_->firstChild) {
            entry_ = entry_->firstChild;
            ++depth_;
            return;
        }
        // Climb out of every group whose chain ends here.
        while (entry_ && !entry_->next) {
            entry_ = entry_->parent;
            if (entry_)
                --depth_;
        }
        if (entry_)
            entry_ = entry_->next;
    }

private:
    const EntryNode* entry_;
    std::size_t depth_ = 0;
};
