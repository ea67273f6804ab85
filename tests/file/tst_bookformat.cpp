#include "file/BookFormat.h"
#include "file/RoundTrip.h"

#include <QtTest>

#include <sstream>
#include <stdexcept>
#include <streambuf>

namespace {

using Strings = std::vector<std::string>;

// Read and written whole; every test that normalizes also checks that the line-at-a-time
// normalizer writes the very same bytes.
std::string Normalize(const std::string& bytes) {
    std::istringstream in(bytes);
    EntryTree tree;
    ReadBook(in, tree);
    std::ostringstream out;
    WriteBook(out, tree);
    std::istringstream again(bytes);
    std::ostringstream streamed;
    NormalizeBook(again, streamed);
    if (streamed.str() != out.str())
        throw std::runtime_error("the line-at-a-time normalizer wrote other bytes");
    return out.str();
}

void Read(const std::string& bytes, EntryTree& tree) {
    std::istringstream in(bytes);
    ReadBook(in, tree);
}

Strings SplitLines(const std::string& bytes, std::size_t chunk) {
    std::istringstream in(bytes);
    LineReader reader(in, chunk);
    Strings lines;
    std::string_view line;
    while (reader.Next(line))
        lines.emplace_back(line);
    return lines;
}

// A stream buffer that hands out its bytes and then fails, as a disk read error would.
class FailingReadBuf : public std::streambuf {
public:
    explicit FailingReadBuf(std::string head) : head_(std::move(head)) {
        setg(head_.data(), head_.data(), head_.data() + head_.size());
    }

protected:
    int_type underflow() override { throw std::runtime_error("EIO"); }

private:
    std::string head_;
};

// Accepts a few bytes and then refuses the rest, as a full disk would.
class FullDiskBuf : public std::streambuf {
public:
    explicit FullDiskBuf(std::size_t room) : room_(room) {}
    std::string written;

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        auto take = std::min<std::streamsize>(n, static_cast<std::streamsize>(room_));
        written.append(s, static_cast<std::size_t>(take));
        room_ -= static_cast<std::size_t>(take);
        return take;
    }
    int_type overflow(int_type) override { return traits_type::eof(); }

private:
    std::size_t room_;
};

std::uint64_t WrittenSize(const EntryTree& tree) {
    std::ostringstream out;
    WriteBook(out, tree);
    return out.str().size();
}

const std::string kName1 = "\x96\xbc\x91\x4f"; // 名前

} // namespace

class TestBookFormat : public QObject {
    Q_OBJECT

private slots:
    void workedExampleByteForByte() {
        const std::string n = kName1;
        const std::string file = "#memo\r\nGROUP " + n + "1\r\n  " + n + "2: addr1,addr2\r\n" +
                                 "  SEPARATOR\r\n  GROUP " + n + "3\r\n  END GROUP\r\n  " + n +
                                 "4: addr3, addr4\r\nEND GROUP\r\n\r\n" + n + "5:\r\naddr5\r\n";
        EntryTree tree;
        Read(file, tree);
        const EntryNode* g1 = tree.first;
        QCOMPARE(std::string(g1->Name()), n + "1");
        const EntryNode* a2 = g1->firstChild;
        QCOMPARE(a2->Addresses().ToStrings(), (Strings{"addr1", "addr2"}));
        QCOMPARE(std::string(a2->next->Name()), std::string(kSeparatorName));
        const EntryNode* g3 = a2->next->next;
        QVERIFY(g3->IsGroup() && !g3->firstChild);
        QCOMPARE(g3->next->Addresses().ToStrings(), (Strings{"addr3", " addr4"}));
        QCOMPARE(g1->next->Addresses().ToStrings(), (Strings{""}));
        QCOMPARE(std::string(g1->next->next->Name()), std::string());
        QCOMPARE(g1->next->next->Addresses().ToStrings(), (Strings{"addr5"}));

        const std::string expected =
            file.substr(7, file.find("\r\n\r\n") - 5) + n + "5: \r\n" + ": addr5\r\n";
        std::ostringstream out;
        WriteBook(out, tree);
        QCOMPARE(out.str(), expected);
    }

    void lineEndsAndChunkBoundaries() {
        const std::string crlf = "a\r\nbb\r\n\r\nccc";
        const Strings expected{"a", "bb", "", "ccc"};
        for (std::size_t chunk : {1, 2, 3, 5, 65536}) {
            QCOMPARE(SplitLines(crlf, chunk), expected);
            QCOMPARE(SplitLines("a\rbb\r\rccc\r", chunk), expected);
            QCOMPARE(SplitLines("a\nbb\n\nccc\n", chunk), expected);
            QCOMPARE(SplitLines("a\r\nbb\r\r\nccc\n", chunk), expected);
            // A lone CR, then a line ended by LF alone: that LF is no part of the CR's end.
            QCOMPARE(SplitLines("a\rbb\n\nccc", chunk), expected);
        }
        QCOMPARE(SplitLines("", 4), Strings{});
        QCOMPARE(SplitLines("\n\r", 4), (Strings{"", ""}));
        const std::string longLine(300000, 'x');
        QCOMPARE(SplitLines(longLine + "\ry", 4096), (Strings{longLine, "y"}));
        // Line ends are looked for eight bytes at a time: one at every offset of a word, among
        // bytes one away from CR and LF or differing from them in the high bit only.
        for (std::size_t at = 0; at < 17; ++at) {
            for (const char* end : {"\r", "\n", "\r\n"}) {
                const std::string head = std::string(at, '\x0B') + "\x8D\x8A\x0C\x0E\x09";
                const std::string tail = std::string(at % 5, '\x8A') + "\x0E";
                QCOMPARE(SplitLines(head + end + tail, 65536), (Strings{head, tail}));
            }
        }
    }

    void lineKinds_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("lower-case keyword") << QByteArray("group x") << QByteArray(": group x");
        QTest::newRow("END  GROUP") << QByteArray("END  GROUP") << QByteArray(": END  GROUP");
        QTest::newRow("bare GROUP") << QByteArray("GROUP") << QByteArray("GROUP \r\nEND GROUP");
        QTest::newRow("GROUP glued")
            << QByteArray("GROUPabc") << QByteArray("GROUP abc\r\nEND GROUP");
        QTest::newRow("GROUP blanks")
            << QByteArray("GROUP \t abc ") << QByteArray("GROUP abc \r\nEND GROUP");
        QTest::newRow("SEPARATOR text") << QByteArray("SEPARATORxyz") << QByteArray("SEPARATOR");
        QTest::newRow("short keyword") << QByteArray("SEPARATO") << QByteArray(": SEPARATO");
        QTest::newRow("hash inside") << QByteArray("a#b: c") << QByteArray("a#b: c");
        QTest::newRow("indented comment") << QByteArray(" \t#x") << QByteArray("");
        QTest::newRow("blank bytes") << QByteArray("\t\v\f  n: a") << QByteArray("n: a");
        QTest::newRow("full-width space kept")
            << QByteArray("\x81\x40n: a") << QByteArray("\x81\x40n: a");
        QTest::newRow("address pieces")
            << QByteArray("n  :  a, b,,c ") << QByteArray("n  : a, b,,c ");
        QTest::newRow("colon only") << QByteArray(":") << QByteArray(": ");
        QTest::newRow("second colon") << QByteArray("n:a:b") << QByteArray("n: a:b");
        QTest::newRow("NUL byte") << QByteArray("n\0x: y", 6) << QByteArray("n\0x: y", 6);
    }
    void lineKinds() {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, written);
        const std::string expected = written.isEmpty() ? "" : written.toStdString() + "\r\n";
        QCOMPARE(Normalize(line.toStdString() + "\r\n"), expected);
    }

    void nestingAndEndGroupPlacement() {
        // stray END GROUPs at the top, a group closed at the top level, two groups left open
        const std::string in = "END GROUP\r\nGROUP a\r\nx: 1\r\nEND GROUP\r\nEND GROUP\r\n"
                               "y: 2\r\n\tGROUP b\r\nGROUP c\r\nz: 3\r\n";
        QCOMPARE(Normalize(in),
                 std::string("GROUP a\r\n  x: 1\r\nEND GROUP\r\ny: 2\r\nGROUP b\r\n"
                             "  GROUP c\r\n    z: 3\r\n  END GROUP\r\nEND GROUP\r\n"));
        // an inner group that is the last child, followed by more at the outer level
        const std::string inner = "GROUP o\r\nGROUP i\r\nEND GROUP\r\nEND GROUP\r\nafter: x\r\n";
        QCOMPARE(Normalize(inner),
                 std::string("GROUP o\r\n  GROUP i\r\n  END GROUP\r\nEND GROUP\r\n"
                             "after: x\r\n"));
        QCOMPARE(Normalize(""), std::string());
        QCOMPARE(Normalize("# only\r\n\r\n   \r\n"), std::string());
    }

    void writerSpecialEntries() {
        EntryTree tree;
        EntryNode* bare =
            tree.AppendEntry(tree.NewEntry(EntryKind::Address, "none"), nullptr, false);
        tree.AppendEntry(tree.NewEntry(EntryKind::Separator, "ignored"), bare, false);
        std::ostringstream out;
        WriteBook(out, tree);
        QCOMPARE(out.str(), std::string("none: \r\nSEPARATOR\r\n"));
    }

    void alternatingEndGroupKeepsFileOrder() {
        std::string in;
        for (int i = 0; i < 200000; ++i)
            in += std::to_string(i) + "\r\nEND GROUP\r\n";
        EntryTree tree;
        Read(in, tree);
        int count = 0;
        for (const EntryNode* e = tree.first; e; e = e->next, ++count) {
            if (e->Addresses().ToStrings().front() != std::to_string(count) || e->parent)
                QFAIL(qPrintable(QString("wrong entry at %1").arg(count)));
        }
        QCOMPARE(count, 200000);
    }

    void deepBooks() {
        std::string deep;
        for (int i = 0; i < 1000000; ++i)
            deep += "GROUP\n";
        {
            EntryTree tree;
            Read(deep, tree); // freed by the destructor, iteratively
            QVERIFY(tree.first && tree.first->firstChild);
        }
        std::string expected;
        for (int d = 0; d < 3000; ++d)
            expected += std::string(2 * d, ' ') + "GROUP \r\n";
        for (int d = 2999; d >= 0; --d)
            expected += std::string(2 * d, ' ') + "END GROUP\r\n";
        QCOMPARE(Normalize(deep.substr(0, 3000 * 6)), expected);
    }

    // Lines with a few addresses and with many: every address comes back, in order.
    void anyNumberOfAddressesComesBack() {
        for (int count = 1; count <= 20; ++count) {
            std::string line = "n:";
            for (int i = 0; i < count; ++i)
                line += (i ? "," : " ") + std::string("a") + std::to_string(i);
            EntryTree tree;
            Read(line + "\r\n", tree);
            QCOMPARE(tree.first->Addresses().ToStrings().size(), std::size_t(count));
            QCOMPARE(tree.first->Addresses().ToStrings().back(), "a" + std::to_string(count - 1));
            QCOMPARE(Normalize(line + "\r\n"), line + "\r\n");
        }
        // Either side of 128 bytes, where an address's length takes two bytes in a text run.
        for (std::size_t first : {0, 127, 128, 300}) {
            for (std::size_t second : {1, 127, 128}) {
                const std::string line =
                    "n: " + std::string(first, 'x') + "," + std::string(second, 'y') + ",z\r\n";
                QCOMPARE(Normalize(line), line);
            }
        }
    }

    // The faults the editors name, where they stand; the fuzz target checks the rule against
    // the reader and writer on every other text.
    void roundTripFaults_data() {
        QTest::addColumn<int>("place");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("length");
        const int name = int(TextPlace::EntryName), group = int(TextPlace::GroupName);
        const int first = int(TextPlace::FirstAddress), later = int(TextPlace::LaterAddress);
        using F = RoundTripFault;
        const auto row = [](const char* tag, int place, QByteArray text, F fault, int at, int n) {
            QTest::newRow(tag) << place << text << int(fault) << at << n;
        };
        row("plain name", name,
            "\x8eR\x93"
            "c \x91\xbe\x98Y",
            F::None, 0, 0);
        row("keyword later in a name", name, "x GROUP #", F::None, 0, 0);
        row("comment", name, "#1 x", F::Keyword, 0, 1);
        row("group", name, "GROUPx", F::Keyword, 0, 5);
        row("end group", name, "END GROUP", F::Keyword, 0, 9);
        row("separator", name, "SEPARATOR-", F::Keyword, 0, 9);
        row("keyword cut short", name, "SEPARATO", F::None, 0, 0);
        row("colon in a name", name, "a: b", F::NameColon, 1, 1);
        row("line break in a name", name, "x\r\ndn", F::LineBreak, 1, 1);
        row("blank before a name", name, " x", F::LeadingBlank, 0, 1);
        row("group name with a colon", group, "a: b,c", F::None, 0, 0);
        row("group name keyword", group, "END GROUP", F::None, 0, 0);
        row("blank before a group name", group, "\tx", F::LeadingBlank, 0, 1);
        row("line end in a group name", group, "a\rb", F::LineBreak, 1, 1);
        row("comma in an address", first, "a,b", F::AddressComma, 1, 1);
        row("colon in an address", first, "mailto:a", F::None, 0, 0);
        row("blank before the first address", first, " a", F::LeadingBlank, 0, 1);
        row("blank before a later address", later, " a", F::None, 0, 0);
        row("comma in a later address", later, " a,", F::AddressComma, 2, 1);
    }
    void roundTripFaults() {
        QFETCH(int, place);
        QFETCH(QByteArray, text);
        QFETCH(int, fault);
        QFETCH(int, at);
        QFETCH(int, length);
        const RoundTripCheck check =
            CheckRoundTrip(std::string_view(text.data(), text.size()), TextPlace(place));
        QCOMPARE(int(check.fault), fault);
        if (!check.Survives()) {
            QCOMPARE(int(check.at), at);
            QCOMPARE(int(check.length), length);
        }
    }

    void streamFailuresAreRaised() {
        FailingReadBuf readBuf("a: 1\r\nb: 2\r\n");
        std::istream in(&readBuf);
        EntryTree tree;
        QVERIFY_THROWS_EXCEPTION(BookIoError, ReadBook(in, tree));

        EntryTree book;
        Read("a: 1\r\nb: 2\r\n", book);
        FullDiskBuf full(5);
        std::ostream out(&full);
        QVERIFY_THROWS_EXCEPTION(BookIoError, WriteBook(out, book));
    }

    void outputSizeIsWhatWriteBookWrites() {
        const std::string longName(70000, 'n');
        const std::string books[] = {
            "",
            "GROUP a\r\nGROUP\r\nGROUP " + longName + "\r\nx: 1\r\n",
            "SEPARATOR\r\nGROUP g\r\n  SEPARATORjunk\r\nEND GROUP\r\nSEPARATOR\r\n",
            "n:\r\nn: a\r\nn: a,bb,,ccc, d\r\nbare line\r\n" + longName + ": x\r\n",
            "GROUP o\r\nGROUP i\r\nGROUP j\r\nEND GROUP\r\nEND GROUP\r\nk: " + longName + "," +
                longName + "\r\nEND GROUP\r\nafter: x\r\n",
        };
        for (const std::string& book : books) {
            EntryTree tree;
            Read(book, tree);
            QCOMPARE(BookOutputSize(tree), WrittenSize(tree));
        }

        // Entries the reader never makes: no addresses at all, a separator with its own name.
        EntryTree tree;
        EntryNode* bare =
            tree.AppendEntry(tree.NewEntry(EntryKind::Address, "none"), nullptr, false);
        EntryNode* group = tree.AppendEntry(tree.NewEntry(EntryKind::Group), bare, false);
        tree.AppendEntry(tree.NewEntry(EntryKind::Separator, "ignored"), group, true);
        QCOMPARE(BookOutputSize(tree), WrittenSize(tree));
    }

    // Far too big to write; the size comes from the closed form, and only a linear walk gets it
    // in time.
    void outputSizeOfDeepChain() {
        const std::uint64_t depth = 100000;
        std::string chain;
        for (std::uint64_t i = 0; i < depth; ++i)
            chain += "GROUP\n";
        EntryTree tree;
        Read(chain, tree);
        const std::uint64_t size = BookOutputSize(tree);
        // At depth d: "GROUP " and "END GROUP", each after 2d blanks and before CR LF.
        const std::uint64_t lineText = 6 + 2 + 9 + 2;
        QCOMPARE(size, 2 * depth * (depth - 1) + lineText * depth);
    }
};

QTEST_APPLESS_MAIN(TestBookFormat)
#include "tst_bookformat.moc"
