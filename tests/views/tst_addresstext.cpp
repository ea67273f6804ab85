#include "views/AddressText.h"

#include <QTest>

// The dialog's box turns every line end into a paragraph break before these functions see
// its text; these cases hold the text as other sources may give it.
class TestAddressText : public QObject {
    Q_OBJECT

private slots:
    // The book's reader ends a line at CR, LF or CR LF, so an address holding a CR would
    // come back from the saved book as two lines.
    void everyLineEndEndsAnAddress_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QStringList>("addresses");
        QTest::newRow("CR LF") << "a\r\nb\r\n" << QStringList{"a", "b"};
        QTest::newRow("lone CR") << "a\rb" << QStringList{"a", "b"};
        QTest::newRow("LF CR") << "a\n\rb\n\r" << QStringList{"a", "b"};
        QTest::newRow("CR inside blanks") << " a \r\t b \v\r\f" << QStringList{"a", "b"};
        QTest::newRow("mixed") << "a\rb\r\nc\nd" << QStringList{"a", "b", "c", "d"};
    }
    void everyLineEndEndsAnAddress() {
        QFETCH(QString, box);
        QTEST(AddressLines(box), "addresses");
    }
};

QTEST_MAIN(TestAddressText)
#include "tst_addresstext.moc"
