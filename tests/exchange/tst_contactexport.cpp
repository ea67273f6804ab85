#include "BookText.h"
#include "exchange/ContactExport.h"

#include <QStringDecoder>
#include <QtTest>

#include <sstream>

namespace {

std::string Exported(const EntryTree& tree, ContactFormat format) {
    std::ostringstream out;
    ExportContacts(tree, format, out);
    return std::move(out).str();
}

std::string ExportedBook(const std::string& utf8Book, ContactFormat format) {
    EntryTree tree;
    book_text::Read(utf8Book, tree);
    return Exported(tree, format);
}

bool IsUtf8(std::string_view bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return !decoder.hasError();
}

// The physical lines of CRLF text; empty when some line break is not CRLF.
std::optional<std::vector<std::string>> CrlfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            lines.push_back(text.substr(start, i - start));
            start = ++i + 1;
        } else if (text[i] == '\r' || text[i] == '\n') {
            return std::nullopt;
        }
    }
    if (start != text.size())
        return std::nullopt;
    return lines;
}

// The escapes of a vCard text value: only \\ \, \; \n \N, and no bare "," or ";" in a
// single text value or a one-item list.
bool HasValidEscapes(std::string_view value) {
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == ',' || value[i] == ';')
            return false;
        if (value[i] != '\\')
            continue;
        if (++i == value.size() ||
            std::string_view("\\,;nN").find(value[i]) == std::string_view::npos)
            return false;
    }
    return true;
}

bool HasControlCharacters(std::string_view value) {
    for (char c : value) {
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F)
            return true;
    }
    return false;
}

// RFC 6350 rules checked from scratch: CRLF line ends only, at most 75 octets a line, no
// UTF-8 sequence split between lines, continuations starting with a space, and cards of
// BEGIN, VERSION:4.0, exactly one FN, only the properties the export writes, END.
// Returns the content lines unfolded, or fails the test.
std::vector<std::string> CheckedVCard(const std::string& text) {
    std::vector<std::string> unfolded;
    const auto lines = CrlfLines(text);
    if (!lines) {
        QTest::qFail("a line break that is not CRLF", __FILE__, __LINE__);
        return {};
    }
    for (const std::string& line : *lines) {
        if (line.size() > 75 || !IsUtf8(line) || line.empty()) {
            QTest::qFail(("bad physical line: " + line).c_str(), __FILE__, __LINE__);
            return {};
        }
        if (line.front() == ' ' && !unfolded.empty())
            unfolded.back() += line.substr(1);
        else
            unfolded.push_back(line);
    }
    std::size_t fnCount = 0;
    std::string expected = "BEGIN:VCARD";
    for (const std::string& line : unfolded) {
        const std::size_t colon = line.find(':');
        const std::string name = line.substr(0, colon);
        const std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
        bool ok = colon != std::string::npos && !HasControlCharacters(value);
        if (!expected.empty()) {
            ok = ok && line == expected;
            expected = expected == "BEGIN:VCARD" ? "VERSION:4.0" : "";
        } else if (line == "END:VCARD") {
            ok = ok && fnCount == 1;
            fnCount = 0;
            expected = "BEGIN:VCARD";
        } else {
            fnCount += name == "FN";
            ok =
                ok && QByteArrayList{"PRODID", "FN", "CATEGORIES", "EMAIL", "TEL", "NOTE"}.contains(
                          QByteArray::fromStdString(name));
            ok = ok && HasValidEscapes(value);
        }
        if (!ok) {
            QTest::qFail(("bad content line: " + line).c_str(), __FILE__, __LINE__);
            return {};
        }
    }
    if (expected != "BEGIN:VCARD")
        QTest::qFail("last card not ended", __FILE__, __LINE__);
    return unfolded;
}

std::string Unescaped(std::string_view value) {
    std::string plain;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\') {
            ++i;
            plain += value[i] == 'n' ? '\n' : value[i];
        } else {
            plain += value[i];
        }
    }
    return plain;
}

// The values of one property, in order, unescaped.
QStringList ValuesOf(const std::vector<std::string>& contentLines, const std::string& name) {
    QStringList values;
    for (const std::string& line : contentLines) {
        if (line.starts_with(name + ":"))
            values << QString::fromStdString(Unescaped(line.substr(name.size() + 1)));
    }
    return values;
}

EntryTree& DeepBook(EntryTree& tree, std::size_t depth) {
    EntryNode* group = nullptr;
    for (std::size_t level = 0; level < depth; ++level) {
        EntryNode* inner = tree.NewEntry(EntryKind::Group, "g/" + std::to_string(level % 10));
        group = tree.AppendEntry(inner, group, group != nullptr);
    }
    const std::vector<std::string> addresses{"bottom@example.jp"};
    tree.AppendEntry(tree.NewEntry(EntryKind::Address, "deep", addresses), group, true);
    return tree;
}

const std::string kFamilyBook = R"(GROUP 家族
  山田 太郎: taro@example.jp,090-1234-5678
  SEPARATOR
  GROUP 親戚
    佐藤, 花子: hanako@example.jp
  END GROUP
  GROUP 空
  END GROUP
END GROUP
近所の歯医者: 0120-000-111,駅前 2-3
名無し: 
)";

} // namespace

class TestContactExport : public QObject {
    Q_OBJECT

private slots:
    void vCardOfABook();
    void vCardEscapesAndFoldsWithinTheRules();
    void vCardFoldsAtExactly75Octets();
    void addressPropertyByKind_data();
    void addressPropertyByKind();
    void textThatIsNotCp932OrControlBecomesReplacement();
    void csvOfABook();
    void csvQuotesFieldsThatNeedIt();
    void ldifForThunderbird();
    void emptyBook();
    void deepGroupsWriteTheirWholePath();
};

void TestContactExport::vCardOfABook() {
    QCOMPARE(ExportedBook(kFamilyBook, ContactFormat::VCard),
             "BEGIN:VCARD\r\nVERSION:4.0\r\nPRODID:-//Tellwick//Tellwick//EN\r\nFN:山田 "
             "太郎\r\nCATEGORIES:家族\r\n"
             "EMAIL:taro@example.jp\r\nTEL:090-1234-5678\r\nEND:VCARD\r\n"
             "BEGIN:VCARD\r\nVERSION:4.0\r\nPRODID:-//Tellwick//Tellwick//EN\r\nFN:佐藤\\, "
             "花子\r\nCATEGORIES:家族/親戚\r\n"
             "EMAIL:hanako@example.jp\r\nEND:VCARD\r\n"
             "BEGIN:VCARD\r\nVERSION:4.0\r\nPRODID:-//Tellwick//Tellwick//"
             "EN\r\nFN:近所の歯医者\r\nTEL:0120-000-111\r\n"
             "NOTE:駅前 2-3\r\nEND:VCARD\r\n"
             "BEGIN:VCARD\r\nVERSION:4.0\r\nPRODID:-//Tellwick//Tellwick//"
             "EN\r\nFN:名無し\r\nEND:VCARD\r\n");
}

void TestContactExport::vCardEscapesAndFoldsWithinTheRules() {
    const std::string longName(40, 'x');
    const std::string japanese = "東京都千代田区千代田一丁目一番一号皇居外苑管理事務所気付";
    EntryTree tree;
    book_text::Read("GROUP a/b%c,d;e\n"
                    "  GROUP\n"
                    "    back\\slash;semi \"q\": x;y,z\n"
                    "  END GROUP\n"
                    "END GROUP\n" +
                        japanese + japanese + ": " + japanese + "," + longName + longName,
                    tree);
    const std::vector<std::string> lines = CheckedVCard(Exported(tree, ContactFormat::VCard));
    QCOMPARE(ValuesOf(lines, "FN"),
             QStringList({"back\\slash;semi \"q\"", QString::fromStdString(japanese + japanese)}));
    QCOMPARE(ValuesOf(lines, "CATEGORIES"), QStringList{"a%2Fb%25c,d;e/%"});
    QCOMPARE(ValuesOf(lines, "NOTE"), QStringList({"x;y", "z", QString::fromStdString(japanese),
                                                   QString::fromStdString(longName + longName)}));
}

void TestContactExport::vCardFoldsAtExactly75Octets() {
    EntryTree tree;
    book_text::Read(std::string(200, 'n') + ": a", tree);
    const std::string text = Exported(tree, ContactFormat::VCard);
    QCOMPARE(text.substr(0, text.find("NOTE")),
             "BEGIN:VCARD\r\nVERSION:4.0\r\nPRODID:-//Tellwick//Tellwick//EN\r\nFN:" +
                 std::string(72, 'n') + "\r\n " + std::string(74, 'n') + "\r\n " +
                 std::string(54, 'n') + "\r\n");
}

void TestContactExport::addressPropertyByKind_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("property");
    QTest::newRow("e-mail") << "taro@example.jp"
                            << "EMAIL";
    QTest::newRow("e-mail, Japanese domain") << "taro@例え.jp"
                                             << "EMAIL";
    QTest::newRow("two @") << "a@b@example.jp"
                           << "NOTE";
    QTest::newRow("nothing before @") << "@example.jp"
                                      << "NOTE";
    QTest::newRow("nothing after @") << "taro@"
                                     << "NOTE";
    QTest::newRow("blank in e-mail") << "taro yamada@example.jp"
                                     << "NOTE";
    QTest::newRow("international number") << "+81 90-1234-5678"
                                          << "TEL";
    QTest::newRow("parentheses and dots") << "(03) 1234.5678"
                                          << "TEL";
    QTest::newRow("full-width number") << "０９０－１２３４－５６７８"
                                       << "TEL";
    QTest::newRow("police") << "110"
                            << "TEL";
    QTest::newRow("two digits") << "12"
                                << "NOTE";
    QTest::newRow("plus inside") << "1+2345"
                                 << "NOTE";
    QTest::newRow("letters") << "090-CALL-NOW"
                             << "NOTE";
    QTest::newRow("web address") << "http://example.jp"
                                 << "NOTE";
    QTest::newRow("empty beside another") << ""
                                          << "NOTE";
}

void TestContactExport::addressPropertyByKind() {
    QFETCH(QString, address);
    QFETCH(QString, property);
    EntryTree tree;
    book_text::Read("n: " + address.toStdString() + ",other text", tree);
    const std::vector<std::string> lines = CheckedVCard(Exported(tree, ContactFormat::VCard));
    QCOMPARE(ValuesOf(lines, property.toStdString()).value(0), address);
}

void TestContactExport::textThatIsNotCp932OrControlBecomesReplacement() {
    EntryTree tree;
    // Line breaks are the control characters a value keeps, each as one "\n".
    const std::vector<std::string> addresses{"a\x01"
                                             "b",
                                             "\x82\xA0\x81", "c\n\nd\r\ne\rf"};
    tree.AppendEntry(tree.NewEntry(EntryKind::Address, "\xFF\x82\xA0", addresses), nullptr, false);
    const std::vector<std::string> lines = CheckedVCard(Exported(tree, ContactFormat::VCard));
    QCOMPARE(ValuesOf(lines, "FN"), QStringList{"\uFFFDあ"});
    QCOMPARE(ValuesOf(lines, "NOTE"), QStringList({"a\uFFFDb", "あ\uFFFD", "c\n\nd\ne\nf"}));
}

void TestContactExport::csvOfABook() {
    QCOMPARE(ExportedBook(kFamilyBook, ContactFormat::Csv),
             "Group,Name,Addresses\r\n"
             "家族,山田 太郎,\"taro@example.jp,090-1234-5678\"\r\n"
             "家族/親戚,\"佐藤, 花子\",hanako@example.jp\r\n"
             ",近所の歯医者,\"0120-000-111,駅前 2-3\"\r\n"
             ",名無し,\r\n");
}

void TestContactExport::csvQuotesFieldsThatNeedIt() {
    EntryTree tree;
    const std::vector<std::string> addresses{"say \"hi\"", "line\r\nbreak"};
    EntryNode* group = tree.AppendEntry(tree.NewEntry(EntryKind::Group, "\"G\""), nullptr, false);
    tree.AppendEntry(tree.NewEntry(EntryKind::Address, "lf\nonly", addresses), group, true);
    QCOMPARE(Exported(tree, ContactFormat::Csv),
             "Group,Name,Addresses\r\n"
             "\"\"\"G\"\"\",\"lf\nonly\",\"say \"\"hi\"\",line\r\nbreak\"\r\n");
}

void TestContactExport::ldifForThunderbird() {
    const std::string name = "山田 太郎, 営業部 東京支店 第一営業課 課長代理";
    EntryTree tree;
    book_text::Read("GROUP ignored\nSEPARATOR\n" + name +
                        ": t1@example.jp,memo,t2@example.jp,t3@example.jp,090-1234-5678,"
                        "03-1111-2222,03-3333-4444,03-5555-6666, lead\n"
                        "A+B <x>: \n",
                    tree);
    const std::string edges(" a\0b ", 5); // blanks at its edges and a NUL, escaped in its dn
    tree.AppendEntry(tree.NewEntry(EntryKind::Address, edges), nullptr, false);
    const auto base64 = [](const std::string& text) {
        return QByteArray::fromStdString(text).toBase64().toStdString();
    };
    const auto folded = [](const std::string& line) {
        std::string lines = line.substr(0, 76);
        for (std::size_t at = 76; at < line.size(); at += 75)
            lines += "\n " + line.substr(at, 75);
        return lines;
    };
    const std::string dn = "dn:: " + base64("cn=" + name.substr(0, 13) + "\\" + name.substr(13) +
                                            ",mail=t1@example.jp");
    QCOMPARE(Exported(tree, ContactFormat::Ldif),
             folded(dn) +
                 "\nobjectclass: top\nobjectclass: person\nobjectclass: organizationalPerson\n"
                 "objectclass: inetOrgPerson\nobjectclass: mozillaAbPersonAlpha\n" +
                 folded("cn:: " + base64(name)) +
                 "\nmail: t1@example.jp\nmozillaSecondEmail: t2@example.jp\n"
                 "telephoneNumber: 090-1234-5678\nhomePhone: 03-1111-2222\nmobile: 03-3333-4444\n"
                 "description:: " +
                 base64("memo\nt3@example.jp\n03-5555-6666\n lead") +
                 "\n\n"
                 "dn: cn=A\\+B \\<x\\>\nobjectclass: top\nobjectclass: person\n"
                 "objectclass: organizationalPerson\nobjectclass: inetOrgPerson\n"
                 "objectclass: mozillaAbPersonAlpha\ncn: A+B <x>\n\n"
                 "dn:: " +
                 base64("cn=\\ a\\00b\\ ") +
                 "\nobjectclass: top\nobjectclass: person\nobjectclass: organizationalPerson\n"
                 "objectclass: inetOrgPerson\nobjectclass: mozillaAbPersonAlpha\ncn:: " +
                 base64(edges) + "\n\n");
}

void TestContactExport::emptyBook() {
    EntryTree tree;
    book_text::Read("SEPARATOR\nGROUP empty\nEND GROUP\n", tree);
    QCOMPARE(Exported(tree, ContactFormat::VCard), "");
    QCOMPARE(Exported(tree, ContactFormat::Csv), "Group,Name,Addresses\r\n");
    QCOMPARE(Exported(tree, ContactFormat::Ldif), "");
}

void TestContactExport::deepGroupsWriteTheirWholePath() {
    EntryTree tree;
    const std::string text = Exported(DeepBook(tree, 10000), ContactFormat::VCard);
    const std::vector<std::string> lines = CheckedVCard(text);
    const QStringList categories = ValuesOf(lines, "CATEGORIES");
    QCOMPARE(categories.size(), 1);
    const QStringList names = categories.front().split('/');
    QCOMPARE(names.size(), 10000);
    QCOMPARE(names.front(), "g%2F0");
    QCOMPARE(names.back(), "g%2F9");
}

QTEST_APPLESS_MAIN(TestContactExport)
#include "tst_contactexport.moc"
