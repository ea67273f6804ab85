#pragma once

#include "file/BookFormat.h"
#include "framework/Cp932.h"
#include "model/EntryTree.h"
#include "tests/support/TreeStructure.h"

#include <QtTest>

#include <sstream>
#include <string>

// Failed comparisons of std::string show the text.
namespace QTest {
template <> inline char* toString(const std::string& text) {
    return toString(QString::fromUtf8(text.data(), qsizetype(text.size())));
}
} // namespace QTest

// Books written in tests as UTF-8 .tlw text, and books shown back as UTF-8 .tlw text.
namespace book_text {

inline void Read(const std::string& utf8Book, EntryTree& tree) {
    const std::optional<std::string> bytes = Utf8ToCp932(utf8Book);
    QVERIFY2(bytes, "test book not in CP932");
    std::istringstream in(*bytes);
    ReadBook(in, tree);
}

inline std::string Written(const EntryTree& tree) {
    std::ostringstream out;
    WriteBook(out, tree);
    return std::move(out).str();
}

// The saved book as UTF-8, LF line ends, for readable comparisons.
inline std::string Shown(const EntryTree& tree) {
    std::string text = Cp932ToUtf8(Written(tree));
    std::string shown;
    for (char c : text) {
        if (c != '\r')
            shown += c;
    }
    return shown;
}

inline std::string Structure(const EntryTree& tree) {
    return TreeStructure(tree);
}

// True when the book written and read back has exactly the entries of tree.
inline bool SurvivesSaving(const EntryTree& tree) {
    EntryTree reread;
    std::istringstream in(Written(tree));
    ReadBook(in, reread);
    return Structure(reread) == Structure(tree);
}

} // namespace book_text
