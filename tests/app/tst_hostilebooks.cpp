// Books nobody would write on purpose, opened in the real window, edited and saved: what the
// user did not touch keeps its bytes, and nothing crashes.
#include "framework/DocumentManager.h"
#include "tests/support/HostileBooks.h"
#include "tests/support/PaneFixture.h"
#include "views/Commands.h"

#include <QPlainTextEdit>
#include <QRandomGenerator>

namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestHostileBooks : public PaneFixture {
    Q_OBJECT

private:
    QString saveBook() {
        const QString saved = dir_.filePath(QStringLiteral("saved.tlw"));
        [&] { QVERIFY(app_->document().saveDocument(saved).ok()); }();
        return saved;
    }

private slots:
    void init() { QVERIFY(dir_.isValid()); }
    void cleanup() { closeApp(); }

    // Broken CP932 shows as replacement characters; it and NUL bytes are saved as they were,
    // next to an entry the user renamed.
    void brokenBytesSurviveAnEditNextToThem() {
        const QByteArray broken("bad\x00name\x81\xFF\x82: a\x00"
                                "b\r\n",
                                18);
        CTellwickApp& app = open("GROUP g\xE0\r\n" + broken + "END GROUP\r\nplain: p\r\n");
        select(QString::fromUtf8("g\xEF\xBF\xBD")); // U+FFFD for the lone lead byte
        QCOMPARE(listNames().size(), 1);
        QVERIFY(listNames()[0].contains(QChar(0xFFFD)));
        select("book.tlw");
        list().setFocus();
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {},
                          list().visualRect(list().rows().index(1, 0)).center());
        QTest::keyClick(list().viewport(), Qt::Key_F2);
        QLineEdit* editor = openEditor(list());
        QVERIFY(editor);
        editor->setText(QStringLiteral("renamed"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(app.document().isModified());
        QCOMPARE(ReadFile(saveBook()),
                 "GROUP g\xE0\r\n  " + broken + "END GROUP\r\nrenamed: p\r\n");
    }

    // CR alone, LF alone and CR LF mixed read as lines; the save writes CR LF throughout.
    void lineEndsOfEveryKind() {
        open("GROUP a\rx: 1\nEND GROUP\r\ny: 2\r");
        QCOMPARE(listNames(), (QStringList{"a", "y"}));
        select("a");
        QCOMPARE(listNames(), QStringList{"x"});
        QCOMPARE(ReadFile(saveBook()), QByteArray("GROUP a\r\n  x: 1\r\nEND GROUP\r\ny: 2\r\n"));
    }

    // Random bytes are a book too: it opens, shows, takes an insert, saves and reopens alike.
    void bytesThatAreNoTextAtAll() {
        QByteArray noise(64 * 1024, '\0');
        QRandomGenerator generator(20261209);
        for (char& byte : noise)
            byte = static_cast<char>(generator.bounded(256));
        CTellwickApp& app = open(noise);
        list().setFocus();
        QVERIFY(app.router().execute(ID_INSERT_SEPARATOR));
        const QString saved = saveBook();
        const QByteArray first = ReadFile(saved);
        QVERIFY(app.documents().openDocumentFile(saved));
        QCOMPARE(WrittenBook(app.document()), first);
    }

    // An executable's bytes, NUL runs and no line end: one address whose text is the whole
    // file. It is shown, a separator goes in after it, and the save keeps every byte behind
    // the ": " that an address line without a name gets.
    void aBinaryFileWithoutLineEnds() {
        const QByteArray binary = NoTextAtAll(16 * 1024);
        QVERIFY(binary.contains(QByteArray(100, '\0')));
        CTellwickApp& app = open(binary);
        QCOMPARE(listNames(), QStringList{QString()});
        QVERIFY(listColumn(EntryListModel::AddressColumn)[0].size() > 1000);
        list().setFocus();
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, rowCenter(0));
        QVERIFY(app.router().execute(ID_INSERT_SEPARATOR));
        const QByteArray expected = ": " + binary + "\r\nSEPARATOR\r\n";
        const QString saved = saveBook();
        QCOMPARE(ReadFile(saved), expected);
        QVERIFY(app.documents().openDocumentFile(saved));
        QCOMPARE(WrittenBook(app.document()), expected);
        QCOMPARE(listNames().size(), 2);
    }

    // An empty file is an empty book: the list is empty, an address typed into its dialog
    // goes in, and the save and a second opening hold that one line.
    void aZeroLengthFile() {
        CTellwickApp& app = open(QByteArray());
        QCOMPARE(listNames(), QStringList());
        QCOMPARE(tree().rootItem()->childCount(), 0);
        prompter_->dialogScript = [](QDialog& dialog) {
            dialog.findChild<QLineEdit*>("nameEdit")->setText(QStringLiteral("name"));
            dialog.findChild<QPlainTextEdit*>("addressEdit")->setPlainText("a@b");
            return QDialog::Accepted;
        };
        list().setFocus();
        QVERIFY(app.router().execute(ID_INSERT_ADDRESS));
        const QString saved = saveBook();
        QCOMPARE(ReadFile(saved), QByteArray("name: a@b\r\n"));
        QVERIFY(app.documents().openDocumentFile(saved));
        QCOMPARE(listNames(), QStringList{"name"});
        QVERIFY(app.documents().fileNew());
        QCOMPARE(listNames(), QStringList());
    }
};

QTEST_MAIN(TestHostileBooks)
#include "tst_hostilebooks.moc"
