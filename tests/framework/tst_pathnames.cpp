#include "framework/PathNames.h"

#include <QTest>
#include <QUrl>

class TestPathNames : public QObject {
    Q_OBJECT

private slots:
    // Every byte string comes back whole, whatever mix of UTF-8 and other bytes it holds.
    void bytesSurviveDecoding_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ASCII") << QByteArray("/home/u/a b.tlw");
        QTest::newRow("UTF-8 Japanese") << QByteArray("/home/u/\xe4\xbd\x8f\xe6\x89\x80.tlw");
        QTest::newRow("Shift-JIS") << QByteArray("/b/\x83\x65\x83\x58\x83\x67.tlw");
        QTest::newRow("four-byte UTF-8 after a bad byte")
            << QByteArray("\xc3\xf2\xa4\x92\x8b\x1c"); // a pair whose low half looks raw
        QTest::newRow("overlong, surrogate and too-high forms")
            << QByteArray("\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80");
        QTest::newRow("truncated sequence at the end") << QByteArray("a\xe3\x81");
        QTest::newRow("the lowest and highest raw bytes") << QByteArray("/a\x80\xff.tlw");
        QTest::newRow("byte order marks, one after a raw byte")
            << QByteArray("\xef\xbb\xbf/a\xff\xef\xbb\xbf\xef\xbb\xbf.tlw");
    }
    void bytesSurviveDecoding() {
        QFETCH(QByteArray, bytes);
        QCOMPARE(EncodePathBytes(DecodePathBytes(bytes)), bytes);
    }

    void tellsRawFromLostBytes() {
        const QString sjis = DecodePathBytes("/b/\x83\x65\x83\x58\x83\x67.tlw");
        QVERIFY(HasRawPathBytes(sjis));
        QVERIFY(!HasLostPathBytes(sjis));
        QCOMPARE(DisplayPathName(sjis), QStringLiteral("/b/テスト.tlw"));
        QVERIFY(!HasRawPathBytes(QStringLiteral("/a/\U0001F600.tlw")));
        QVERIFY(HasLostPathBytes(QString::fromUtf8("/b/\x83\x65.tlw")));
    }

    void droppedUrlKeepsItsBytes() {
        const QUrl url(QStringLiteral("file:///b/%83%65%83%58%83%67.tlw"));
        QCOMPARE(EncodePathBytes(LocalPathOfUrl(url)),
                 QByteArray("/b/\x83\x65\x83\x58\x83\x67.tlw"));
        QCOMPARE(LocalPathOfUrl(QUrl::fromLocalFile(QStringLiteral("/a/住所 1.tlw"))),
                 QStringLiteral("/a/住所 1.tlw"));
    }
};

QTEST_APPLESS_MAIN(TestPathNames)
#include "tst_pathnames.moc"
