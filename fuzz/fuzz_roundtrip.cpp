// Fuzzes the round-trip rule against the real writer and reader: the first input byte picks
// the place, the rest is the text. The rule must say a text survives exactly when a book
// holding it there reads back as the same tree, neighbours included; and mending every fault
// it names, one after another from where the last ended, must leave a text that survives.
#include "file/BookFormat.h"
#include "file/RoundTrip.h"
#include "model/EntryTree.h"
#include "tests/support/TreeStructure.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void Fail(const char* what, std::string_view text, int place) {
    std::fprintf(stderr, "fuzz_roundtrip: %s (place %d, %zu bytes)\n", what, place, text.size());
    std::abort();
}

// An address entry with one address, as every address entry reads back.
EntryNode* Neighbour(EntryTree& tree, std::string_view name) {
    const std::string_view address = "x";
    return tree.NewEntry(EntryKind::Address, name, std::span<const std::string_view>(&address, 1));
}

// A group holding an entry before the text's entry and one after it, and an entry after
// the group: a text that opens or closes a group, or adds a line, moves one of them.
void BuildBook(EntryTree& tree, std::string_view text, TextPlace place) {
    EntryNode* group = tree.AppendEntry(tree.NewEntry(EntryKind::Group, "g"), nullptr, false);
    EntryNode* before = Neighbour(tree, "before");
    tree.AppendEntry(before, group, true);
    EntryNode* entry = nullptr;
    const std::array<std::string_view, 2> first{text, "b"};
    const std::array<std::string_view, 2> later{"a", text};
    switch (place) {
    case TextPlace::GroupName:
        entry = tree.NewEntry(EntryKind::Group, text);
        break;
    case TextPlace::EntryName:
        entry = tree.NewEntry(EntryKind::Address, text);
        tree.SetAddresses(entry, std::span<const std::string_view>(first.data() + 1, 1));
        break;
    case TextPlace::FirstAddress:
        entry = tree.NewEntry(EntryKind::Address, "n");
        tree.SetAddresses(entry, std::span<const std::string_view>(first));
        break;
    case TextPlace::LaterAddress:
        entry = tree.NewEntry(EntryKind::Address, "n");
        tree.SetAddresses(entry, std::span<const std::string_view>(later));
        break;
    }
    tree.AppendEntry(entry, before, false);
    tree.AppendEntry(Neighbour(tree, "after"), entry, false);
    tree.AppendEntry(Neighbour(tree, "top"), group, false);
}

bool ReadsBackTheSame(std::string_view text, TextPlace place) {
    EntryTree tree;
    BuildBook(tree, text, place);
    std::ostringstream out;
    WriteBook(out, tree);
    std::istringstream in(std::move(out).str());
    EntryTree back;
    ReadBook(in, back);
    return TreeStructure(back) == TreeStructure(tree);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const int placeNumber = data[0] % 4;
    const auto place = static_cast<TextPlace>(placeNumber);
    std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

    if (CheckRoundTrip(text, place).Survives() != ReadsBackTheSame(text, place))
        Fail("the rule and the reader disagree", text, placeNumber);

    for (std::size_t from = 0;;) {
        const RoundTripCheck check = CheckRoundTrip(text, place, from);
        if (check.Survives())
            break;
        if (check.at < from || check.length == 0 || check.at + check.length > text.size())
            Fail("a fault outside the text or before where the look began", text, placeNumber);
        text[check.at] = '?';
        from = check.at + 1;
    }
    if (!ReadsBackTheSame(text, place))
        Fail("a text mended at every fault named still changes", text, placeNumber);
    return 0;
}
