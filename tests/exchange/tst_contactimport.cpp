#include "BookText.h"
#include "exchange/ContactExport.h"
#include "exchange/ContactImport.h"
#include "exchange/ContactRecord.h"
#include "exchange/ContactWriters.h"
#include "exchange/Utf8.h"

#include <QFile>
#include <QtTest>

#include <sstream>

Q_DECLARE_METATYPE(ContactFormat)
Q_DECLARE_METATYPE(std::string)

using namespace std::string_literals;

namespace {

std::string Card(const std::string& properties) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\n" + properties + "END:VCARD\r\n";
}

// Imports and returns the saved book as UTF-8; the tree must survive saving unchanged.
std::string ImportedBook(ContactFormat format, const std::string& text, bool replace = false) {
    EntryTree tree;
    ImportContacts(format, text, tree, replace);
    if (!book_text::SurvivesSaving(tree))
        return "changed by saving:\n" + book_text::Structure(tree);
    return book_text::Shown(tree);
}

std::string RefusalOf(ContactFormat format, const std::string& text) {
    EntryTree tree;
    try {
        ImportContacts(format, text, tree, false);
    } catch (const ImportError& error) {
        return tree.first ? "tree touched" : error.what();
    }
    return "accepted";
}

std::string Exported(const EntryTree& tree, ContactFormat format) {
    std::ostringstream out;
    ExportContacts(tree, format, out);
    return std::move(out).str();
}

// The book as it comes back through an exchange format: separators and groups without
// address entries below them left out.
std::string WithoutSeparatorsAndEmptyGroups(const std::string& utf8Book) {
    EntryTree tree;
    book_text::Read(utf8Book, tree);
    for (bool removed = true; removed;) {
        removed = false;
        std::vector<EntryNode*> doomed;
        std::vector<EntryNode*> pending{tree.first};
        while (!pending.empty()) {
            EntryNode* node = pending.back();
            pending.pop_back();
            for (; node; node = node->next) {
                if (node->kind == EntryKind::Separator || (node->IsGroup() && !node->firstChild))
                    doomed.push_back(node);
                else if (node->firstChild)
                    pending.push_back(node->firstChild);
            }
        }
        for (EntryNode* node : doomed)
            tree.RemoveEntry(node);
        removed = !doomed.empty();
    }
    return book_text::Structure(tree);
}

const std::string kRichBook = R"(GROUP 家族
  山田 太郎: taro@example.jp,090-1234-5678, 二つ目は空白から,,
  SEPARATOR
  GROUP 親戚/遠縁 100%
    佐藤, 花子; "はな": hanako@example.jp
  END GROUP
  GROUP 空
    SEPARATOR
  END GROUP
  back\slash \n: a;b\c
END GROUP
GROUP
  GROUP a,b;c
    名前のない組の中: x
  END GROUP
END GROUP
GROUP %
  末尾の空白  : y  
END GROUP
近所の歯医者: 0120-000-111
: 名前なし
名前だけ: 
)";

} // namespace

class TestContactImport : public QObject {
    Q_OBJECT

private slots:
    // Sequences at the edges of UTF-8: the last code point, one past it, overlong forms and
    // surrogates, whose second byte alone tells them from valid ones.
    void utf8SequenceEdges_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("length");
        QTest::newRow("U+10FFFF") << QByteArray("\xF4\x8F\xBF\xBF") << 4;
        QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << 0;
        QTest::newRow("lead F5") << QByteArray("\xF5\x80\x80\x80") << 0;
        QTest::newRow("U+10000") << QByteArray("\xF0\x90\x80\x80") << 4;
        QTest::newRow("overlong four") << QByteArray("\xF0\x8F\xBF\xBF") << 0;
        QTest::newRow("overlong three") << QByteArray("\xE0\x9F\xBF") << 0;
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << 0;
        QTest::newRow("before surrogates") << QByteArray("\xED\x9F\xBF") << 3;
    }
    void utf8SequenceEdges() {
        QFETCH(QByteArray, bytes);
        QTEST(int(utf8::SequenceLength(std::string_view(bytes.data(), bytes.size()), 0)), "length");
    }

    // ASCII is skipped a word at a time: what is not UTF-8 must be found at, across and
    // after the edges of words all the same.
    void utf8FindInvalid_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("at");
        QTest::newRow("ASCII over words") << QByteArray("abcdefghijklmnopq") << -1;
        QTest::newRow("first byte") << QByteArray("\xFF"
                                                  "bcdefghij")
                                    << 0;
        QTest::newRow("after a word") << QByteArray("abcdefgh\xFF") << 8;
        QTest::newRow("inside the second word") << QByteArray("abcdefghij\xFFklmnop") << 10;
        QTest::newRow("valid across words") << QByteArray("abcdefg\xE5\xB1\xB1hijklmnop") << -1;
        QTest::newRow("cut short at the end") << QByteArray("abcdef\xE5\xB1\xB1gh\xC3") << 11;
    }
    void utf8FindInvalid() {
        QFETCH(QByteArray, text);
        const std::size_t at = utf8::FindInvalid(std::string_view(text.data(), text.size()));
        QTEST(at == std::string_view::npos ? -1 : int(at), "at");
    }

    void readsCardsOfCommonClients();
    void cardSyntax_data();
    void cardSyntax();
    void csvSyntax_data();
    void csvSyntax();
    void notesAreAddressesOnlyInTellwicksOwnCards();
    void categoriesNestInFirstSeenOrder();
    void textOutsideCp932IsReportedPerRecord();
    void replacingWritesQuestionMarksAndCounts();
    void textTheBookCannotHoldIsReported_data();
    void textTheBookCannotHoldIsReported();
    void malformedInputIsRefused_data();
    void malformedInputIsRefused();
    void exportedBooksComeBack_data();
    void exportedBooksComeBack();
    void deepPathsComeBack();
    void spreadsheetFormulasAreMarkedAndComeBack_data();
    void spreadsheetFormulasAreMarkedAndComeBack();
    void formatForPath();
    void formatForFileStart();
};

void TestContactImport::readsCardsOfCommonClients() {
    QFile file(QString::fromUtf8(qgetenv("TELLWICK_SOURCE_DIR")) +
               "/tests/exchange/data/clients.vcf");
    QVERIFY(file.open(QIODevice::ReadOnly));
    EntryTree tree;
    const ImportReport report =
        ImportContacts(ContactFormat::VCard, file.readAll().toStdString(), tree, false);
    QCOMPARE(report.records, 6u);
    QVERIFY(report.unencodable.empty());
    QCOMPARE(book_text::Shown(tree),
             "Simon Perreault: simon.perreault@viagenie.ca,+1-418-656-9254;ext=102,"
             "+1-418-262-6501\n"
             "佐藤 花子: hanako@example.jp\n"
             "GROUP myContacts\n"
             "  Taro Yamada: taro@example.com,090-1234-5678,taro.work@example.com\n"
             "END GROUP\n"
             "GROUP Friends\n"
             "  鈴木 一郎: +81 3-1234-5678,ichiro@example.jp\n"
             "END GROUP\n"
             "高橋 次郎: 080-9876-5432,jiro@example.jp\n"
             "田中 花: \n");
}

void TestContactImport::cardSyntax_data() {
    QTest::addColumn<std::string>("text");
    QTest::addColumn<std::string>("book");
    QTest::newRow("folded with space and tab")
        << Card("FN:山田\r\n  太郎\r\nEMAIL:ta\r\n\tro@example.jp\r\n")
        << "山田 太郎: taro@example.jp\n"s;
    QTest::newRow("2.1 folding keeps the blank")
        << "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:山田\r\n 太郎\r\nEND:VCARD\r\n"s
        << "山田 太郎: \n"s;
    QTest::newRow("names in any case, group prefixes, parameters")
        << Card("fn:A\r\nitem1.email;type=\"x:y;z\";PREF=1:a@example.jp\r\n"
                "Item2.Tel;VALUE=uri:tel:+81-3-0000-0000\r\nx-custom:ignored\r\n")
        << "A: a@example.jp,+81-3-0000-0000\n"s;
    QTest::newRow("escapes") << Card("FN:a\\,b\\;c\\\\d\\x\r\nEMAIL:1\\;2\\:3\\\r\n")
                             << "a,b;c\\d\\x: 1;2:3\\\n"s;
    QTest::newRow("name from N when FN is empty")
        << Card("FN:\r\nN:Family;Given;Middle,Second;Dr.;Jr.\r\n")
        << "Family Given Middle Second: \n"s;
    QTest::newRow("FN wins over N") << Card("N:山田;太郎;;;\r\nFN:やまだ\r\n") << "やまだ: \n"s;
    QTest::newRow("nothing at all") << Card("ORG:Company\r\n") << ": \n"s;
    QTest::newRow("base64 and quoted-printable")
        << Card("FN;ENCODING=B:5bGx55Sw\r\nEMAIL;QUOTED-PRINTABLE:a=3Db=\r\n =20c=ZZ\r\n")
        << "山田: a=b  c=ZZ\n"s;
    QTest::newRow("only the first ENCODING and CHARSET count")
        << Card("FN;ENCODING=b;ENCODING=QUOTED-PRINTABLE:YWJj\r\n"
                "EMAIL;ENCODING=;BASE64:YWI=\r\nTEL;CHARSET=Sjis;CHARSET=KOI8-R:\x8eR\r\n")
        << "abc: YWI=,山\n"s;
    QTest::newRow("a quoted empty charset is none")
        << Card("FN;ENCODING=B;CHARSET=\"\":YWI=\r\n") << "ab: \n"s;
    QTest::newRow("base64 padding")
        << Card("FN;ENCODING=BASE64:YWI=\r\nEMAIL;BASE64:Y Q==\r\n") << "ab: a\n"s;
    QTest::newRow("Shift_JIS and Latin-1")
        << Card("FN;CHARSET=Shift_JIS;ENCODING=QUOTED-PRINTABLE:=8ER=93c\r\n"
                "EMAIL;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:20=B0C\r\n")
        << "山田: 20°C\n"s;
    QTest::newRow("raw Shift_JIS under any spelling of its name")
        << Card("FN;CHARSET=shift_jis:\x8eR\x93"
                "c\r\nEMAIL;CHARSET=Windows-31J:\x95\\n\r\n"
                "CATEGORIES;CHARSET=cp932:\x89\xc6\x91\xb0/\x91\xbe\x98Y\r\n")
        << "GROUP 家族\n  GROUP 太郎\n    山田: 表n\n  END GROUP\nEND GROUP\n"s;
    QTest::newRow("soft line break before END:VCARD")
        << "BEGIN:VCARD\r\nFN:a\r\nEMAIL;QUOTED-PRINTABLE:b=\r\nEND:VCARD\r\n"s + Card("FN:c\r\n")
        << "a: b\nc: \n"s;
    QTest::newRow("LF and CR line ends, blank lines, BOM")
        << "\xEF\xBB\xBF\nBEGIN:VCARD\nFN:a\nEND:VCARD\r\n\rBEGIN:VCARD\rFN:b\rEND:VCARD"s
        << "a: \nb: \n"s;
}

void TestContactImport::cardSyntax() {
    QFETCH(std::string, text);
    QFETCH(std::string, book);
    QCOMPARE(ImportedBook(ContactFormat::VCard, text), book);
}

void TestContactImport::csvSyntax_data() {
    QTest::addColumn<std::string>("text");
    QTest::addColumn<std::string>("book");
    QTest::newRow("plain rows, LF, no last line end")
        << "Group,Name,Addresses\na/b,n,x@example.jp\n,m,\"1, 2\""s
        << "GROUP a\n  GROUP b\n    n: x@example.jp\n  END GROUP\nEND GROUP\nm: 1, 2\n"s;
    QTest::newRow("quoted fields")
        << "Group,Name,Addresses\r\n\"%\",\"say \"\"hi\"\", you\",\"a,\"\"b\"\"\"\r\n"s
        << "GROUP \n  say \"hi\", you: a,\"b\"\nEND GROUP\n"s;
    QTest::newRow("CR line ends") << "Group,Name,Addresses\r,a,b\r,c,d"s
                                  << "a: b\nc: d\n"s;
    QTest::newRow("empty lines skipped") << "Group,Name,Addresses\r\n\r\n,a,b\n\n\r\r\n"s
                                         << "a: b\n"s;
    QTest::newRow("header only") << "\xEF\xBB\xBFGroup,Name,Addresses\r\n"s
                                 << ""s;
}

void TestContactImport::csvSyntax() {
    QFETCH(std::string, text);
    QFETCH(std::string, book);
    QCOMPARE(ImportedBook(ContactFormat::Csv, text), book);
}

void TestContactImport::notesAreAddressesOnlyInTellwicksOwnCards() {
    const std::string own = "PRODID:-//Tellwick//Tellwick//EN\r\n";
    const std::string text =
        Card("FN:a\r\nEMAIL:x@example.jp\r\nNOTE:駅前\r\nTEL:03-1\r\n" + own) +
        Card("FN:b\r\nNOTE:会議で会った\\n紅茶が好き\r\nEMAIL:y@example.jp\r\n") +
        Card("PRODID:-//Mozilla.org//EN\r\nFN:c\r\nNOTE:メモ\r\n");
    EntryTree tree;
    const ImportReport report = ImportContacts(ContactFormat::VCard, text, tree, false);
    QVERIFY(report.unencodable.empty()); // the dropped note's line break is not reported
    QCOMPARE(book_text::Shown(tree), "a: x@example.jp,駅前,03-1\nb: y@example.jp\nc: \n");
}

void TestContactImport::categoriesNestInFirstSeenOrder() {
    const std::string text = Card("FN:1\r\n") + Card("FN:2\r\nCATEGORIES:B/C,Other\r\n") +
                             Card("FN:3\r\nCATEGORIES:B/CD\r\n") +
                             Card("FN:4\r\nCATEGORIES:B\r\n") + Card("FN:5\r\nCATEGORIES:A\r\n") +
                             Card("FN:6\r\nCATEGORIES:B/C\r\n") + Card("FN:7\r\nCATEGORIES:\r\n") +
                             Card("FN:8\r\nCATEGORIES:a\\,b/%25%2f%\r\n") +
                             Card("FN:9\r\nCATEGORIES:B/CD\r\n");
    QCOMPARE(ImportedBook(ContactFormat::VCard, text),
             "1: \n"
             "GROUP B\n  GROUP C\n    2: \n    6: \n  END GROUP\n"
             "  GROUP CD\n    3: \n    9: \n  END GROUP\n  4: \nEND GROUP\n"
             "GROUP A\n  5: \nEND GROUP\n"
             "7: \n"
             "GROUP a,b\n  GROUP %/%\n    8: \n  END GROUP\nEND GROUP\n");
}

void TestContactImport::textOutsideCp932IsReportedPerRecord() {
    const std::string text = Card("FN:ok\r\n") + Card("FN:a😀b¥😀\r\nEMAIL:€ ¥\r\n") +
                             Card("FN:c\r\nCATEGORIES:g🎉\r\n") + Card("FN:d\r\nCATEGORIES:g🎉\r\n");
    EntryTree tree;
    const ImportReport report = ImportContacts(ContactFormat::VCard, text, tree, false);
    QVERIFY(!tree.first);
    QCOMPARE(report.records, 4u);
    QCOMPARE(report.replaced, 0u);
    QCOMPARE(report.unencodable.size(), 3u);
    const auto& second = report.unencodable[0];
    QCOMPARE(std::make_tuple(second.record, second.line, second.characters, second.misplaced),
             std::make_tuple(std::size_t{2}, std::size_t{5}, std::string("😀¥€"), std::string()));
    QCOMPARE(report.unencodable[1].record, 3u);
    QCOMPARE(report.unencodable[1].characters, "🎉");
    QCOMPARE(report.unencodable[2].line, 15u);
    QCOMPARE(report.unencodable[2].characters, "🎉");
}

void TestContactImport::replacingWritesQuestionMarksAndCounts() {
    const std::string text = Card("FN:a😀b¥😀\r\nEMAIL:€ ¥\r\n") + Card("FN:c\r\nCATEGORIES:g🎉\r\n") +
                             Card("FN:d\r\nCATEGORIES:g🎉\r\n");
    EntryTree tree;
    const ImportReport report = ImportContacts(ContactFormat::VCard, text, tree, true);
    QCOMPARE(report.unencodable.size(), 3u);
    QCOMPARE(report.replaced, 6u); // the group's "?" is written once
    QCOMPARE(book_text::Shown(tree), "a?b??: ? ?\nGROUP g?\n  c: \n  d: \nEND GROUP\n");
}

void TestContactImport::textTheBookCannotHoldIsReported_data() {
    QTest::addColumn<std::string>("properties");
    QTest::addColumn<std::string>("misplaced");
    QTest::addColumn<std::string>("book");
    QTest::newRow("colon in a name") << "FN:Sales: Tokyo\r\n"s
                                     << ":"s
                                     << "Sales? Tokyo: \n"s;
    QTest::newRow("comma in an address") << "FN:n\r\nEMAIL:a\\,b\r\n"s
                                         << ","s
                                         << "n: a?b\n"s;
    QTest::newRow("line breaks") << "FN:a\\nb\r\nEMAIL:c\\n\r\n"s
                                 << "\n"s
                                 << "a?b: c?\n"s;
    QTest::newRow("comment") << "FN:#1\r\n"s
                             << "#"s
                             << "?1: \n"s;
    QTest::newRow("keywords") << "FN:GROUPON\r\n"s
                              << "G"s
                              << "?ROUPON: \n"s;
    QTest::newRow("leading blanks dropped, trailing kept")
        << "FN:\\n  END GROUP \r\nEMAIL: \t x \r\nEMAIL:  y\r\n"s
        << "E"s
        << "?ND GROUP : x ,  y\n"s;
    QTest::newRow("colon and comma in a group name are fine")
        << "FN:n\r\nCATEGORIES:a:b\\,c/ d\r\n"s
        << ""s
        << "GROUP a:b,c\n  GROUP d\n    n: \n  END GROUP\nEND GROUP\n"s;
}

void TestContactImport::textTheBookCannotHoldIsReported() {
    QFETCH(std::string, properties);
    QFETCH(std::string, misplaced);
    QFETCH(std::string, book);
    EntryTree refused;
    const ImportReport report =
        ImportContacts(ContactFormat::VCard, Card(properties), refused, false);
    QCOMPARE(report.unencodable.empty() ? std::string() : report.unencodable.front().misplaced,
             misplaced);
    QCOMPARE(refused.first == nullptr, !misplaced.empty());
    QCOMPARE(ImportedBook(ContactFormat::VCard, Card(properties), true), book);
}

void TestContactImport::malformedInputIsRefused_data() {
    QTest::addColumn<ContactFormat>("format");
    QTest::addColumn<std::string>("text");
    QTest::addColumn<std::string>("message");
    const auto vcard = ContactFormat::VCard;
    const auto csv = ContactFormat::Csv;
    QTest::newRow("not UTF-8") << vcard << Card("FN:\x93\x63\r\n") << "line 3: not UTF-8"s;
    QTest::newRow("quoted-printable not UTF-8")
        << vcard << Card("FN;ENCODING=QUOTED-PRINTABLE:=93=63\r\n") << "line 3: not UTF-8"s;
    QTest::newRow("not UTF-8 on a folded line")
        << vcard << Card("FN:a\r\n \xFF\r\n") << "line 4: not UTF-8"s;
    QTest::newRow("not UTF-8 before a Shift_JIS value")
        << vcard << Card("FN;X=\xFF;CHARSET=SJIS:a\r\n") << "line 3: not UTF-8"s;
    QTest::newRow("quoted-printable not Shift_JIS")
        << vcard << Card("FN;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:=8E=20\r\n")
        << "line 3: invalid Shift_JIS value"s;
    QTest::newRow("raw value not Shift_JIS") << vcard << Card("FN:a\r\nNOTE;CHARSET=SJIS:x\x81\r\n")
                                             << "line 4: invalid Shift_JIS value"s;
    QTest::newRow("unknown charset") << vcard << Card("FN;CHARSET=KOI8-R;ENCODING=B:wQ==\r\n")
                                     << "line 3: unsupported CHARSET KOI8-R"s;
    QTest::newRow("unknown charset named in lower case")
        << vcard << Card("FN;charset=koi8-r;ENCODING=B:wQ==\r\n")
        << "line 3: unsupported CHARSET KOI8-R"s;
    QTest::newRow("bad base64") << vcard << Card("FN;ENCODING=B:ab*c\r\n")
                                << "line 3: invalid base64 value"s;
    QTest::newRow("text before a card")
        << vcard << "hello\r\n"s + Card("") << "line 1: property without ':'"s;
    QTest::newRow("property before a card") << vcard << "FN:x\r\n"s
                                            << "line 1: expected BEGIN:VCARD"s;
    QTest::newRow("end without begin") << vcard << "\r\nEND:VCARD\r\n"s
                                       << "line 2: END:VCARD without BEGIN:VCARD"s;
    QTest::newRow("card in a card")
        << vcard << "BEGIN:VCARD\r\n"s + Card("") << "line 2: BEGIN:VCARD inside a card"s;
    QTest::newRow("card not closed") << vcard << Card("") + "BEGIN:VCARD\r\nFN:x\r\n"
                                     << "line 4: card not closed by END:VCARD"s;
    QTest::newRow("parameter not closed")
        << vcard << Card("FN;X=\"a:b\r\n") << "line 3: property without ':'"s;
    QTest::newRow("no header") << csv << ",a,b\r\n"s
                               << "line 1: the first line must be the header Group,Name,Addresses"s;
    QTest::newRow("empty") << csv << ""s
                           << "line 1: the first line must be the header Group,Name,Addresses"s;
    QTest::newRow("too few fields") << csv << "Group,Name,Addresses\r\na,b\r\n"s
                                    << "line 2: expected 3 fields, found 2"s;
    QTest::newRow("quoted empty line") << csv << "Group,Name,Addresses\r\n\r\n\"\"\r\n"s
                                       << "line 3: expected 3 fields, found 1"s;
    QTest::newRow("quote in a plain field") << csv << "Group,Name,Addresses\r\n,a\"b,c\r\n"s
                                            << "line 2: quote inside an unquoted field"s;
    QTest::newRow("text after a quote") << csv << "Group,Name,Addresses\r\n,\"a\"b,c\r\n"s
                                        << "line 2: text after a closing quote"s;
    QTest::newRow("quote not closed") << csv << "Group,Name,Addresses\r\n,\"a\r\nb\r\n,c,d\r\n"s
                                      << "line 2: quoted field not closed"s;
    QTest::newRow("line counted through quoted breaks")
        << csv << "Group,Name,Addresses\r\n,\"a\r\nb\",c\r\n,x\r\n"s
        << "line 4: expected 3 fields, found 2"s;
    std::string tooDeep = "g";
    for (std::size_t level = 0; level < kMaxImportedGroupDepth; ++level)
        tooDeep += "/g";
    QTest::newRow("group path too deep in a card")
        << vcard << Card("FN:a\r\n") + Card("CATEGORIES:" + tooDeep + "\r\n")
        << "line 5: group path deeper than 256 levels"s;
    QTest::newRow("group path too deep in a row")
        << csv << "Group,Name,Addresses\r\n" + tooDeep + ",a,b\r\n"
        << "line 2: group path deeper than 256 levels"s;
    QTest::newRow("ldif") << ContactFormat::Ldif << "dn: cn=a\n"s
                          << "line 1: LDIF is written only, never read"s;
}

void TestContactImport::malformedInputIsRefused() {
    QFETCH(ContactFormat, format);
    QFETCH(std::string, text);
    QFETCH(std::string, message);
    QCOMPARE(RefusalOf(format, text), message);
}

void TestContactImport::exportedBooksComeBack_data() {
    QTest::addColumn<ContactFormat>("format");
    QTest::newRow("vCard") << ContactFormat::VCard;
    QTest::newRow("CSV") << ContactFormat::Csv;
}

void TestContactImport::exportedBooksComeBack() {
    QFETCH(ContactFormat, format);
    EntryTree book;
    book_text::Read(kRichBook, book);
    EntryTree imported;
    const ImportReport report = ImportContacts(format, Exported(book, format), imported, false);
    QVERIFY(report.unencodable.empty());
    QCOMPARE(report.records, 8u);
    QCOMPARE(book_text::Structure(imported), WithoutSeparatorsAndEmptyGroups(kRichBook));
    QVERIFY(book_text::SurvivesSaving(imported));
}

void TestContactImport::deepPathsComeBack() {
    std::string deep;
    for (std::size_t level = 0; level < kMaxImportedGroupDepth; ++level)
        deep += "GROUP g/%" + std::to_string(level % 7) + "\n";
    deep += "底: bottom@example.jp\n";
    for (ContactFormat format : {ContactFormat::VCard, ContactFormat::Csv}) {
        EntryTree book;
        book_text::Read(deep, book);
        EntryTree imported;
        ImportContacts(format, Exported(book, format), imported, false);
        QCOMPARE(book_text::Structure(imported), book_text::Structure(book));
    }
}

// A spreadsheet opening the export must not run a field as a formula, and reading the export
// back must give the text as it was, "'" and all.
void TestContactImport::spreadsheetFormulasAreMarkedAndComeBack_data() {
    QTest::addColumn<std::string>("text");
    QTest::addColumn<std::string>("field");
    QTest::newRow("=") << "=cmd|' /C calc'!A0"s
                       << "'=cmd|' /C calc'!A0"s;
    QTest::newRow("+") << "+SUM(A1)"s
                       << "'+SUM(A1)"s;
    QTest::newRow("-") << "-2+3"s
                       << "'-2+3"s;
    QTest::newRow("@") << "@import"s
                       << "'@import"s;
    QTest::newRow("tab") << "\tx"s
                         << "'\tx"s;
    QTest::newRow("CR") << "\r=x"s
                        << "\"'\r=x\""s;
    QTest::newRow("quote before =") << "'=x"s
                                    << "''=x"s;
    QTest::newRow("quotes before +") << "''+x"s
                                     << "'''+x"s;
    QTest::newRow("quote alone") << "'"s
                                 << "'"s;
    QTest::newRow("quote before text") << "'x=1"s
                                       << "'x=1"s;
    QTest::newRow("= inside") << "a=b"s
                              << "a=b"s;
    QTest::newRow("empty") << ""s
                           << ""s;
}

void TestContactImport::spreadsheetFormulasAreMarkedAndComeBack() {
    QFETCH(std::string, text);
    QFETCH(std::string, field);
    std::string csv;
    AppendCsvHeader(csv);
    AppendCsvRow({text, text, {text}}, csv);
    QCOMPARE(csv, "Group,Name,Addresses\r\n" + field + "," + field + "," + field + "\r\n");
    std::vector<ContactRecord> records;
    ReadCsv(csv, [&records](ContactRecord&& record) { records.push_back(std::move(record)); });
    QCOMPARE(records.size(), 1u);
    QCOMPARE(records[0].groupPath, text);
    QCOMPARE(records[0].name, text);
    QCOMPARE(records[0].addresses, std::vector<std::string>{text});
}

void TestContactImport::formatForPath() {
    QCOMPARE(ContactFormatForPath("a/b.VCF"), ContactFormat::VCard);
    QCOMPARE(ContactFormatForPath("x.vCard"), ContactFormat::VCard);
    QCOMPARE(ContactFormatForPath("x.Csv"), ContactFormat::Csv);
    QCOMPARE(ContactFormatForPath("x.ldif"), std::nullopt);
    QCOMPARE(ContactFormatForPath("vcf"), std::nullopt);
    QCOMPARE(ContactFormatForPath("x.csv.tlw"), std::nullopt);
}

void TestContactImport::formatForFileStart() {
    for (std::string_view card : {"BEGIN:VCARD\r\nFN:x",
                                  "\xEF\xBB\xBF"
                                  "begin:vCard \t\n",
                                  "BEGIN:VCARD"})
        QCOMPARE(ContactFormatForText(card), ContactFormat::VCard);
    for (std::string_view other :
         {"", "BEGIN:VCAR", "BEGIN:VCARDS\r\n", " BEGIN:VCARD\r\n", "\r\nBEGIN:VCARD\r\n",
          "BEGIN | VCARD\r\n", "Group,Name,Addresses\r\n"})
        QCOMPARE(ContactFormatForText(other), std::nullopt);
}

QTEST_APPLESS_MAIN(TestContactImport)
#include "tst_contactimport.moc"
