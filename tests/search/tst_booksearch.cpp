#include "file/BookFormat.h"
#include "framework/Cp932.h"
#include "search/BookSearch.h"
#include "search/TextFolding.h"
#include "tests/support/TreeScript.h"

#include <QtTest>

#include <functional>
#include <sstream>

namespace {

// Book text is CP932: the tests write it in UTF-8 and store it as the book would.
std::string Cp932(const char* utf8) {
    return Utf8ToCp932(utf8).value();
}

bool Contains(const char* bookUtf8, const char* typedUtf8) {
    return FoldBookText(Cp932(bookUtf8)).find(FoldTypedText(typedUtf8)) != std::string::npos;
}

void ReadUtf8Book(const char* utf8, EntryTree& tree) {
    std::istringstream in(Cp932(utf8));
    ReadBook(in, tree);
}

// What a folded book built from an earlier one got wrong against a fresh fold of the same
// book, or an empty string.
std::string DifferenceFromAFreshFold(const FoldedBook& book, const EntryTree& tree) {
    const FoldedBook fresh(tree);
    if (book.EntryCount() != fresh.EntryCount())
        return "entry count";
    for (std::size_t place = 0; place < fresh.EntryCount(); ++place) {
        if (book.EntryAt(place) != fresh.EntryAt(place))
            return "entry at " + std::to_string(place);
        if (book.FieldsAt(place) != fresh.FieldsAt(place))
            return "fields at " + std::to_string(place) + ": " + std::string(book.FieldsAt(place));
    }
    return {};
}

// Folds the book again from previous, as the finder does after a change, and checks both the
// fold and the matches it carries over from previous against a fresh fold and search.
std::string FoldAgainAndCompare(FoldedBook& previous, const EntryTree& tree) {
    FoldedBook again(tree, previous);
    std::string difference = DifferenceFromAFreshFold(again, tree);
    for (const char* text : {"1", "a2", "n20"}) {
        if (difference.empty() &&
            again.PlacesContaining(text, previous, previous.PlacesContaining(text)) !=
                FoldedBook(tree).PlacesContaining(text))
            difference = std::string("places of ") + text + " carried over";
    }
    previous = std::move(again);
    return difference;
}

// Groups of 300 addresses, each with its own text.
void ReadWideBook(EntryTree& tree, const std::string& prefix) {
    std::string text;
    for (int group = 0; group < 10; ++group) {
        text += "GROUP g" + std::to_string(group) + "\n";
        for (int i = 0; i < 300; ++i)
            text +=
                "  " + prefix + std::to_string(group * 1000 + i) + ": a" + std::to_string(i) + "\n";
        text += "END GROUP\n";
    }
    std::istringstream in(text);
    ReadBook(in, tree);
}

EntryNode* TopLevel(const EntryTree& tree, int index) {
    EntryNode* entry = tree.first;
    while (index-- > 0)
        entry = entry->next;
    return entry;
}

std::vector<std::string> NamesAt(const FoldedBook& book, const std::vector<std::size_t>& places) {
    std::vector<std::string> names;
    for (std::size_t place : places)
        names.push_back(Cp932ToUtf8(book.EntryAt(place)->Name()));
    return names;
}

} // namespace

class TestBookSearch : public QObject {
    Q_OBJECT

private slots:
    void foldingMakesTheSameTextMatch_data() {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("typed");
        QTest::newRow("ASCII case") << "Taro@Example.JP"
                                    << "taro@example.jp";
        QTest::newRow("typed in capitals") << "taro"
                                           << "TARO";
        QTest::newRow("full-width letters") << "ＴＡＲＯ＠ｅｘ"
                                            << "taro@ex";
        QTest::newRow("full-width digits typed") << "090-1234"
                                                 << "０９０－１２３４";
        QTest::newRow("half-width kana in the book") << "ﾔﾏﾀﾞ ﾀﾛｳ"
                                                     << "ヤマダ タロウ";
        QTest::newRow("half-width kana typed") << "ヤマダ"
                                               << "ﾔﾏﾀﾞ";
        QTest::newRow("semi-voiced half-width") << "ﾍﾟﾝｷﾞﾝ"
                                                << "ペンギン";
        QTest::newRow("hiragana against katakana") << "ヤマダ"
                                                   << "やまだ";
        QTest::newRow("katakana against hiragana") << "さくら"
                                                   << "サクラ";
        QTest::newRow("hiragana against half-width") << "ｻｸﾗ ｶﾞｰﾃﾞﾝ"
                                                     << "さくら がーでん";
        QTest::newRow("a mark written apart") << "ガス"
                                              << "か゛す";
        QTest::newRow("ideographic space") << "山田　太郎"
                                           << "山田 太郎";
        QTest::newRow("yen sign typed for the backslash") << "C:\\mail"
                                                          << "c:¥mail";
        QTest::newRow("vu from a half-width u") << "ｳﾞｨｰﾅｽ"
                                                << "ヴィーナス";
        QTest::newRow("kanji stay as they are") << "山田太郎"
                                                << "田太";
    }
    void foldingMakesTheSameTextMatch() {
        QFETCH(QString, book);
        QFETCH(QString, typed);
        QVERIFY(Contains(book.toUtf8().constData(), typed.toUtf8().constData()));
    }

    void differentTextStaysDifferent_data() {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("typed");
        QTest::newRow("a voiced kana is another kana") << "ｶﾞｽ"
                                                       << "カス";
        QTest::newRow("a plain kana is not the voiced one") << "カス"
                                                            << "ガ";
        QTest::newRow("semi-voiced is not voiced") << "ﾊﾟﾝ"
                                                   << "バン";
        QTest::newRow("small kana") << "ｷｬﾝ"
                                    << "キヤン";
        QTest::newRow("long vowel mark is no hyphen") << "ｰ"
                                                      << "-";
        QTest::newRow("other kanji") << "山田"
                                     << "山口";
        // A trail byte may look like an ASCII letter: "ソ" is 0x83 0x5C, "ポ" 0x83 0x7C.
        QTest::newRow("no match inside a character") << "ソポ"
                                                     << "\\|";
    }
    void differentTextStaysDifferent() {
        QFETCH(QString, book);
        QFETCH(QString, typed);
        QVERIFY(!Contains(book.toUtf8().constData(), typed.toUtf8().constData()));
    }

    void bytesThatAreNoCharacterFoldLikeTheirDisplay() {
        QCOMPARE(FoldBookText("a\x81"), std::string("a\xEF\xBF\xBD"));
        QCOMPARE(FoldBookText("\x81\x20"
                              "B"),
                 std::string("\xEF\xBF\xBD b"));
        QCOMPARE(FoldTypedText("\xFF"
                               "A"),
                 std::string("\xEF\xBF\xBD"
                             "a"));
    }

    // The book's bytes fold exactly as their text on screen does when typed: every character
    // of CP932 alone, after a kana (where marks join) and with a stray byte. No folded text
    // holds the line feed that ends a field.
    void bookBytesFoldAsTheirTypedText() {
        std::string bytes;
        for (int lead = 0; lead < 0x100; ++lead) {
            for (int trail = lead < 0x80 ? 0x7F : 0x00; trail < 0x100; ++trail) {
                for (const char* before : {"", "\xB6", "\x82\xA9"}) { // ｶ and か
                    bytes = before;
                    bytes += static_cast<char>(lead);
                    if (trail != 0x7F || lead >= 0x80)
                        bytes += static_cast<char>(trail);
                    const std::string folded = FoldBookText(bytes);
                    if (folded != FoldTypedText(Cp932ToUtf8(bytes)) ||
                        folded.find('\n') != std::string::npos)
                        QFAIL(qPrintable(QByteArray::fromStdString(bytes).toHex(' ')));
                }
            }
        }
        // ASCII is folded eight bytes at a time: each byte at each offset of a word, then a
        // byte that stops the fast way.
        for (const char stop : {'\0', '\n', '\x1F', '\x7F', '\x80', '\xB6'}) {
            for (std::size_t at = 0; at < 8; ++at) {
                bytes.assign(at, 'Q');
                for (char c = ' '; c < '\x7F'; ++c)
                    bytes += c;
                bytes += stop;
                bytes += "ZzAa@[`{ MIXED case";
                QCOMPARE(FoldBookText(bytes), FoldTypedText(Cp932ToUtf8(bytes)));
            }
        }
    }

    // Entries are found in tree order, a group before its children, each once however
    // often it matches; separators never; a match never spans two fields.
    void findsEntriesInTreeOrder() {
        EntryTree tree;
        ReadUtf8Book("GROUP 山田家\r\n"
                     "  山田 太郎: taro@yamada.jp,yamada-2\r\n"
                     "  GROUP 親戚\r\n"
                     "    ﾔﾏﾀﾞ ﾊﾅｺ: hana@example.jp\r\n"
                     "  END GROUP\r\n"
                     "  SEPARATOR\r\n"
                     "END GROUP\r\n"
                     "鈴木: suzuki@example.jp\r\n"
                     "やまだ商店: shop@example.jp\r\n",
                     tree);
        const FoldedBook book(tree);
        QCOMPARE(book.EntryCount(), std::size_t(7));
        QCOMPARE(NamesAt(book, book.PlacesContaining(FoldTypedText("ヤマダ"))),
                 (std::vector<std::string>{"ﾔﾏﾀﾞ ﾊﾅｺ", "やまだ商店"}));
        QCOMPARE(NamesAt(book, book.PlacesContaining(FoldTypedText("yamada"))),
                 (std::vector<std::string>{"山田 太郎"}));
        QCOMPARE(NamesAt(book, book.PlacesContaining(FoldTypedText("山田"))),
                 (std::vector<std::string>{"山田家", "山田 太郎"}));
        QCOMPARE(NamesAt(book, book.PlacesContaining(FoldTypedText("EXAMPLE.JP"))),
                 (std::vector<std::string>{"ﾔﾏﾀﾞ ﾊﾅｺ", "鈴木", "やまだ商店"}));
        QVERIFY(book.PlacesContaining(FoldTypedText("セパレータ")).empty());
        QVERIFY(book.PlacesContaining(FoldTypedText("jpyamada")).empty());
        QVERIFY(book.PlacesContaining(FoldTypedText("太郎taro")).empty());
        QVERIFY(book.PlacesContaining({}).empty());
    }

    // A line feed typed into a name must not pose as the break between two fields.
    void lineFeedsNeverJoinFields() {
        EntryTree tree;
        const std::vector<std::string_view> addresses{"b"};
        tree.AppendEntry(tree.NewEntry(EntryKind::Address, "a\nx", addresses), nullptr, false);
        const FoldedBook book(tree);
        QVERIFY(book.PlacesContaining(FoldTypedText("a\nb")).empty());
        QCOMPARE(book.PlacesContaining(FoldTypedText("a\nx")), std::vector<std::size_t>{0});
    }

    void deepBooksAreWalkedWithoutRecursion() {
        EntryTree tree;
        EntryNode* group = nullptr;
        for (int level = 0; level < 200000; ++level)
            group = tree.AppendEntry(tree.NewEntry(EntryKind::Group, "g"), group, group != nullptr);
        tree.AppendEntry(tree.NewEntry(EntryKind::Address, "deep"), group, true);
        tree.AppendEntry(tree.NewEntry(EntryKind::Address, "top"), nullptr, false);
        const FoldedBook book(tree);
        QCOMPARE(book.PlacesContaining("deep"), std::vector<std::size_t>{200000});
        QCOMPARE(book.PlacesContaining("top"), std::vector<std::size_t>{200001});
    }

    // Folding again after edits copies what stayed; the result must be what folding the
    // whole book gives, whatever the edits did to the order.
    void foldingAgainAfterEditsEqualsAFreshFold() {
        EntryTree tree;
        ReadWideBook(tree, "n");
        FoldedBook book(tree, 64); // small chunks, so that edits share some and not others
        const std::vector<std::string_view> addresses{"ﾔﾏﾀﾞ", "new@example.jp"};
        const std::vector<std::pair<const char*, std::function<void()>>> edits = {
            {"rename", [&] { tree.SetName(TopLevel(tree, 3)->firstChild->next, "renamed"); }},
            {"new addresses",
             [&] {
                 tree.SetAddresses(TopLevel(tree, 0)->firstChild,
                                   std::span<const std::string_view>(addresses));
             }},
            {"group moved up", [&] { tree.MoveEntry(TopLevel(tree, 7), TopLevel(tree, 1)); }},
            {"group moved to the top", [&] { tree.MoveEntry(TopLevel(tree, 9), nullptr); }},
            {"group deleted", [&] { tree.RemoveEntry(TopLevel(tree, 4)); }},
            {"groups swapped", [&] { tree.SwapEntries(TopLevel(tree, 0), TopLevel(tree, 1)); }},
            {"copies and separators",
             [&] {
                 EntryNode* anchor = TopLevel(tree, 2)->firstChild;
                 for (int i = 0; i < 100; ++i) {
                     tree.InsertAfter(tree.NewSeparator(), anchor);
                     tree.InsertCopyAfter(*anchor, anchor);
                 }
             }},
            {"book read in",
             [&] {
                 EntryTree other;
                 ReadWideBook(other, "o");
                 tree.TakeBookInto(other, TopLevel(tree, 5));
             }},
            {"group emptied", [&] { tree.FreeChildren(TopLevel(tree, 6)); }},
            {"book cleared and another read",
             [&] {
                 tree.Clear();
                 ReadWideBook(tree, "x"); // likely in the memory the old book gave back
             }},
        };
        for (const auto& [what, edit] : edits) {
            const FoldedBook before = book;
            edit();
            const std::string difference = FoldAgainAndCompare(book, tree);
            QVERIFY2(difference.empty(), (std::string(what) + ": " + difference).c_str());
            if (std::string_view(what) == "rename") // an edit folds the one chunk it touched
                QCOMPARE(book.ChunksSharedWith(before), before.ChunkCount() - 1);
        }
        EntryTree swapped;
        ReadWideBook(swapped, "s");
        tree.Swap(swapped);
        const std::string difference = DifferenceFromAFreshFold(FoldedBook(tree, book), tree);
        QVERIFY2(difference.empty(), ("swap: " + difference).c_str());
    }

    void foldingAgainAfterRandomEditsEqualsAFreshFold() {
        // Each round's tree is a new book, which folds afresh at first, in chunks of 3.
        FoldedBook book(EntryTree(), 3);
        const std::string failure = PlayRandomScripts(
            40, [&](const EntryTree& tree) { return FoldAgainAndCompare(book, tree); });
        QVERIFY2(failure.empty(), failure.c_str());
    }

    // Every change of the book shows in the revision, so that what was derived from it
    // (the folded book's entry pointers) is known to be stale.
    void everyChangeMovesTheRevision() {
        EntryTree tree;
        EntryNode* a = tree.AppendEntry(tree.NewEntry(EntryKind::Address, "a"), nullptr, false);
        EntryNode* g = tree.AppendEntry(tree.NewEntry(EntryKind::Group, "g"), nullptr, false);
        EntryNode* b = tree.AppendEntry(tree.NewEntry(EntryKind::Address, "b"), g, true);
        EntryTree other;
        other.AppendEntry(other.NewEntry(EntryKind::Address, "o"), nullptr, false);
        const std::vector<std::string_view> none;
        const std::vector<std::function<void()>> changes = {
            [&] { tree.SetName(a, "a2"); },
            [&] { tree.SetAddresses(a, std::span<const std::string_view>(none)); },
            [&] { tree.InsertAfter(tree.NewEntry(EntryKind::Address, "c"), a); },
            [&] { tree.InsertCopyAfter(*a, a); },
            [&] { tree.InsertCopyInto(*a, g); },
            [&] { tree.MoveEntry(b, nullptr); },
            [&] { tree.SwapEntries(a, g); },
            [&] { tree.RemoveEntry(b); },
            [&] { tree.FreeChildren(a); }, // a holds the group's contents since the swap
            [&] { tree.TakeBookAfter(other, nullptr); },
            [&] { tree.Swap(other); },
            [&] { tree.Clear(); },
        };
        const std::size_t keepTheirText = changes.size() - 2; // all but Swap and Clear
        for (std::size_t i = 0; i < changes.size(); ++i) {
            const std::uint64_t before = tree.Revision();
            const std::uint64_t book = tree.BookId();
            changes[i]();
            QVERIFY2(tree.Revision() != before, std::to_string(i).c_str());
            QVERIFY2((tree.BookId() == book) == (i < keepTheirText), std::to_string(i).c_str());
        }
    }
};

QTEST_APPLESS_MAIN(TestBookSearch)
#include "tst_booksearch.moc"
