#pragma once

#include "model/EntryTree.h"

#include <string>
#include <string_view>

// Every entry with its depth, kind, and its name and each address behind their lengths, in
// tree order: unlike the saved text it tells zero addresses from one empty one and "a,b"
// from two addresses, so different trees never dump alike. Iterative, for deep books.
inline std::string TreeStructure(const EntryTree& tree) {
    std::string dump;
    std::size_t depth = 0;
    for (const EntryNode* node = tree.first; node;) {
        dump += std::to_string(depth) + ' ' + std::to_string(static_cast<int>(node->kind)) + ' ' +
                std::to_string(node->Name().size()) + ':' + std::string(node->Name());
        for (std::string_view address : node->Addresses())
            dump += '|' + std::to_string(address.size()) + ':' + std::string(address);
        dump += '\n';
        if (node->firstChild) {
            node = node->firstChild;
            ++depth;
            continue;
        }
        while (node && !node->next) {
            node = node->parent;
            --depth;
        }
        if (node)
            node = node->next;
    }
    return dump;
}
