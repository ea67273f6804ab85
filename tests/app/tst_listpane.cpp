// The entry list pane in the real main window: commands through the router and the pane's
// menu, keys and mouse on its rows, drags within and between the panes, and reading a book
// in at the selection; every box answered through the scripted prompter.
#include "framework/DocumentManager.h"
#include "tests/support/PaneFixture.h"
#include "views/Commands.h"
#include "views/DragImage.h"
#include "views/PaneMessages.h"

#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSplitter>
#include <QToolTip>

namespace {

const QByteArray kBook = "GROUP G1\r\n  a: 1\r\nEND GROUP\r\nA1: x,y,z\r\nSEPARATOR\r\n"
                         "GROUP G2\r\n  GROUP inner\r\n    i: 2\r\n  END GROUP\r\nEND GROUP\r\n"
                         "A2: w\r\n";

// Records the pane messages that pass through the frame, with the name each entry had.
class MessageLog : public QObject {
public:
    QStringList seen;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == PaneMessageEvent::type()) {
            const auto& message = static_cast<PaneMessageEvent&>(*event);
            const EntryNode* entry = message.entry();
            seen << QStringLiteral("%1 %2")
                        .arg(message.message, 0, 16)
                        .arg(entry ? QString::fromStdString(std::string(entry->Name()))
                                   : QStringLiteral("-"));
        }
        return false;
    }
};

} // namespace

class TestListPane : public PaneFixture {
    Q_OBJECT

private:
    MessageLog log_;

    CTellwickApp& openWithLog(const QByteArray& book) {
        CTellwickApp& app = open(book);
        app.frame().installEventFilter(&log_);
        log_.seen.clear();
        list().setFocus();
        return app;
    }
    QModelIndex rowIndex(int row) { return list().rows().index(row, 0); }
    void clickRow(int row, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(list().viewport(), Qt::LeftButton, modifiers, rowCenter(row));
    }
    bool selected(int row) { return list().selectionModel()->isRowSelected(row); }
    QLineEdit* editor() { return openEditor(list()); }
    // Types over the open editor's text and presses Enter; the edit ends from the event loop.
    void typeInEditor(const QString& text, Qt::Key key = Qt::Key_Return) {
        QLineEdit* edit = editor();
        QVERIFY(edit);
        edit->setText(text);
        QTest::keyClick(edit, key);
        QCoreApplication::processEvents();
    }
    void setNameInDialog(const QString& name, const QString& addresses = {}) {
        prompter_->dialogScript = [name, addresses](QDialog& dialog) {
            dialog.findChild<QLineEdit*>("nameEdit")->setText(name);
            if (auto* box = dialog.findChild<QPlainTextEdit*>("addressEdit"))
                box->setPlainText(addresses);
            return QDialog::Accepted;
        };
    }
    void rightClick(const QPoint& at) {
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, list().viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(list().viewport(), &click);
    }
    void releaseOnRow(int row) { releaseOver(list().viewport(), rowCenter(row)); }

private slots:
    void init() { QVERIFY(dir_.isValid()); }
    void cleanup() {
        if (app_)
            app_->frame().removeEventFilter(&log_);
        closeApp();
        log_.seen.clear();
    }

    void showsOneRowPerEntry() {
        openWithLog(kBook);
        QCOMPARE(listNames(), (QStringList{"G1", "A1", "セパレータ", "G2", "A2"}));
        // Every address followed by one space; nothing for groups and separators.
        QCOMPARE(listColumn(1), (QStringList{"", "x y z ", "", "", "w "}));
        QCOMPARE(list().model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("名前"));
        QCOMPARE(list().model()->headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("アドレス"));
        QCOMPARE(list().currentRow(), -1); // no current row after a fill
        for (int id : {ID_DELETE, ID_PROPERTIES, ID_MOVE_UP, ID_MOVE_DOWN})
            QVERIFY(!enabled(id));
        for (int id :
             {ID_INSERT_ADDRESS, ID_INSERT_GROUP, ID_INSERT_SEPARATOR, ID_LOAD_AT_SELECTION})
            QVERIFY(enabled(id));
        clickRow(1);
        QCOMPARE(list().currentRow(), 1);
        QVERIFY(enabled(ID_DELETE) && enabled(ID_MOVE_UP) && enabled(ID_PROPERTIES));
        // The tree pane, when active, offers none of the list's inserts.
        tree().setFocus();
        QVERIFY(!enabled(ID_LOAD_AT_SELECTION) && !enabled(ID_INSERT_ADDRESS));
        // Told to show nothing, the list shows the top level.
        select("G2");
        QCOMPARE(listNames(), QStringList{"inner"});
        PaneMessageEvent top(UM_SHOWGROUP, nullptr);
        QCoreApplication::sendEvent(&app_->frame(), &top);
        QCOMPARE(listNames().size(), 5);
    }

    void insertsWhereTheCurrentRowIs_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("current");
        QTest::addColumn<QByteArray>("book");
        QTest::addColumn<QStringList>("names");
        const QByteArray head = "GROUP G1\r\n  a: 1\r\nEND GROUP\r\n";
        const QByteArray tail = "A1: x,y,z\r\nSEPARATOR\r\nGROUP G2\r\n  GROUP inner\r\n"
                                "    i: 2\r\n  END GROUP\r\nEND GROUP\r\nA2: w\r\n";
        QTest::newRow("address after a group row, not into it")
            << int(ID_INSERT_ADDRESS) << 0 << head + "new: n1,n2\r\n" + tail
            << QStringList{"G1", "new", "A1", "セパレータ", "G2", "A2"};
        QTest::newRow("group after a group row")
            << int(ID_INSERT_GROUP) << 0 << head + "GROUP new\r\nEND GROUP\r\n" + tail
            << QStringList{"G1", "new", "A1", "セパレータ", "G2", "A2"};
        QTest::newRow("separator with no current row goes last")
            << int(ID_INSERT_SEPARATOR) << -1 << head + tail + "SEPARATOR\r\n"
            << QStringList{"G1", "A1", "セパレータ", "G2", "A2", "セパレータ"};
    }
    void insertsWhereTheCurrentRowIs() {
        QFETCH(int, command);
        QFETCH(int, current);
        QFETCH(QByteArray, book);
        QFETCH(QStringList, names);
        CTellwickApp& app = openWithLog(kBook);
        if (current >= 0)
            clickRow(current);
        setNameInDialog("new", "n1\nn2");
        QVERIFY(app.router().execute(command));
        QCOMPARE(WrittenBook(app.document()), book);
        QCOMPARE(listNames(), names);
        QCOMPARE(list().currentRow(), current); // the new row takes neither focus...
        QCOMPARE(list().selectionModel()->selectedRows().size(), current >= 0 ? 1 : 0);
        QVERIFY(app.document().isModified());
        if (command == ID_INSERT_GROUP) {
            QCOMPARE(ChildLabels(tree().rootItem()), (QStringList{"G1", "new", "G2"}));
            QCOMPARE(log_.seen, QStringList{"402 new"});
        } else {
            QVERIFY(log_.seen.isEmpty());
        }
    }

    // Cancelled dialogs insert nothing.
    void insertCancelledChangesNothing() {
        CTellwickApp& app = openWithLog(kBook);
        prompter_->dialogScript = [](QDialog&) { return QDialog::Rejected; };
        QVERIFY(app.router().execute(ID_INSERT_ADDRESS));
        QVERIFY(app.router().execute(ID_INSERT_GROUP));
        QCOMPARE(WrittenBook(app.document()), kBook);
        QVERIFY(!app.document().isModified());
        QCOMPARE(prompter_->dialogsRun, (QStringList{"addressDialog", "groupDialog"}));
    }

    // In an empty list the new entry goes into the group the list shows, and stays there
    // when the list is filled again; in an empty book it is the only entry.
    void insertsIntoTheShownEmptyGroup() {
        CTellwickApp& app = openWithLog("A: 1\r\nGROUP empty\r\nEND GROUP\r\n");
        select("empty");
        QVERIFY(listNames().isEmpty());
        list().setFocus();
        QVERIFY(app.router().execute(ID_INSERT_SEPARATOR));
        setNameInDialog("sub");
        QVERIFY(app.router().execute(ID_INSERT_GROUP));
        QCOMPARE(WrittenBook(app.document()),
                 QByteArray("A: 1\r\nGROUP empty\r\n  SEPARATOR\r\n  GROUP sub\r\n  END GROUP\r\n"
                            "END GROUP\r\n"));
        QCOMPARE(ChildLabels(item("empty")), QStringList{"sub"});
        select("book.tlw");
        select("empty");
        QCOMPARE(listNames(), (QStringList{"セパレータ", "sub"}));

        QVERIFY(app.documents().fileNew());
        list().setFocus();
        setNameInDialog("only", "o");
        QVERIFY(app.router().execute(ID_INSERT_ADDRESS));
        QCOMPARE(WrittenBook(app.document()), QByteArray("only: o\r\n"));
        QCOMPARE(listNames(), QStringList{"only"});
    }

    void movesAndKeepsTheMovedRowCurrent() {
        CTellwickApp& app = openWithLog(kBook);
        // An address below a group moves up: the rows change places with their texts and
        // icons, and the moved row keeps the focus.
        clickRow(1);
        QVERIFY(app.router().execute(ID_MOVE_UP));
        QCOMPARE(listNames().mid(0, 2), (QStringList{"A1", "G1"}));
        QCOMPARE(listColumn(1).mid(0, 2), (QStringList{"x y z ", ""}));
        QCOMPARE(list().currentRow(), 0);
        QVERIFY(!rowIndex(0).data(Qt::DecorationRole).value<QIcon>().isNull());
        // The group changed objects: its tree item follows it, children included.
        QCOMPARE(CTlwTreeView::entryOf(item("G1")), app.document().tree.first->next);
        QCOMPARE(CTlwTreeView::entryOf(item("G1"))->firstChild->Name(), std::string_view("a"));
        QCOMPARE(log_.seen.size(), 1);
        QVERIFY(log_.seen[0].startsWith("402 "));
        select("G1");
        QCOMPARE(listNames(), QStringList{"a"});
        select("book.tlw");
        list().setFocus();

        // At the ends, and without a current row, the move only beeps.
        clickRow(0);
        QVERIFY(app.router().execute(ID_MOVE_UP));
        clickRow(4);
        QVERIFY(app.router().execute(ID_MOVE_DOWN));
        QCOMPARE(prompter_->beeps, 2);

        // The first row moves down and stays current.
        clickRow(0);
        QVERIFY(app.router().execute(ID_MOVE_DOWN));
        QCOMPARE(list().currentRow(), 1);
        QVERIFY(selected(1));
        QCOMPARE(listNames().mid(0, 2), (QStringList{"G1", "A1"}));
        clickRow(1);
        QVERIFY(app.router().execute(ID_MOVE_UP));
        QCOMPARE(listNames().mid(0, 2), (QStringList{"A1", "G1"}));

        // A group moves down past a group: the tree shows both in their new order.
        clickRow(1);
        QVERIFY(app.router().execute(ID_MOVE_DOWN)); // G1 below the separator
        QVERIFY(app.router().execute(ID_MOVE_DOWN)); // G1 below G2
        QCOMPARE(list().currentRow(), 3);
        QVERIFY(selected(3));
        QCOMPARE(listNames(), (QStringList{"A1", "セパレータ", "G2", "G1", "A2"}));
        QCOMPARE(ChildLabels(tree().rootItem()), (QStringList{"G2", "G1"}));
        QCOMPARE(ChildLabels(item("G2")), QStringList{"inner"});
        QCOMPARE(WrittenBook(app.document()),
                 QByteArray("A1: x,y,z\r\nSEPARATOR\r\nGROUP G2\r\n  GROUP inner\r\n    i: 2\r\n"
                            "  END GROUP\r\nEND GROUP\r\nGROUP G1\r\n  a: 1\r\nEND GROUP\r\n"
                            "A2: w\r\n"));
    }

    void deletesAfterItsQuestion_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("question");
        QTest::newRow("group") << 0 << "グループの削除"
                               << "[G1]\nこのグループ以下すべての項目を削除します\nよろしいですか";
        QTest::newRow("address") << 1 << "アドレスの削除"
                                 << "[A1]\nこのアドレスを削除します\nよろしいですか";
        QTest::newRow("separator") << 2 << "セパレーターの削除"
                                   << "セパレーターを削除します\nよろしいですか";
    }
    void deletesAfterItsQuestion() {
        QFETCH(int, row);
        QFETCH(QString, caption);
        QFETCH(QString, question);
        CTellwickApp& app = openWithLog(kBook);
        clickRow(row);
        prompter_->answers = {Prompter::Answer::No};
        QVERIFY(app.router().execute(ID_DELETE));
        QCOMPARE(prompter_->shown.size(), 1);
        QCOMPARE(prompter_->shown[0].caption, caption);
        QCOMPARE(prompter_->shown[0].text, question);
        QCOMPARE(prompter_->shown[0].buttons, Prompter::Buttons::YesNo);
        QCOMPARE(WrittenBook(app.document()), kBook);
        QVERIFY(!app.document().isModified());

        const QStringList before = listNames();
        prompter_->answers = {Prompter::Answer::Yes};
        QVERIFY(app.router().execute(ID_DELETE));
        QStringList after = before;
        after.removeAt(row);
        QCOMPARE(listNames(), after);
        QVERIFY(app.document().isModified());
        QCOMPARE(ChildLabels(tree().rootItem()),
                 row == 0 ? QStringList{"G2"} : (QStringList{"G1", "G2"}));
        QCOMPARE(log_.seen.size(), 1);
        QVERIFY(log_.seen[0].startsWith("404 "));
    }

    // Properties edit an address or a group in its dialog; a separator has none, and the
    // tree is told in every case.
    void propertiesTellTheTreeWhateverTheEntry() {
        CTellwickApp& app = openWithLog(kBook);
        clickRow(2);
        QVERIFY(app.router().execute(ID_PROPERTIES));
        QVERIFY(prompter_->dialogsRun.isEmpty());
        QCOMPARE(log_.seen, QStringList{"403 " + QString::fromStdString(kSeparatorName)});
        QVERIFY(!app.document().isModified());

        clickRow(1);
        setNameInDialog("A1b", "p\nq");
        QSignalSpy repaints(&list().rows(), &QAbstractItemModel::dataChanged);
        QVERIFY(app.router().execute(ID_PROPERTIES));
        QVERIFY(!repaints.isEmpty()); // the row shows the new text, not the old one it painted
        QCOMPARE(repaints.first().at(0).value<QModelIndex>().row(), 1);
        QCOMPARE(listNames()[1], QStringLiteral("A1b"));
        QCOMPARE(listColumn(1)[1], QStringLiteral("p q "));
        clickRow(0);
        prompter_->dialogScript = [](QDialog& dialog) {
            dialog.findChild<QLineEdit*>("nameEdit")->setText("ignored");
            return QDialog::Rejected;
        };
        QVERIFY(app.router().execute(ID_PROPERTIES));
        QCOMPARE(prompter_->dialogsRun, (QStringList{"addressDialog", "groupDialog"}));
        QCOMPARE(log_.seen.last(), QStringLiteral("403 G1"));
        QCOMPARE(listNames()[0], QStringLiteral("G1"));
        QVERIFY(WrittenBook(app.document()).contains("A1b: p,q\r\n"));
    }

    void doubleClicksOpenTheRow() {
        CTellwickApp& app = openWithLog(kBook);
        prompter_->dialogScript = [](QDialog&) { return QDialog::Rejected; };
        QTest::mouseDClick(list().viewport(), Qt::LeftButton, {}, rowCenter(2)); // separator
        QTest::mouseDClick(list().viewport(), Qt::LeftButton, {}, rowCenter(1)); // address
        QCOMPARE(prompter_->dialogsRun, QStringList{"addressDialog"});
        QVERIFY(log_.seen.isEmpty());
        QTest::mouseDClick(list().viewport(), Qt::LeftButton, {}, rowCenter(3)); // group
        QCOMPARE(listNames(), QStringList{"inner"});
        QCOMPARE(log_.seen, QStringList{"405 G2"});
        QCOMPARE(tree().currentItem(), item("G2"));
        QCoreApplication::processEvents();
        QCOMPARE(list().shownGroup(), CTlwTreeView::entryOf(item("G2")));
        QTest::mouseDClick(list().viewport(), Qt::LeftButton, {}, QPoint(5, 300)); // no row
        QCOMPARE(listNames(), QStringList{"inner"});
        QVERIFY(!app.document().isModified());
        // Enter opens the current row the same way.
        list().setFocus();
        clickRow(0);
        QTest::keyClick(list().viewport(), Qt::Key_Return);
        QCOMPARE(listNames(), QStringList{"i"});
        QCOMPARE(tree().currentItem(), item("inner"));
    }

    // The first click of a double click on the selected row would start renaming once the
    // double-click time is over; the double click opens the dialog instead, and only that.
    void doubleClickOnTheSelectedRowDoesNotRenameToo() {
        openWithLog(kBook);
        const int interval = QApplication::doubleClickInterval();
        QApplication::setDoubleClickInterval(0); // that time is over at once
        const auto restore =
            qScopeGuard([interval] { QApplication::setDoubleClickInterval(interval); });
        prompter_->dialogScript = [](QDialog&) { return QDialog::Rejected; };
        clickRow(1);
        QTest::mousePress(list().viewport(), Qt::LeftButton, {}, rowCenter(1));
        QTest::mouseRelease(list().viewport(), Qt::LeftButton, {}, rowCenter(1));
        QTest::mouseDClick(list().viewport(), Qt::LeftButton, {}, rowCenter(1));
        QTest::mouseRelease(list().viewport(), Qt::LeftButton, {}, rowCenter(1));
        QCoreApplication::processEvents();
        QCOMPARE(prompter_->dialogsRun, QStringList{"addressDialog"});
        QVERIFY(!editor());
    }

    void contextMenuActsOnTheRightClickedRow() {
        CTellwickApp& app = openWithLog(kBook);
        clickRow(1);
        prompter_->menuChoice = QStringLiteral("削除");
        prompter_->answers = {Prompter::Answer::Yes};
        rightClick(rowCenter(3));
        QCOMPARE(prompter_->menusShown.size(), 1);
        QCOMPARE(prompter_->menusShown[0],
                 (QStringList{"切り取り", "コピー", "貼り付け", "", "削除", "", "アドレスの挿入",
                              "グループの挿入", "セパレータの挿入", "", "ﾌﾟﾛﾊﾟﾃｨ"}));
        QCOMPARE(prompter_->shown[0].caption, QStringLiteral("グループの削除"));
        QCOMPARE(listNames(), (QStringList{"G1", "A1", "セパレータ", "A2"}));
        QVERIFY(app.document().isModified());
        // Empty space shows no menu.
        rightClick(QPoint(5, list().viewport()->height() - 3));
        QCOMPARE(prompter_->menusShown.size(), 1);
        // The menu key opens it for the current row; its inserts go after that row.
        clickRow(0);
        prompter_->menuChoice = QStringLiteral("セパレータの挿入");
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        QCoreApplication::sendEvent(list().viewport(), &key);
        QCOMPARE(listNames(), (QStringList{"G1", "セパレータ", "A1", "セパレータ", "A2"}));
    }

    void renamesInPlace() {
        CTellwickApp& app = openWithLog(kBook);
        clickRow(2);
        QTest::keyClick(list().viewport(), Qt::Key_F2);
        QVERIFY(!editor()); // separators are not renamed
        clickRow(3);
        QTest::keyClick(list().viewport(), Qt::Key_F2);
        typeInEditor(QStringLiteral("家族"));
        QCOMPARE(item("家族"), tree().rootItem()->child(1)); // the tree relabels the group
        QVERIFY(WrittenBook(app.document()).contains("GROUP \x89\xc6\x91\xb0\r\n"));
        QVERIFY(app.document().isModified());

        // Escape keeps the name; an empty text gives an empty name.
        clickRow(1);
        QTest::keyClick(list().viewport(), Qt::Key_F2);
        typeInEditor(QStringLiteral("gone"), Qt::Key_Escape);
        QCOMPARE(listNames()[1], QStringLiteral("A1"));
        QTest::keyClick(list().viewport(), Qt::Key_F2);
        typeInEditor(QString());
        QVERIFY(WrittenBook(app.document()).contains("\r\n: x,y,z\r\n"));

        // Text the book cannot hold is refused with a message, and nothing changes.
        clickRow(4);
        QTest::keyClick(list().viewport(), Qt::Key_F2);
        typeInEditor(QStringLiteral("A2😀"));
        QTRY_COMPARE(prompter_->shown.size(), 1);
        QVERIFY(prompter_->shown[0].text.contains(QStringLiteral("😀")));
        QCOMPARE(listNames()[4], QStringLiteral("A2"));
        QVERIFY(WrittenBook(app.document()).endsWith("A2: w\r\n"));
    }

    // An editor open on a row that a move of other rows changes takes the row's new name:
    // Enter then leaves the entry that came there as it was.
    void anOpenEditorFollowsARowMovedUnderIt() {
        CTellwickApp& app = openWithLog(kBook);
        clickRow(1);
        clickRow(2, Qt::ShiftModifier);
        list().selectionModel()->setCurrentIndex(rowIndex(0), QItemSelectionModel::NoUpdate);
        QTest::keyClick(list().viewport(), Qt::Key_F2);
        QVERIFY(editor());
        QVERIFY(app.router().execute(ID_MOVE_UP));
        QCOMPARE(editor()->text(), QStringLiteral("A1"));
        typeInEditor(editor()->text());
        QCOMPARE(listNames().mid(0, 3), (QStringList{"A1", "セパレータ", "G1"}));
    }

    // Another window taking the activation (a dialog, a switch of windows) leaves the
    // in-place editor open with its text.
    void theEditorOutlivesLosingTheActivation() {
        openWithLog(kBook);
        clickRow(1);
        QTest::keyClick(list().viewport(), Qt::Key_F2);
        QLineEdit* edit = editor();
        QVERIFY(edit);
        edit->setText(QStringLiteral("typing"));
        QLineEdit other; // a window of its own, which takes the focus
        other.show();
        QApplication::setActiveWindow(&other);
        other.setFocus();
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::focusWidget(), &other);
        QCOMPARE(editor(), edit);
        QCOMPARE(edit->text(), QStringLiteral("typing"));
        QApplication::setActiveWindow(&app_->frame());
    }

    // Text that would read back from the saved book as something else is refused where it is
    // typed: the reason names what is wrong, the book stays as it was, and the editor opens
    // again holding the text as typed.
    void refusedRenamesKeepTheTypedText_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("named"); // what the reason must name, parts split by "|"
        QTest::newRow("comment") << 1 << "#1 担当 佐々木"
                                 << "「#」|コメント行";
        QTest::newRow("colon") << 1 << "歯医者: 駅前"
                               << "「:」";
        QTest::newRow("end group") << 1 << "END GROUP"
                                   << "「END GROUP」|グループの終わり";
        QTest::newRow("separator") << 1 << "SEPARATOR..."
                                   << "「SEPARATOR」|セパレータとして";
        QTest::newRow("group") << 1 << "GROUP x"
                               << "「GROUP」|グループの始まり";
        QTest::newRow("pasted line break") << 1 << "x\r\ndn: y"
                                           << "改行";
        QTest::newRow("leading blank") << 1 << " A1"
                                       << "空白";
        QTest::newRow("emoji") << 4 << "A2😀"
                               << "😀";
        QTest::newRow("line break in a group name") << 3 << "G\nx"
                                                    << "改行";
    }
    void refusedRenamesKeepTheTypedText() {
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(QString, named);
        CTellwickApp& app = openWithLog(kBook);
        clickRow(row);
        QTest::keyClick(list().viewport(), Qt::Key_F2);
        typeInEditor(typed);
        QTRY_COMPARE(prompter_->shown.size(), 1);
        for (const QString& part : named.split(u'|'))
            QVERIFY2(prompter_->shown[0].text.contains(part), qPrintable(prompter_->shown[0].text));
        QCOMPARE(WrittenBook(app.document()), kBook);
        QVERIFY(!app.document().isModified());
        QTRY_VERIFY(editor());
        QCOMPARE(editor()->text(), typed);
        QTest::keyClick(editor(), Qt::Key_Escape);
        QCOMPARE(WrittenBook(app.document()), kBook);
    }

    // A name of a megabyte is refused by both editors at once instead of freezing the window.
    void namesTooLongToEditAreLeftAlone() {
        CTellwickApp& app = openWithLog(QByteArray(1 << 20, 'n') + ": a\r\n");
        clickRow(0);
        QTest::keyClick(list().viewport(), Qt::Key_F2);
        QVERIFY(!editor());
        QTest::keyClick(list().viewport(), Qt::Key_Return);
        QVERIFY(prompter_->dialogsRun.isEmpty());
        QCOMPARE(prompter_->shown.size(), 2);
        for (const auto& shown : prompter_->shown)
            QVERIFY(shown.text.contains(QStringLiteral("長すぎる")));
        QVERIFY(!app.document().isModified());
    }

    // A slow second click on the current row schedules a rename; Delete pressed before it
    // starts acts alone, and no editor opens afterwards behind its question.
    void aKeyCancelsTheRenameASecondClickScheduled() {
        openWithLog(kBook);
        const int interval = QApplication::doubleClickInterval();
        QApplication::setDoubleClickInterval(0); // the rename is due at the next event loop
        const auto restore =
            qScopeGuard([interval] { QApplication::setDoubleClickInterval(interval); });
        prompter_->answers = {Prompter::Answer::Yes};
        clickRow(1);
        clickRow(1);
        QTest::keyClick(list().viewport(), Qt::Key_Delete);
        QCoreApplication::processEvents();
        QCOMPARE(prompter_->shown.size(), 1);
        QCOMPARE(prompter_->shown[0].caption, QStringLiteral("アドレスの削除"));
        QVERIFY(!editor());
        QVERIFY(list().hasFocus());
    }

    // The row model changes the rows it has, the first included, and no others.
    void theRowModelSetsOnlyRowsItHas() {
        openWithLog(kBook);
        EntryListModel& rows = list().rows();
        EntryNode* first = rows.entryAt(0);
        EntryNode* last = rows.entryAt(rows.rowCount() - 1);
        rows.setEntry(0, last);
        QCOMPARE(rows.entryAt(0), last);
        rows.setEntry(0, first);
        for (int outside : {-1, rows.rowCount()}) {
            rows.setEntry(outside, last);
            rows.removeEntry(outside);
            QCOMPARE(rows.entryAt(outside), nullptr);
        }
        QCOMPARE(rows.entryAt(0), first);
        QCOMPARE(rows.rowCount(), 5);
    }

    // A right press only moves the current row: the selection stays as it was.
    void aRightPressMovesOnlyTheCurrentRow() {
        openWithLog(kBook);
        clickRow(1);
        QTest::mousePress(list().viewport(), Qt::RightButton, {}, rowCenter(3));
        QTest::mouseRelease(list().viewport(), Qt::RightButton, {}, rowCenter(3));
        QVERIFY(selected(1));
        QVERIFY(!selected(3));
        QCOMPARE(list().currentRow(), 3);
    }

    // The pane without the focus draws its selection in another colour than the focused one.
    void theUnfocusedPaneShowsItsSelectionInactive() {
        openWithLog(kBook);
        const auto highlight = [](QWidget& pane) {
            return pane.palette().color(QPalette::Active, QPalette::Highlight);
        };
        const QColor focused = highlight(list());
        QVERIFY(highlight(tree()) != focused);
        tree().setFocus();
        QCOMPARE(highlight(tree()), focused);
        QVERIFY(highlight(list()) != focused);
    }

    // Kana typed through an input method: the pre-edit is shown in the editor but is not the
    // name until the method commits it, and Enter after the commit stores exactly that.
    void renamesInPlaceThroughTheInputMethod() {
        CTellwickApp& app = openWithLog(kBook);
        clickRow(1);
        QTest::keyClick(list().viewport(), Qt::Key_F2);
        QLineEdit* edit = editor();
        QVERIFY(edit);
        edit->selectAll();
        QInputMethodEvent preedit(QStringLiteral("やまだ"), {});
        QApplication::sendEvent(edit, &preedit);
        QVERIFY(!app.document().isModified());
        QCOMPARE(listNames()[1], QStringLiteral("A1"));
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("山田"));
        QApplication::sendEvent(edit, &commit);
        QTest::keyClick(edit, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(listNames()[1], QStringLiteral("山田"));
        QVERIFY(WrittenBook(app.document()).contains("\x8eR\x93\x63: x,y,z\r\n"));
    }

    void dropsRowsOnARow_data() {
        QTest::addColumn<int>("target");
        QTest::addColumn<QByteArray>("book");
        QTest::addColumn<QStringList>("names");
        const QByteArray g1 = "GROUP G1\r\n  a: 1\r\nEND GROUP\r\n";
        const QByteArray inner = "  GROUP inner\r\n    i: 2\r\n  END GROUP\r\n";
        // The rows of A1, the separator and A2 are dragged.
        QTest::newRow("on an address: right behind it, in list order")
            << 0
            << "Z: 0\r\nA1: x,y,z\r\nSEPARATOR\r\nA2: w\r\n" + g1 + "GROUP G2\r\n" + inner +
                   "END GROUP\r\n"
            << QStringList{"Z", "A1", "セパレータ", "A2", "G1", "G2"};
        QTest::newRow("on a group: first in it, gone from the list")
            << 4
            << "Z: 0\r\n" + g1 + "GROUP G2\r\n  A1: x,y,z\r\n  SEPARATOR\r\n  A2: w\r\n" + inner +
                   "END GROUP\r\n"
            << QStringList{"Z", "G1", "G2"};
        QTest::newRow("on one of themselves: the others follow it")
            << 3
            << "Z: 0\r\n" + g1 + "SEPARATOR\r\nA1: x,y,z\r\nA2: w\r\nGROUP G2\r\n" + inner +
                   "END GROUP\r\n"
            << QStringList{"Z", "G1", "セパレータ", "A1", "A2", "G2"};
    }
    void dropsRowsOnARow() {
        QFETCH(int, target);
        QFETCH(QByteArray, book);
        QFETCH(QStringList, names);
        CTellwickApp& app = openWithLog("Z: 0\r\n" + kBook);
        clickRow(2);
        clickRow(3, Qt::ControlModifier);
        clickRow(5, Qt::ControlModifier);
        startListDrag(3);
        QCOMPARE(app.document().dragList.size(), std::size_t(3));
        releaseOnRow(target);
        QCOMPARE(WrittenBook(app.document()), book);
        QCOMPARE(listNames(), names);
        QVERIFY(app.document().isModified());
        QVERIFY(log_.seen.isEmpty()); // no group moved
    }

    // However many rows are selected, the first move far enough starts their drag: a busy
    // window may see the press, one move and the release only.
    void aSingleMoveStartsTheDragOfEveryRow() {
        QByteArray book = "GROUP target\r\nEND GROUP\r\n";
        for (int i = 0; i < 5000; ++i)
            book += "e" + QByteArray::number(i) + ": a\r\n";
        CTellwickApp& app = openWithLog(book);
        QTest::keyClick(list().viewport(), Qt::Key_A, Qt::ControlModifier);
        const QPoint from = rowCenter(1);
        QTest::mousePress(list().viewport(), Qt::LeftButton, {}, from);
        const QPoint to = from + QPoint(QApplication::startDragDistance() + 2, 0);
        QMouseEvent move(QEvent::MouseMove, to, list().viewport()->mapToGlobal(to), Qt::NoButton,
                         Qt::LeftButton, {});
        QCoreApplication::sendEvent(list().viewport(), &move);
        QVERIFY(app.document().dragging);
        QCOMPARE(app.document().dragList.size(), std::size_t(5001));
        // Its picture shows the pressed row's icon, at the list's size, before the name.
        QVERIFY(app.document().dragImage->width() >=
                16 + list().fontMetrics().horizontalAdvance(QStringLiteral("e0")));
        releaseOver(tree().viewport(), tree().visualItemRect(item("target")).center());
        QCOMPARE(listNames(), QStringList{"target"}); // the group is skipped, not put in itself
        QCOMPARE(app.document().tree.first->firstChild->Name(), std::string_view("e0"));
    }

    // Groups dropped on the list: the tree shows each at its new place only, and a group
    // never goes below itself.
    void groupsDroppedOnTheListMoveInTheTree() {
        CTellwickApp& app = openWithLog(kBook);
        item("G2")->setExpanded(true);
        select("G1");
        // A group from another branch of the tree onto a row of G1. Dragging it selects
        // nothing, so the list still shows G1.
        startTreeDrag(item("inner"));
        QCoreApplication::processEvents();
        QCOMPARE(tree().currentItem(), item("G1"));
        QCOMPARE(listNames(), QStringList{"a"});
        releaseOnRow(0);
        QCOMPARE(listNames(), (QStringList{"a", "inner"}));
        QCOMPARE(ChildLabels(item("G1")), QStringList{"inner"});
        QCOMPARE(item("G2")->childCount(), 0); // its old item is gone
        QCOMPARE(CTlwTreeView::entryOf(item("inner"))->firstChild->Name(), std::string_view("i"));

        // A list group onto a group row: into it, and the tree follows.
        select("book.tlw");
        list().setFocus();
        clickRow(0);
        startListDrag(0);
        releaseOnRow(3);
        QCOMPARE(ChildLabels(tree().rootItem()), QStringList{"G2"});
        QCOMPARE(ChildLabels(item("G2")), QStringList{"G1"});

        // A tree group onto a row inside itself moves nothing. A click selects it.
        QTest::mouseClick(tree().viewport(), Qt::LeftButton, {},
                          tree().visualItemRect(item("G2")).center());
        QCoreApplication::processEvents();
        QCOMPARE(tree().currentItem(), item("G2"));
        QCOMPARE(listNames(), QStringList{"G1"});
        const QByteArray before = WrittenBook(app.document());
        startTreeDrag(item("G2"));
        releaseOnRow(0);
        QCOMPARE(WrittenBook(app.document()), before);
        QCOMPARE(ChildLabels(item("G2")), QStringList{"G1"});
    }

    // Rows dragged to the tree go first into the group they are released on, in list
    // order, and the list shows the tree's selected group.
    void rowsDroppedOnATreeGroup() {
        CTellwickApp& app = openWithLog(kBook);
        clickRow(4);
        clickRow(1, Qt::ControlModifier);
        startListDrag(1);
        releaseOver(tree().viewport(), tree().visualItemRect(item("G2")).center());
        QCOMPARE(WrittenBook(app.document()),
                 QByteArray("GROUP G1\r\n  a: 1\r\nEND GROUP\r\nSEPARATOR\r\nGROUP G2\r\n"
                            "  A1: x,y,z\r\n  A2: w\r\n  GROUP inner\r\n    i: 2\r\n"
                            "  END GROUP\r\nEND GROUP\r\n"));
        QCOMPARE(listNames(), (QStringList{"G1", "セパレータ", "G2"}));
    }

    // Releases on the splitter handle go to the list, releases off the rows anywhere drop
    // nothing, and Escape cancels; every one of them ends the drag.
    // A press below the last row starts no drag; sweeping up onto the rows selects them.
    void aPressOffTheRowsSelectsByDragging() {
        CTellwickApp& app = openWithLog(kBook);
        QWidget* viewport = list().viewport();
        const QPoint below = rowCenter(4) + QPoint(0, 3 * list().visualRect(rowIndex(4)).height());
        QVERIFY(!list().indexAt(below).isValid());
        QTest::mousePress(viewport, Qt::LeftButton, {}, below);
        const QPoint onRow = rowCenter(3);
        QMouseEvent move(QEvent::MouseMove, onRow, viewport->mapToGlobal(onRow), Qt::NoButton,
                         Qt::LeftButton, {});
        QCoreApplication::sendEvent(viewport, &move);
        QVERIFY(!app.document().dragging);
        QVERIFY(selected(3) && selected(4));
        QVERIFY(!selected(2));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, onRow);
        QCOMPARE(WrittenBook(app.document()), kBook);
    }

    void dragsEndingOffTheRowsDropNothing() {
        CTellwickApp& app = openWithLog(kBook);
        QSplitter* splitter = app.frame().findChild<QSplitter*>();
        QWidget* handle = splitter->handle(1);
        startTreeDrag(item("G1"));
        sendToFrame(QEvent::MouseMove, list().viewport(), rowCenter(3));
        QCOMPARE(list().dropRow(), 3);
        sendToFrame(QEvent::MouseMove, handle, handle->rect().center());
        QCOMPARE(app.document().dragWnd.data(), &list());
        QCOMPARE(list().dropRow(), -1);
        releaseOver(handle, handle->rect().center());

        clickRow(1);
        startListDrag(1);
        releaseOver(list().viewport(), QPoint(rowCenter(0).x(), -40)); // above the list
        startListDrag(1);
        releaseOver(list().viewport(), QPoint(5, list().viewport()->height() - 2));
        startListDrag(1);
        releaseOver(&app.frame(), QPoint(app.frame().width() - 5, app.frame().height() + 50));
        startListDrag(1);
        sendToFrame(QEvent::MouseMove, list().viewport(), rowCenter(0));
        QTest::keyClick(&list(), Qt::Key_Escape);
        verifyDragEnded();
        sendToFrame(QEvent::MouseButtonRelease, list().viewport(), rowCenter(0));
        QCOMPARE(WrittenBook(app.document()), kBook);
        QVERIFY(!app.document().isModified());
    }

    // A new or opened book frees the entries the rows showed: the list never keeps them,
    // and a drag of the old book ends.
    void newAndOpenNeverLeaveRowsOfTheFreedBook() {
        CTellwickApp& app = openWithLog(kBook);
        select("G2");
        QCOMPARE(listNames(), QStringList{"inner"});
        QVERIFY(app.documents().fileNew());
        QVERIFY(listNames().isEmpty());
        QVERIFY(!list().shownGroup());

        QVERIFY(app.documents().openDocumentFile(writeFile("other.tlw", kBook)));
        select("G2");
        clickRow(0);
        startListDrag(0);
        QVERIFY(app.documents().openDocumentFile(writeFile("third.tlw", "X: 1\r\n")));
        verifyDragEnded();
        QCOMPARE(listNames(), QStringList{"X"});
        sendToFrame(QEvent::MouseButtonRelease, list().viewport(), rowCenter(0));
        QCOMPARE(WrittenBook(app.document()), QByteArray("X: 1\r\n"));
    }

    void readsABookInAtTheSelection_data() {
        QTest::addColumn<int>("current");
        QTest::addColumn<QByteArray>("book");
        QTest::newRow("after the current row")
            << 0
            << QByteArray("GROUP G1\r\n  a: 1\r\nEND GROUP\r\nGROUP N\r\n  n: 1\r\nEND GROUP\r\n"
                          "M: 2\r\nA1: x,y,z\r\nSEPARATOR\r\nGROUP G2\r\n  GROUP inner\r\n"
                          "    i: 2\r\n  END GROUP\r\nEND GROUP\r\nA2: w\r\n");
        QTest::newRow("at the end without a current row")
            << -1 << kBook + "GROUP N\r\n  n: 1\r\nEND GROUP\r\nM: 2\r\n";
    }
    void readsABookInAtTheSelection() {
        QFETCH(int, current);
        QFETCH(QByteArray, book);
        CTellwickApp& app = openWithLog(kBook);
        if (current >= 0)
            clickRow(current);
        prompter_->openChoices = {
            writeFile("in.tlw", "GROUP N\r\n  n: 1\r\nEND GROUP\r\nM: 2\r\n")};
        QVERIFY(app.router().execute(ID_LOAD_AT_SELECTION));
        QCOMPARE(prompter_->dialogFilters.size(), 1);
        QCOMPARE(prompter_->dialogFilters[0][0].label, QStringLiteral("ｱﾄﾞﾚｽ帳ﾌｧｲﾙ"));
        QVERIFY(QDir::match(prompter_->dialogFilters[0][0].patterns, "X.TLW"));
        QCOMPARE(WrittenBook(app.document()), book);
        QVERIFY(app.document().isModified());
        QCOMPARE(list().currentRow(), current);
        QVERIFY(listNames().contains("N") && listNames().contains("M"));
        QVERIFY(ChildLabels(tree().rootItem()).contains("N"));
        QCOMPARE(app.document().pathName(), dir_.filePath("book.tlw")); // still the same book
    }

    void readingInFailsOrIsCancelledWithoutChange() {
        CTellwickApp& app = openWithLog(kBook);
        clickRow(1);
        QVERIFY(app.router().execute(ID_LOAD_AT_SELECTION)); // cancelled
        prompter_->openChoices = {dir_.filePath("missing.tlw"), dir_.path()};
        QVERIFY(app.router().execute(ID_LOAD_AT_SELECTION));
        QVERIFY(app.router().execute(ID_LOAD_AT_SELECTION));
        QCOMPARE(prompter_->shown.size(), 2);
        QVERIFY(
            prompter_->shown[0].text.startsWith(QStringLiteral("ﾄﾞｷｭﾒﾝﾄのｵｰﾌﾟﾝに失敗しました。")));
        QVERIFY(prompter_->shown[0].text.contains("missing.tlw"));
        QCOMPARE(WrittenBook(app.document()), kBook);
        QVERIFY(!app.document().isModified());
    }

    // Cards become entries where an insert goes; their category becomes a group.
    void readsAVCardFileInAtTheSelection() {
        CTellwickApp& app = openWithLog(kBook);
        clickRow(1);
        prompter_->openChoices = {writeFile(
            "in.VCF", "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:山田 太郎\r\nEMAIL:taro@example.jp\r\n"
                      "TEL:090-1234-5678\r\nCATEGORIES:友人\r\nEND:VCARD\r\n")};
        QVERIFY(app.router().execute(ID_LOAD_AT_SELECTION));
        QStringList labels;
        for (const FileFilter& filter : prompter_->dialogFilters.value(0))
            labels << filter.label;
        QCOMPARE(labels,
                 (QStringList{"ｱﾄﾞﾚｽ帳ﾌｧｲﾙ", "vCard (*.vcf)", "CSV (*.csv)", "すべてのﾌｧｲﾙ(*.*)"}));
        QVERIFY(prompter_->shown.isEmpty());
        QVERIFY(WrittenBook(app.document())
                    .contains("A1: x,y,z\r\nGROUP \x97\x46\x90\x6c\r\n  \x8eR\x93\x63 \x91\xbe"
                              "\x98Y: taro@example.jp,090-1234-5678\r\nEND GROUP\r\nSEPARATOR"));
        QVERIFY(ChildLabels(tree().rootItem()).contains(QStringLiteral("友人")));
        QVERIFY(app.document().isModified());
    }

    // Text the book cannot hold is shown with its card; nothing is read unless the user
    // agrees to have it replaced.
    void contactTextTheBookCannotHoldIsAskedAbout() {
        CTellwickApp& app = openWithLog(kBook);
        clickRow(1);
        const QString file =
            writeFile("in.vcf", "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:ok\r\nEND:VCARD\r\n"
                                "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:smile😀\r\n"
                                "EMAIL:s@example.jp\r\nEND:VCARD\r\n"
                                "BEGIN:VCARD\r\nFN:a:b\\nc\r\nEND:VCARD\r\n");
        prompter_->openChoices = {file, file};
        prompter_->answers = {Prompter::Answer::No, Prompter::Answer::Yes};
        QVERIFY(app.router().execute(ID_LOAD_AT_SELECTION));
        QCOMPARE(prompter_->shown.size(), 1);
        QVERIFY(prompter_->shown[0].text.contains(QStringLiteral("2 件目 (5 行目): 😀")));
        QVERIFY(prompter_->shown[0].text.contains(
            QStringLiteral("3 件目 (10 行目): その位置に置けない文字 : 改行")));
        QCOMPARE(prompter_->shown[0].buttons, Prompter::Buttons::YesNo);
        QCOMPARE(WrittenBook(app.document()), kBook);
        QVERIFY(!app.document().isModified());

        QVERIFY(app.router().execute(ID_LOAD_AT_SELECTION));
        QVERIFY(WrittenBook(app.document())
                    .contains("A1: x,y,z\r\nok: \r\nsmile?: s@example.jp\r\na?b?c: \r\n"));
    }

    // The window says in its own words what is wrong, and on which line.
    void malformedContactFileIsReportedWithoutChange_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not UTF-8") << "bad.vcf" << QByteArray("BEGIN:VCARD\r\nFN:\xff\xfe\r\n")
                                   << "2 行目: UTF-8 として読めない文字があります";
        QTest::newRow("card not closed")
            << "open.vcf" << QByteArray("BEGIN:VCARD\r\nEND:VCARD\r\n\r\nBEGIN:VCARD\r\nFN:y\r\n")
            << "4 行目: カードが END:VCARD で閉じられていません";
        QTest::newRow("charset") << "koi.vcf"
                                 << QByteArray(
                                        "BEGIN:VCARD\r\nFN;CHARSET=KOI8-R;ENCODING=B:wQ==\r\n")
                                 << "2 行目: 文字コード KOI8-R には対応していません";
        QTest::newRow("CSV fields") << "rows.csv" << QByteArray("Group,Name,Addresses\r\n,a\r\n")
                                    << "2 行目: 項目が 2 個あります (3 個必要です)";
        QTest::newRow("Shift_JIS")
            << "sjis.vcf" << QByteArray("BEGIN:VCARD\r\nFN;CHARSET=SJIS:\x81\r\n")
            << "2 行目: Shift_JIS として読めない値があります";
        QTest::newRow("deep groups")
            << "deep.csv"
            << "Group,Name,Addresses\r\n" + QByteArray("g/").repeated(256) + "g,a,b\r\n"
            << "2 行目: グループの階層が 256 段を超えています";
    }
    void malformedContactFileIsReportedWithoutChange() {
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        QFETCH(QString, reason);
        CTellwickApp& app = openWithLog(kBook);
        const QString file = writeFile(name, contents);
        prompter_->openChoices = {file};
        QVERIFY(app.router().execute(ID_LOAD_AT_SELECTION));
        QCOMPARE(prompter_->texts(), QStringList{file + "\nを読み込めません。\n" + reason});
        QCOMPARE(WrittenBook(app.document()), kBook);
        QVERIFY(!app.document().isModified());
    }

    // Into the group an empty list shows; the tree shows the groups read in.
    void readsABookIntoAnEmptyGroup() {
        CTellwickApp& app = openWithLog("GROUP empty\r\nEND GROUP\r\n");
        select("empty");
        list().setFocus();
        prompter_->openChoices = {writeFile("in.tlw", "GROUP N\r\n  n: 1\r\nEND GROUP\r\n")};
        QVERIFY(app.router().execute(ID_LOAD_AT_SELECTION));
        QCOMPARE(
            WrittenBook(app.document()),
            QByteArray("GROUP empty\r\n  GROUP N\r\n    n: 1\r\n  END GROUP\r\nEND GROUP\r\n"));
        QCOMPARE(listNames(), QStringList{"N"});
        QCOMPARE(ChildLabels(item("empty")), QStringList{"N"});
    }

    // An address cut short by its column shows whole in a tooltip; one that fits shows none.
    void cutTextShowsWholeInATooltip() {
        openWithLog("long: " + QByteArray(60, 'x') + "@example.com\r\nshort: s\r\n");
        QVERIFY(QTest::qWaitForWindowExposed(&app_->frame()));
        const auto tipAt = [this](int row) {
            const QPoint at = list().visualRect(list().rows().index(row, 1)).center();
            QHelpEvent help(QEvent::ToolTip, at, list().viewport()->mapToGlobal(at));
            QCoreApplication::sendEvent(list().viewport(), &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QCOMPARE(tipAt(0), QString(QString(60, 'x') + "@example.com "));
        QTRY_VERIFY(tipAt(1).isEmpty());
    }

    void theEditMenuOffersReadingIn() {
        CTellwickApp& app = openWithLog(kBook);
        QMenu* edit = nullptr;
        for (QAction* action : app.frame().menuBar()->actions()) {
            if (action->text() == QStringLiteral("編集(&E)"))
                edit = action->menu();
        }
        QVERIFY(edit);
        QStringList texts;
        for (QAction* action : edit->actions())
            texts << (action->isSeparator() ? "-" : action->text());
        QCOMPARE(texts,
                 (QStringList{"元に戻す(&U)", "やり直し(&R)", "-", "切り取り(&T)", "コピー(&C)",
                              "貼り付け(&P)", "-", "削除", "-", "上へ移動", "下へ移動", "-",
                              "選択位置に読み込み", "-", "ﾌﾟﾛﾊﾟﾃｨ", "-", "検索..."}));
    }
};

QTEST_MAIN(TestListPane)
#include "tst_listpane.moc"
