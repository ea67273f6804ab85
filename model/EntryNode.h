#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Kind of one entry. EndGroup never enters the tree: the reader uses it for one line only.
enum class EntryKind : std::uint8_t {
    Address = 0,
    Group = 1,
    Separator = 2,
    EndGroup = 3,
};

// One entry of the book. Links are non-owning; the EntryTree owns every linked node.
// Names and addresses hold the file's bytes (CP932) and are never converted here.
struct EntryNode {
    EntryNode* parent = nullptr;
    EntryNode* firstChild = nullptr;
    EntryNode* next = nullptr;
    EntryNode* prev = nullptr;
    EntryKind kind = EntryKind::Address;
    std::string name;
    std::vector<std::string> addresses;

    bool IsGroup() const { return kind == EntryKind::Group; }
};

// The name every separator carries ("セパレータ" in CP932).
inline constexpr char kSeparatorName[] = "\x83\x5A\x83\x70\x83\x8C\x81\x5B\x83\x5E";
