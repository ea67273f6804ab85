// Fuzzes the book in memory: any input, played as edits (insert, rename, readdress, move,
// swap, remove, copy, take another book in, clear), keeps the links whole, every entry's text
// as last set, and the written book reading back as the same book.
#include "tests/support/TreeScript.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TreeScript script;
    const std::string failure =
        script.Play(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!failure.empty()) {
        std::fprintf(stderr, "fuzz_tree: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
