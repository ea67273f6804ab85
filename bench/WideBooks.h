#pragma once

// Books the doubling benchmarks grow: standard library and the codec only.
#include "framework/Cp932.h"
#include "model/EntryTree.h"

#include <span>
#include <string>
#include <vector>

// Japanese text as the book stores it; empty when CP932 cannot hold it.
inline std::string Cp932(const std::string& utf8) {
    return Utf8ToCp932(utf8).value_or(std::string());
}

// Groups of 100 address entries, each with a Japanese name, an e-mail address and a
// telephone number, then the extra addresses.
inline void FillWideBook(EntryTree& tree, int entries, std::span<const std::string> extra = {}) {
    EntryNode* group = nullptr;
    EntryNode* last = nullptr;
    for (int i = 0; i < entries; ++i) {
        if (i % 100 == 0) {
            group = tree.AppendEntry(
                tree.NewEntry(EntryKind::Group, Cp932("部署 " + std::to_string(i))), group, false);
            last = nullptr;
        }
        std::vector<std::string> addresses = {"taro" + std::to_string(i) + "@example.jp",
                                              "090-1234-5678"};
        addresses.insert(addresses.end(), extra.begin(), extra.end());
        EntryNode* entry =
            tree.NewEntry(EntryKind::Address, Cp932("山田 太郎 " + std::to_string(i)),
                          std::span<const std::string>(addresses));
        last = last ? tree.InsertAfter(entry, last) : tree.AppendEntry(entry, group, true);
    }
}
