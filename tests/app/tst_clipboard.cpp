// Entries through the system clipboard: copied rows and groups come back byte for byte in
// another book, other programs get a vCard and mail-style text, and what other programs put
// there pastes as entries when it is contacts, and not at all otherwise.
#include "framework/DocumentManager.h"
#include "framework/StandardCommands.h"
#include "tests/support/PaneFixture.h"
#include "views/Commands.h"
#include "views/EntryClipboard.h"

#include <QClipboard>
#include <QMimeData>

namespace {

// A name whose bytes are no CP932 character, next to ordinary ones.
const QByteArray kBook =
    "GROUP G1\r\n  \x81\x7f: raw\r\n  GROUP deep\r\n    d: 4\r\n  END GROUP\r\n"
    "END GROUP\r\n\x8eR\x93\x63: taro@example.jp,090-1\r\nTel: 03-1\r\n";
const QByteArray kOther = "O: 1\r\n";

} // namespace

class TestClipboard : public PaneFixture {
    Q_OBJECT

    void run(int id) {
        app_->router().updateAll();
        QVERIFY(app_->router().stateOf(id).enabled);
        app_->router().action(id)->trigger();
        QCoreApplication::processEvents();
    }
    // The top level shown, rows from..to selected.
    void selectRows(int from, int to) {
        select(QStringLiteral("book.tlw"));
        list().setFocus();
        list().selectionModel()->select(
            QItemSelection(list().rows().index(from, 0), list().rows().index(to, 0)),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        list().selectionModel()->setCurrentIndex(list().rows().index(from, 0),
                                                 QItemSelectionModel::NoUpdate);
    }
    void putOnClipboard(const QString& format, const QByteArray& bytes) {
        auto* data = new QMimeData;
        data->setData(format, bytes);
        QGuiApplication::clipboard()->setMimeData(data);
        QCoreApplication::processEvents();
    }

private slots:
    void init() { QVERIFY(dir_.isValid()); }
    void cleanup() { closeApp(); }

    // Rows copied from one book and pasted into another are the same lines when saved; the
    // other forms carry the same entries.
    void copiedRowsPasteByteForByte() {
        open(kBook);
        selectRows(0, 1);
        run(ID_EDIT_COPY);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        const QByteArray lines = data->data(EntryClipboard::kBookFormat);
        QCOMPARE(lines, kBook.left(kBook.indexOf("Tel:")));
        QVERIFY(data->text().contains(QStringLiteral("山田 <taro@example.jp>")));
        QVERIFY(data->data(QStringLiteral("text/vcard")).contains("EMAIL:taro@example.jp"));
        writeFile(QStringLiteral("other.tlw"), kOther);
        QVERIFY(app_->documents().openDocumentFile(dir_.filePath(QStringLiteral("other.tlw"))));
        QCoreApplication::processEvents();
        selectRows(0, 0);
        run(ID_EDIT_PASTE);
        QCOMPARE(WrittenBook(app_->document()), kOther + lines);
        QCOMPARE(list().selectionModel()->selectedRows().size(), 2); // the pasted rows
    }

    // A cut takes every selected row without a question, as one step; the tree cuts and
    // pastes a group with everything below it.
    void cutIsOneStepAndTheTreePastesIntoItsGroup() {
        open(kBook);
        selectRows(1, 2);
        run(ID_EDIT_CUT);
        QCOMPARE(listNames(), (QStringList{"G1"}));
        QVERIFY(prompter_->shown.isEmpty());
        run(ID_EDIT_UNDO);
        QCOMPARE(WrittenBook(app_->document()), kBook);
        select(QStringLiteral("deep"));
        tree().setFocus();
        run(ID_EDIT_COPY);
        select(QStringLiteral("G1"));
        run(ID_EDIT_PASTE);
        QCOMPARE(ChildLabels(item(QStringLiteral("G1"))), (QStringList{"deep", "deep"}));
        QVERIFY(
            WrittenBook(app_->document()).startsWith("GROUP G1\r\n  GROUP deep\r\n    d: 4\r\n"));
    }

    // Several selected rows: one question names their number and they all go; moving them
    // takes each one place, the selection with them; each is one undo step.
    void severalRowsAtOnce() {
        open(kBook);
        selectRows(1, 2);
        run(ID_MOVE_UP);
        QCOMPARE(listNames().mid(0, 2), (QStringList{"山田", "Tel"}));
        QCOMPARE(list().selectionModel()->selectedRows().size(), 2);
        QVERIFY(list().selectionModel()->isRowSelected(0));
        run(ID_EDIT_UNDO);
        QCOMPARE(WrittenBook(app_->document()), kBook);
        selectRows(1, 2);
        run(ID_DELETE);
        QCOMPARE(prompter_->shown.size(), 1);
        QCOMPARE(prompter_->shown.first().text,
                 QStringLiteral("選択した 2 個の項目を削除しますか?"));
        QCOMPARE(listNames(), (QStringList{"G1"}));
        run(ID_EDIT_UNDO);
        QCOMPARE(WrittenBook(app_->document()), kBook);
    }

    // What other programs offer: contacts paste as entries; other text leaves Paste off.
    void pastesFromOtherPrograms_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("pasted"); // empty: Paste stays off
        const QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:花子\r\nEMAIL:h@example.jp\r\n"
                                "END:VCARD\r\n";
        const QByteArray hanako = "\x89\xd4\x8eq: h@example.jp\r\n";
        QTest::newRow("vCard") << "text/vcard" << card << hanako;
        QTest::newRow("vCard as text") << "text/plain" << card << hanako;
        QTest::newRow("mail lines")
            << "text/plain" << QByteArray("Ann <a@example.jp>\r\nb@example.jp\n")
            << QByteArray("Ann: a@example.jp\r\nb@example.jp: b@example.jp\r\n");
        QTest::newRow("prose") << "text/plain" << QByteArray("hello world\n") << QByteArray();
        QTest::newRow("text too long to be a list")
            << "text/plain" << QByteArray("a@example.jp\n").repeated(100'000) << QByteArray();
        QTest::newRow("an image") << "image/png" << QByteArray("\x89PNG") << QByteArray();
    }

    void pastesFromOtherPrograms() {
        QFETCH(QString, format);
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, pasted);
        open(kOther);
        putOnClipboard(format, bytes);
        selectRows(0, 0);
        list().setCurrentIndex(list().rows().index(0, 0));
        app_->router().updateAll();
        QCOMPARE(app_->router().stateOf(ID_EDIT_PASTE).enabled, !pasted.isEmpty());
        tree().setFocus();
        app_->router().updateAll();
        QCOMPARE(app_->router().stateOf(ID_EDIT_PASTE).enabled, !pasted.isEmpty());
        if (pasted.isEmpty())
            return;
        list().setFocus();
        run(ID_EDIT_PASTE);
        QCOMPARE(WrittenBook(app_->document()), kOther + pasted);
    }
};

QTEST_MAIN(TestClipboard)
#include "tst_clipboard.moc"
