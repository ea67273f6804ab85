#include "framework/Cp932.h"

#include <QTest>

namespace {

const QByteArray kReplacement = "\xEF\xBF\xBD";

QByteArray Decode(const QByteArray& bytes) {
    return QByteArray::fromStdString(Cp932ToUtf8(bytes.toStdString()));
}

QByteArray Encode(const QByteArray& utf8) {
    return QByteArray::fromStdString(Utf8ToCp932(utf8.toStdString()).value_or("<none>"));
}

// Code points of UTF-8 text, decoded by Qt rather than by the code under test.
QList<uint> CodePoints(const QByteArray& utf8) {
    return QString::fromUtf8(utf8).toUcs4();
}

bool IsLeadByte(int byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

} // namespace

class TestCp932 : public QObject {
    Q_OBJECT

private slots:
    void singleBytesMapLikeTheTable();
    void everyDoubleByteCodeDecodesAndComesBack();
    void wellKnownCodes_data();
    void wellKnownCodes();
    void duplicateFormsDecodeAlike();
    void invalidSequencesResync_data();
    void invalidSequencesResync();
    void encodingRefusesWhatCp932CannotHold_data();
    void encodingRefusesWhatCp932CannotHold();
    void jisVariantsEncodeToTheirFullWidthForms();
    void longInputDecodesWhole();
    void onlyAsciiIsTheSameInBoth();
};

void TestCp932::singleBytesMapLikeTheTable() {
    for (int byte = 0x00; byte <= 0x7F; ++byte) {
        const QByteArray single(1, char(byte));
        QCOMPARE(Decode(single), single);
        QCOMPARE(Encode(single), single);
    }
    QCOMPARE(Decode("\x5C\x7E"), QByteArray("\\~")); // not yen sign and overline
    for (int byte = 0xA1; byte <= 0xDF; ++byte) {
        const QByteArray single(1, char(byte));
        QCOMPARE(CodePoints(Decode(single)), QList<uint>{uint(0xFF61 + byte - 0xA1)});
        QCOMPARE(Encode(Decode(single)), single);
    }
    for (int byte : {0x80, 0xA0, 0xFD, 0xFE, 0xFF})
        QCOMPARE(Decode(QByteArray(1, char(byte))), kReplacement);
}

// Walks every lead and trail byte pair. A defined code decodes to exactly one character and
// encodes back to a code of that same character; an undefined one gives U+FFFD for its lead
// byte, then whatever its trail byte is alone.
void TestCp932::everyDoubleByteCodeDecodesAndComesBack() {
    int defined = 0;
    int userDefined = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (!IsLeadByte(lead) || trail == 0x7F)
                continue;
            const QByteArray code = QByteArray(1, char(lead)) + char(trail);
            const QByteArray text = Decode(code);
            const bool userArea = lead >= 0xF0 && lead <= 0xF9;
            if (text.startsWith(kReplacement)) {
                QVERIFY2(!userArea, code.toHex().constData());
                QCOMPARE(text, kReplacement + Decode(code.mid(1)));
                continue;
            }
            QCOMPARE(CodePoints(text).size(), 1);
            const QByteArray back = Encode(text);
            QVERIFY2(back.size() == 2 && Decode(back) == text, code.toHex().constData());
            if (userArea) {
                const int index = (lead - 0xF0) * 188 + trail - 0x40 - (trail > 0x7F ? 1 : 0);
                QCOMPARE(CodePoints(text).front(), uint(0xE000 + index));
                QCOMPARE(back, code);
            }
            ++(userArea ? userDefined : defined);
        }
    }
    // JIS X 0208 (6879), NEC row 13 (83), NEC-selected IBM (374), IBM extensions (388).
    QCOMPARE(defined, 7724);
    QCOMPARE(userDefined, 1880);
}

void TestCp932::wellKnownCodes_data() {
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<uint>("codePoint");
    QTest::newRow("ideographic space") << QByteArray("\x81\x40") << 0x3000u;
    QTest::newRow("full-width tilde") << QByteArray("\x81\x60") << 0xFF5Eu;
    QTest::newRow("full-width minus") << QByteArray("\x81\x7C") << 0xFF0Du;
    QTest::newRow("hiragana a") << QByteArray("\x82\xA0") << 0x3042u;
    QTest::newRow("circled one") << QByteArray("\x87\x40") << 0x2460u;
    QTest::newRow("first kanji") << QByteArray("\x88\x9F") << 0x4E9Cu;
    QTest::newRow("last IBM kanji") << QByteArray("\xFC\x4B") << 0x9ED1u;
}

void TestCp932::wellKnownCodes() {
    QFETCH(QByteArray, code);
    QFETCH(uint, codePoint);
    QCOMPARE(CodePoints(Decode(code)), QList<uint>{codePoint});
}

void TestCp932::duplicateFormsDecodeAlike() {
    const QList<QByteArrayList> groups = {
        {"\xED\x40", "\xFA\x5C"},             // U+7E8A
        {"\x87\x54", "\xFA\x4A"},             // roman numeral one
        {"\x81\xCA", "\xEE\xF9", "\xFA\x54"}, // not sign
    };
    for (const QByteArrayList& forms : groups) {
        const QByteArray text = Decode(forms.front());
        QCOMPARE(CodePoints(text).size(), 1);
        for (const QByteArray& form : forms)
            QCOMPARE(Decode(form), text);
        QVERIFY(forms.contains(Encode(text)));
    }
}

void TestCp932::invalidSequencesResync_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("text");
    const QByteArray r = kReplacement;
    QTest::newRow("lead then space") << QByteArray("\x81 a") << r + " a";
    QTest::newRow("lead then bad byte") << QByteArray("\x81\xFD") << r + r;
    QTest::newRow("lead then lead pair") << QByteArray("\x85\x81\x40") << r + "\xE3\x80\x80";
    QTest::newRow("lone lead at end") << QByteArray("ab\x96") << "ab" + r;
    QTest::newRow("undefined code") << QByteArray("\xEB\x40x") << r + "@x";
    QTest::newRow("invalid between valid")
        << QByteArray("\x96\xBC\xFF\x91\x4F") << "\xE5\x90\x8D" + r + "\xE5\x89\x8D";
}

void TestCp932::invalidSequencesResync() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, text);
    QCOMPARE(Decode(bytes), text);
}

void TestCp932::encodingRefusesWhatCp932CannotHold_data() {
    QTest::addColumn<QByteArray>("utf8");
    QTest::newRow("emoji") << QByteArray("a\xF0\x9F\x98\x80");
    QTest::newRow("emoji after words of ASCII") << QByteArray("abcdefghijklmnop\xF0\x9F\x98\x80");
    QTest::newRow("hangul") << QByteArray("\xEA\xB0\x80");
    QTest::newRow("yen sign") << QByteArray("\xC2\xA5");
    // Taken to a backslash, the yen sign leaves one byte where it had two: the kana after
    // it must not hide that from the check.
    QTest::newRow("yen sign before kana") << QByteArray("\xC2\xA5\xE3\x82\xAB\xE3\x83\x8A");
    QTest::newRow("overline") << QByteArray("\xE2\x80\xBE");
    QTest::newRow("tag letter") << QByteArray("a\xF3\xA0\x81\x81"
                                              "b");
    QTest::newRow("beyond user area") << QByteArray("\xEE\x9D\x98"); // U+E758
    QTest::newRow("truncated") << QByteArray("\xE3\x81");
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF");
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80");
}

void TestCp932::encodingRefusesWhatCp932CannotHold() {
    QFETCH(QByteArray, utf8);
    QVERIFY(!Utf8ToCp932(utf8.toStdString()).has_value());
}

void TestCp932::jisVariantsEncodeToTheirFullWidthForms() {
    // What Linux input methods type for these JIS characters is not what CP932 decodes to.
    QCOMPARE(Encode("\xE3\x80\x9C"), QByteArray("\x81\x60")); // U+301C wave dash
    QCOMPARE(Encode("\xE2\x88\x92"), QByteArray("\x81\x7C")); // U+2212 minus sign
    QCOMPARE(Encode("x \xE5\x90\x8D\xE5\x89\x8D"
                    "1\\"),
             QByteArray("x \x96\xBC\x91\x4F"
                        "1\\"));
    QCOMPARE(Encode(""), QByteArray());
}

void TestCp932::longInputDecodesWhole() {
    const QByteArray bytes = QByteArray("\x96\xBC"
                                        "a\xFF\xB1\x81\x40\x81 ")
                                 .repeated(1 << 17);
    const QByteArray text = Decode(bytes);
    QCOMPARE(CodePoints(text).count(0xFFFD), 2 << 17); // two invalid bytes in nine
    QCOMPARE(text.size(), 17 << 17);
}

void TestCp932::onlyAsciiIsTheSameInBoth() {
    QVERIFY(IsSameInCp932(""));
    QVERIFY(IsSameInCp932("longer than a word of eight: \\ ~"));
    // ASCII is looked at a word at a time: a byte past it tells wherever it stands.
    for (std::size_t at : {0, 7, 8, 15, 16, 20}) {
        std::string text(21, 'a');
        text[at] = '\x80';
        QVERIFY2(!IsSameInCp932(text), std::to_string(at).c_str());
    }
}

QTEST_GUILESS_MAIN(TestCp932)
#include "tst_cp932.moc"
