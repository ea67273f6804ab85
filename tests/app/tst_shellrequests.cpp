#include "app/ShellRequests.h"
#include "framework/PathNames.h"

#include <QtTest>

Q_DECLARE_METATYPE(QList<ShellRequest>)

class TestShellRequests : public QObject {
    Q_OBJECT

private slots:
    void parses_data() {
        using V = ShellRequest::Verb;
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<ShellRequest>>("expected");
        QTest::newRow("open") << "[open(\"/a b/c.tlw\")]"
                              << QList<ShellRequest>{{V::Open, {"/a b/c.tlw"}}};
        QTest::newRow("two in a row, any case")
            << "[Open(\"x\")] [PRINT(\"y\")]"
            << QList<ShellRequest>{{V::Open, {"x"}}, {V::Print, {"y"}}};
        QTest::newRow("printto") << "[printto(\"f\", \"prn\", \"drv\", \"port\")]"
                                 << QList<ShellRequest>{{V::PrintTo, {"f", "prn", "drv", "port"}}};
        QTest::newRow("doubled quote and bracket in a name")
            << "[open(\"say \"\"hi\"\" [1].tlw\")]"
            << QList<ShellRequest>{{V::Open, {"say \"hi\" [1].tlw"}}};
        QTest::newRow("wrong argument count")
            << "[open(\"a\",\"b\")][printto(\"f\")]" << QList<ShellRequest>{};
        QTest::newRow("unknown verb, then a good one")
            << "[delete(\"a\")][open(\"b\")]" << QList<ShellRequest>{{V::Open, {"b"}}};
        QTest::newRow("unterminated") << "[open(\"a" << QList<ShellRequest>{};
        QTest::newRow("unquoted") << "[open(a)]" << QList<ShellRequest>{};
        QTest::newRow("garbage") << "\x01\x02 hello" << QList<ShellRequest>{};
    }
    void parses() {
        QFETCH(QString, text);
        QFETCH(QList<ShellRequest>, expected);
        QCOMPARE(ParseShellRequests(text), expected);
    }

    // Lines come out whole whatever the chunks, and an overlong line never leaks a part.
    void framesLinesAcrossChunks() {
        RequestFramer framer(8);
        QList<QByteArray> lines;
        const QByteArray stream = "ab\r\ncd\n0123456789[x]\nlast";
        for (char byte : stream)
            lines += framer.feed(QByteArrayView(&byte, 1));
        QCOMPARE(lines, (QList<QByteArray>{"ab", "cd"}));
        QCOMPARE(framer.refusedLines(), 1);
        QCOMPARE(framer.finish(), std::optional<QByteArray>("last"));
        QCOMPARE(framer.finish(), std::nullopt);
    }
    void refusesAnOverlongLastLine() {
        RequestFramer framer(4);
        QVERIFY(framer.feed("ok\n12345").size() == 1);
        QCOMPARE(framer.finish(), std::nullopt);
        QCOMPARE(framer.refusedLines(), 1);
        // A line of exactly the bound is taken.
        QCOMPARE(framer.feed("1234\n"), QList<QByteArray>{"1234"});
    }
    void keepsPathBytesThatAreNotUtf8() {
        const QByteArray line = "[open(\"/b/\x83\x65\x83\x58\x83\x67.tlw\")]";
        const QList<ShellRequest> requests = ParseShellRequests(DecodeRequestLine(line));
        QCOMPARE(requests.size(), 1);
        QCOMPARE(EncodePathBytes(requests[0].arguments[0]),
                 QByteArray("/b/\x83\x65\x83\x58\x83\x67.tlw"));
    }
};

QTEST_APPLESS_MAIN(TestShellRequests)
#include "tst_shellrequests.moc"
