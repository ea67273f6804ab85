#include "app/ShellServer.h"

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
};

QTEST_APPLESS_MAIN(TestShellRequests)
#include "tst_shellrequests.moc"
