// Books too big in one direction, in the real window: a line of many megabytes, a million
// tiny entries, a million entries in one group. Each opens, shows, takes an edit, saves with
// every untouched byte kept, and opens again alike.
#include "framework/DocumentManager.h"
#include "tests/support/HostileBooks.h"
#include "framework/StandardCommands.h"
#include "tests/support/PaneFixture.h"
#include "views/Commands.h"

#include <QPlainTextEdit>

namespace {

constexpr qsizetype kLongLine = 8 * 1024 * 1024;
constexpr int kTinyEntries = 1'000'000;
constexpr int kGroupEntries = 1'000'000;

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string NameOf(const EntryNode* entry) {
    return std::string(entry->Name());
}

std::vector<std::string> AddressesOf(const EntryNode* entry) {
    return entry->Addresses().ToStrings();
}

int ChildCount(const EntryNode* group) {
    int count = 0;
    for (const EntryNode* child = group->firstChild; child; child = child->next)
        ++count;
    return count;
}

} // namespace

class TestHugeBooks : public PaneFixture {
    Q_OBJECT

private:
    QString saveAndCompare(const QByteArray& expected) {
        const QString saved = dir_.filePath(QStringLiteral("saved.tlw"));
        [&] {
            QVERIFY(app_->document().saveDocument(saved).ok());
            QVERIFY(!app_->document().isModified());
            QCOMPARE(ReadFile(saved), expected);
        }();
        return saved;
    }
    void reopenAndCompare(const QString& saved, const QByteArray& expected) {
        QVERIFY(app_->documents().openDocumentFile(saved));
        QCoreApplication::processEvents();
        QCOMPARE(WrittenBook(app_->document()), expected);
    }
    void clickRow(int row) {
        list().scrollTo(list().rows().index(row, 0));
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, rowCenter(row));
        [&] { QCOMPARE(list().currentRow(), row); }();
    }
    // F2 on the current row, then Enter on the editor; the text is replaced when given.
    void renameCurrentRow(const QString& text = {}) {
        QTest::keyClick(list().viewport(), Qt::Key_F2);
        QLineEdit* editor = openEditor(list());
        if (!editor)
            return; // refused: the test counts the messages
        if (!text.isNull())
            editor->setText(text);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
    }

private slots:
    void init() { QVERIFY(dir_.isValid()); }
    void cleanup() { closeApp(); }

    void aLineOfMegabytesKeepsEveryByte_data() {
        QTest::addColumn<bool>("longName");
        QTest::newRow("long address") << false;
        QTest::newRow("long name") << true;
    }
    // The long entry shows cut short and keeps every byte; its neighbour is renamed in place.
    void aLineOfMegabytesKeepsEveryByte() {
        QFETCH(bool, longName);
        const QByteArray book =
            BookBytes([&](const BookSink& sink) { LongLineBook(kLongLine, longName, sink); });
        open(book);
        const QList<QByteArray> lines = book.split('\n');
        QCOMPARE(listNames().size(), 3);
        const int shownColumn =
            longName ? EntryListModel::NameColumn : EntryListModel::AddressColumn;
        // Shown cut short (a line of megabytes would take seconds to lay out at every
        // repaint); the editor gets it whole.
        const QString shown = listColumn(shownColumn)[1];
        QVERIFY(shown.size() < 2000 && shown.endsWith(QChar(0x2026)));
        QVERIFY(shown.startsWith(QString::fromUtf8("abcアxyzあ0123456789 abcア")));
        const QString whole = list().rows().index(1, 0).data(Qt::EditRole).toString();
        QVERIFY(whole.size() > (longName ? kLongLine / 2 : 0));

        list().setFocus();
        clickRow(0);
        renameCurrentRow(QStringLiteral("renamed"));
        // No editor takes megabytes (laying them out would freeze the window): each says so
        // and leaves the entry alone. A short name next to a long address renames in place.
        clickRow(1);
        renameCurrentRow();
        QVERIFY(!openEditor(list()));
        QTest::keyClick(list().viewport(), Qt::Key_Return);
        QVERIFY(prompter_->dialogsRun.isEmpty());
        QCOMPARE(prompter_->shown.size(), longName ? 2 : 1);
        const QByteArray expected = "renamed: 1\r\n" + lines[1] + '\n' + lines[2] + '\n';
        reopenAndCompare(saveAndCompare(expected), expected);
        QCOMPARE(listNames().size(), 3);
    }

    // A million one-byte names at the top level; a separator goes in after the middle one.
    void aMillionTinyEntries() {
        const QByteArray book =
            BookBytes([](const BookSink& sink) { TinyEntriesBook(kTinyEntries, sink); });
        CTellwickApp& app = open(book);
        QCOMPARE(list().rows().rowCount(), kTinyEntries);
        list().setFocus();
        const int middle = kTinyEntries / 2;
        clickRow(middle);
        QVERIFY(app.router().execute(ID_INSERT_SEPARATOR));
        QCOMPARE(list().rows().rowCount(), kTinyEntries + 1);
        const qsizetype lineLength = QByteArrayView("a: \r\n").size();
        QByteArray expected = book;
        expected.insert((middle + 1) * lineLength, "SEPARATOR\r\n");
        reopenAndCompare(saveAndCompare(expected), expected);
        QCOMPARE(list().rows().rowCount(), kTinyEntries + 1);
    }

    // A million addresses in one group: all selected, Delete takes them all after one
    // question, and undo brings them back; with one row selected Delete takes that one; the
    // rest, all selected, are dragged onto another group in the tree; then that group is
    // deleted with them.
    void aMillionEntriesInOneGroup() {
        const QByteArray book =
            BookBytes([](const BookSink& sink) { OneBigGroupBook(kGroupEntries, sink); });
        CTellwickApp& app = open(book);
        select("big");
        QCOMPARE(list().rows().rowCount(), kGroupEntries);
        list().setFocus();
        clickRow(0);
        QTest::keyClick(list().viewport(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(list().selectionModel()->selection().size(), 1);
        QCOMPARE(list().selectionModel()->selection()[0].height(), kGroupEntries);
        prompter_->answers = {Prompter::Answer::Yes};
        QTest::keyClick(list().viewport(), Qt::Key_Delete);
        QCOMPARE(list().rows().rowCount(), 0);
        QCOMPARE(prompter_->shown.size(), 1);
        QVERIFY(app.router().execute(ID_EDIT_UNDO));
        QCOMPARE(list().rows().rowCount(), kGroupEntries);
        QCOMPARE(list().selectionModel()->selection()[0].height(), kGroupEntries);
        clickRow(0);
        prompter_->answers = {Prompter::Answer::Yes};
        QTest::keyClick(list().viewport(), Qt::Key_Delete);
        QCOMPARE(list().rows().rowCount(), kGroupEntries - 1);
        EntryNode* big = app.document().tree.first;
        QCOMPARE(NameOf(big->firstChild), std::string("e1"));

        QTest::keyClick(list().viewport(), Qt::Key_A, Qt::ControlModifier);
        startListDrag(0);
        QCOMPARE(app.document().dragList.size(), std::size_t(kGroupEntries - 1));
        releaseOver(tree().viewport(), tree().visualItemRect(item("other")).center());
        QCOMPARE(list().rows().rowCount(), 0);
        QVERIFY(!big->firstChild);
        const EntryNode* other = big->next;
        QCOMPARE(ChildCount(other), kGroupEntries - 1);
        QCOMPARE(AddressesOf(other->firstChild), std::vector<std::string>{"1"});

        const qsizetype firstMoved = book.indexOf("  e1: ");
        const qsizetype endOfBig = book.indexOf("END GROUP\r\nGROUP other");
        const QByteArray moved = book.mid(firstMoved, endOfBig - firstMoved);
        QByteArray expected =
            "GROUP big\r\nEND GROUP\r\nGROUP other\r\n" + moved + "END GROUP\r\nlast: z\r\n";
        saveAndCompare(expected);

        select("other");
        QCOMPARE(list().rows().rowCount(), kGroupEntries - 1);
        tree().setFocus();
        prompter_->answers = {Prompter::Answer::Yes};
        QTest::keyClick(&tree(), Qt::Key_Delete);
        QCoreApplication::processEvents();
        QVERIFY(!item("other"));
        expected = "GROUP big\r\nEND GROUP\r\nlast: z\r\n";
        reopenAndCompare(saveAndCompare(expected), expected);
    }
};

QTEST_MAIN(TestHugeBooks)
#include "tst_hugebooks.moc"
