// The book's pages drawn on a PDF writer and read back with poppler's tools.
#include "file/BookFormat.h"
#include "printing/BookPages.h"
#include "printing/FontTables.h"
#include "printing/PrintFonts.h"
#include "printing/ReadingOrder.h"
#include "tests/support/PdfText.h"

#include <QPainter>
#include <QPdfWriter>
#include <QRawFont>
#include <QTemporaryDir>
#include <QtTest>

#include <sstream>

namespace {

constexpr qreal kMarginMm = 15;
constexpr qreal kPointsPerMm = 72 / 25.4;

void ReadTree(const QByteArray& bytes, EntryTree& tree) {
    std::istringstream in(bytes.toStdString());
    ReadBook(in, tree);
}

// The middle word of the page number "- n -", the last line of a page.
const QPair<QString, QRectF>& PageNumberWord(const PdfPage& page) {
    return page.words[page.words.size() - 2];
}

// A chain of groups, each the only entry of the one before.
void NestGroups(EntryTree& tree, int depth, const std::string& name) {
    EntryNode* parent = nullptr;
    for (int level = 0; level < depth; ++level) {
        EntryNode* group = tree.NewEntry(EntryKind::Group, name + std::to_string(level));
        tree.AppendEntry(group, parent, parent != nullptr);
        parent = group;
    }
}

} // namespace

class TestBookPages : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    int files_ = 0;

    // Draws the book on a new A4 PDF with the program's margins; the file's path.
    QString render(const EntryTree& tree, const QString& title = QStringLiteral("帳簿.tlw")) {
        const QString path = dir_.filePath(QStringLiteral("pages-%1.pdf").arg(++files_));
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                              QPageLayout::Millimeter);
        QPainter painter(&writer);
        RenderBook(painter, writer, {title, tree});
        return path;
    }
    QString render(const TestBook& book, const QString& title = QStringLiteral("帳簿.tlw")) {
        EntryTree tree;
        ReadTree(book.bytes(), tree);
        return render(tree, title);
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    // Title, then every group, name and address in reading order, nothing else; the nested
    // group at the end lands on a later page and still prints in its place.
    void printsEveryEntryInReadingOrder() {
        const TestBook book = SampleBookWithNestedGroupLater();
        const QString pdf = render(book);

        QCOMPARE(PrintedLines(pdf), QStringList{"帳簿.tlw"} + book.printed());
        const int pages = PdfPageCount(pdf);
        QVERIFY2(pages >= 2, qPrintable(QString::number(pages)));
        QVERIFY(PrintedLines(pdf, pages, pages).contains("東京支部"));
        QVERIFY(!PrintedLines(pdf, 1, 1).contains("東京支部"));
    }

    // Text reads back as the book holds it, also where the Japanese face draws a character
    // with the glyph of a radical or symbol that comes before it (⼭ U+2F2D for 山, ‧ U+2027
    // for ・); those, in a title, still print and read back as themselves.
    void textReadsBackAsPrinted_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("ideographs drawn like radicals")
            << "帳簿.tlw" << QStringList{"山田 太郎", "木村 日月", "人口"};
        QTest::newRow("punctuation drawn like symbols")
            << "帳簿.tlw" << QStringList{"ジョン・スミス", "9時～17時"};
        QTest::newRow("the radicals themselves") << "⼭⽥⽊.tlw" << QStringList{"山田木"};
    }
    void textReadsBackAsPrinted() {
        QFETCH(QString, title);
        QFETCH(QStringList, names);
        TestBook book;
        for (const QString& name : names)
            book.address(name, {});
        QCOMPARE(PrintedLines(render(book, title)), QStringList{title} + book.printed());
    }

    // The copy of the Japanese face keeps the character map version of the face: readers
    // stricter than this process's (HarfBuzz) refuse a map of any other version.
    void theBookCopyOfAFaceKeepsItsMapVersion() {
        const QStringList families = JapanesePrintFont(10).families();
        QVERIFY2(families.value(1).startsWith(QStringLiteral("Tellwick Print ")),
                 qPrintable(families.join(u',')));
        const QByteArray copy = QRawFont::fromFont(QFont(families[1])).fontTable("cmap");
        const QByteArray face = QRawFont::fromFont(QFont(families[2])).fontTable("cmap");
        QVERIFY(copy.size() > 4 && face.size() > 4);
        QCOMPARE(copy.left(2), face.left(2));
    }

    // Character maps from any font file: offsets and counts that point past the table's end
    // give an empty map rather than reading beyond it.
    void charMapsReadOnlyWithinTheirTable_data() {
        const auto be = [](std::initializer_list<std::pair<int, quint32>> fields) {
            QByteArray out;
            for (const auto& [bytes, value] : fields)
                for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
                    out.append(char(value >> shift));
            return out;
        };
        // Header and one Unicode record (platform 3, encoding 10) pointing at offset.
        const auto cmap = [&](quint32 offset) {
            return be({{2, 0}, {2, 1}, {2, 3}, {2, 10}, {4, offset}});
        };
        const QByteArray format12 =
            be({{2, 12}, {2, 0}, {4, 28}, {4, 0}, {4, 1}, {4, 0x41}, {4, 0x43}, {4, 7}});
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<int>("characters");
        QTest::newRow("a whole format 12 map") << cmap(12) + format12 << 3;
        QTest::newRow("subtable far past the end") << cmap(0xFFFFFFF0) + format12 << 0;
        QTest::newRow("subtable just past the end")
            << cmap(13 + quint32(format12.size())) + format12 << 0;
        QTest::newRow("more groups than bytes")
            << cmap(12) + format12.left(12) + be({{4, 1000}}) << 0;
        QTest::newRow("format 4 cut short")
            << cmap(12) + be({{2, 4}, {2, 0}, {2, 0}, {2, 400}}) << 0;
    }
    void charMapsReadOnlyWithinTheirTable() {
        QFETCH(QByteArray, table);
        QFETCH(int, characters);
        QCOMPARE(int(ReadUnicodeCharMap(table).size()), characters);
    }

    // Every word stays inside the margins, above the page number, which counts the pages; a
    // long address wraps within the width and reads back whole.
    void noLineLeavesItsPage() {
        TestBook book;
        const QString longAddress = QStringLiteral("https://example.jp/") + QString(300, u'x');
        for (int depth = 0; depth < 40; ++depth) {
            book.group(QStringLiteral("階層%1").arg(depth));
            book.address(QStringLiteral("名前 %1").arg(depth),
                         {longAddress, QStringLiteral("東京都千代田区丸の内一丁目 %1").arg(depth)});
            book.separator();
        }
        for (int depth = 0; depth < 40; ++depth)
            book.end();
        const QString pdf = render(book);

        const QList<PdfPage> pages = PdfWordBoxes(pdf);
        QVERIFY(pages.size() > 2);
        const qreal margin = kMarginMm * kPointsPerMm;
        for (int i = 0; i < pages.size(); ++i) {
            const PdfPage& page = pages[i];
            const QRectF area(margin - 1, margin - 1, page.size.width() - 2 * margin + 2,
                              page.size.height() - 2 * margin + 2);
            const auto& [number, numberBox] = PageNumberWord(page);
            QCOMPARE(number, QString::number(i + 1));
            for (const auto& [word, box] : page.words) {
                QVERIFY2(area.contains(box), qPrintable(word));
                if (box.top() < numberBox.top())
                    QVERIFY2(box.bottom() < numberBox.top(), qPrintable(word));
            }
        }
        const QString text = PrintedLines(pdf).join(QString());
        QCOMPARE(text.count(longAddress), 40);
    }

    // Each group's heading stands further right than its parent's, until half the width;
    // deeper ones stay there, so their names still print whole.
    void headingsIndentByDepthUpToHalfTheWidth() {
        EntryTree tree;
        NestGroups(tree, 200, "level");
        const QList<PdfPage> pages = PdfWordBoxes(render(tree));

        QList<QRectF> headings; // by depth
        for (const PdfPage& page : pages) {
            for (const auto& [word, box] : page.words) {
                if (word == QStringLiteral("level%1").arg(headings.size()))
                    headings << box;
            }
        }
        QCOMPARE(headings.size(), 200);
        const qreal margin = kMarginMm * kPointsPerMm;
        const qreal half = margin + (pages[0].size.width() - 2 * margin) / 2;
        int depth = 1;
        while (depth < 200 && headings[depth].left() > headings[depth - 1].left() + 5)
            ++depth;
        QVERIFY2(depth > 10 && depth < 200, qPrintable(QString::number(depth)));
        QVERIFY(qAbs(headings[depth].left() - half) < 1);
        for (; depth < 200; ++depth) {
            QCOMPARE(headings[depth].left(), headings[depth - 1].left());
            QVERIFY(headings[depth].right() < pages[0].size.width() - margin);
        }
    }

    void anEmptyBookPrintsItsTitle() {
        EntryTree tree;
        const QString pdf = render(tree);
        QCOMPARE(PdfPageCount(pdf), 1);
        QCOMPARE(PrintedLines(pdf), QStringList{"帳簿.tlw"});
        QVERIFY(IsPageNumberLine(TextLines(PdfText(pdf)).constLast()));
    }

    // The walk takes no stack per level: a book nested a million deep is read in order.
    void readingOrderWalksAMillionLevels() {
        EntryTree tree;
        constexpr int kDepth = 1'000'000;
        NestGroups(tree, kDepth, "");
        EntryNode* last = tree.NewEntry(EntryKind::Address);
        tree.AppendEntry(last, nullptr, false);
        int seen = 0;
        ReadingOrder order(tree.first);
        for (; order.entry() != last; order.advance()) {
            if (order.entry()->Name() != std::to_string(seen) || order.depth() != std::size_t(seen))
                QFAIL(qPrintable(QStringLiteral("out of order at %1").arg(seen)));
            ++seen;
        }
        QCOMPARE(seen, kDepth);
        QCOMPARE(order.depth(), std::size_t(0));
        order.advance();
        QVERIFY(!order.entry());
    }
};

QTEST_MAIN(TestBookPages)
#include "tst_bookpages.moc"
