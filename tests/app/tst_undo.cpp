// Undo and redo in the window: each kind of step, made with the keys, the mouse or the menu,
// undone with Ctrl+Z and redone with Ctrl+Y, gives back the book's bytes, what both panes
// showed, the pane that had the focus, and the modified flag as the last save left it.
#include "framework/StandardCommands.h"
#include "tests/support/PaneFixture.h"
#include "views/Commands.h"

#include <functional>

namespace {

const QByteArray kBook = "GROUP G1\r\n  a: 1\r\n  b: 2\r\nEND GROUP\r\nA1: x\r\nGROUP G2\r\n"
                         "  GROUP inner\r\n  END GROUP\r\n  c: 3\r\nEND GROUP\r\nZ: z\r\n";
const QByteArray kOther = "GROUP loaded\r\n  d: 4\r\nEND GROUP\r\nE: 5\r\n";

// What a person sees of the book and the window.
struct Seen {
    QByteArray book;
    QString treeCurrent;
    QStringList openItems;
    QStringList rows;
    int currentRow = -1;
    QList<int> selectedRows;
    bool listHasFocus = false;
    bool modified = false;
    bool operator==(const Seen&) const = default;
};

QDebug operator<<(QDebug debug, const Seen& seen) {
    return debug << seen.treeCurrent << seen.openItems << seen.rows << seen.currentRow
                 << seen.selectedRows << seen.listHasFocus << seen.modified;
}

} // namespace

class TestUndo : public PaneFixture {
    Q_OBJECT

    Seen seen() {
        Seen seen;
        seen.book = WrittenBook(app_->document());
        seen.treeCurrent = tree().currentItem()->text(0);
        QList<QTreeWidgetItem*> pending{tree().rootItem()};
        while (!pending.isEmpty()) {
            QTreeWidgetItem* item = pending.takeFirst();
            if (item->isExpanded())
                seen.openItems << item->text(0);
            for (int i = 0; i < item->childCount(); ++i)
                pending << item->child(i);
        }
        seen.rows = listNames();
        seen.currentRow = list().currentRow();
        for (const QModelIndex& index : list().selectionModel()->selectedRows())
            seen.selectedRows << index.row();
        std::sort(seen.selectedRows.begin(), seen.selectedRows.end());
        seen.listHasFocus = list().hasFocus();
        seen.modified = app_->document().isModified();
        return seen;
    }

    void press(QKeyCombination keys) {
        app_->router().updateAll(); // as the idle loop has done before the person acts
        QTest::keyClick(QApplication::focusWidget(), keys.key(), keys.keyboardModifiers());
        QCoreApplication::processEvents();
    }

    // The top level in the list, rows 1 and 2 selected with row 1 current (where a drag
    // presses); G2 open in the tree.
    void showTopLevel() {
        item(QStringLiteral("G2"))->setExpanded(true);
        select(QStringLiteral("book.tlw"));
        list().setFocus();
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, rowCenter(2));
        QTest::mouseClick(list().viewport(), Qt::LeftButton, Qt::ShiftModifier, rowCenter(1));
    }
    void selectG2() {
        select(QStringLiteral("G2"));
        tree().setFocus();
    }
    void run(int id) {
        app_->router().updateAll();
        app_->router().action(id)->trigger();
        QCoreApplication::processEvents();
    }

    // One edit of each kind, from the window state its set-up leaves.
    struct Case {
        const char* name;
        void (TestUndo::*setUp)();
        std::function<void(TestUndo&)> edit;
    };
    static const std::vector<Case>& Cases() {
        static const std::vector<Case> cases = {
            {"rename in the list", &TestUndo::showTopLevel,
             [](TestUndo& t) { t.renameTo(t.list(), QStringLiteral("renamed")); }},
            {"rename in the tree", &TestUndo::selectG2,
             [](TestUndo& t) { t.renameTo(t.tree(), QStringLiteral("G2b")); }},
            {"insert", &TestUndo::showTopLevel, [](TestUndo& t) { t.run(ID_INSERT_SEPARATOR); }},
            {"delete in the list", &TestUndo::showTopLevel,
             [](TestUndo& t) { t.press(Qt::Key_Delete); }},
            {"delete a group in the tree", &TestUndo::selectG2,
             [](TestUndo& t) { t.press(Qt::Key_Delete); }},
            {"move down", &TestUndo::showTopLevel, [](TestUndo& t) { t.run(ID_MOVE_DOWN); }},
            {"move a group up", &TestUndo::selectG2, [](TestUndo& t) { t.run(ID_MOVE_UP); }},
            {"properties, OK unchanged", &TestUndo::showTopLevel,
             [](TestUndo& t) { t.run(ID_PROPERTIES); }},
            {"rows dragged onto a group", &TestUndo::showTopLevel,
             [](TestUndo& t) {
                 t.startListDrag(1);
                 t.releaseOver(t.tree().viewport(), t.itemPoint(t.item(QStringLiteral("G1"))));
             }},
            {"a group dragged into another", &TestUndo::selectG2,
             [](TestUndo& t) {
                 t.startTreeDrag(t.item(QStringLiteral("G2")));
                 t.releaseOver(t.tree().viewport(), t.itemPoint(t.item(QStringLiteral("G1"))));
             }},
            {"load at the selection", &TestUndo::showTopLevel,
             [](TestUndo& t) {
                 t.prompter_->openChoices << t.dir_.filePath(QStringLiteral("other.tlw"));
                 t.run(ID_LOAD_AT_SELECTION);
             }},
        };
        return cases;
    }

    void renameTo(QAbstractItemView& view, const QString& name) {
        press(Qt::Key_F2);
        QLineEdit* editor = openEditor(view);
        QVERIFY(editor);
        editor->setText(name);
        press(Qt::Key_Return);
    }

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        writeFile(QStringLiteral("other.tlw"), kOther);
    }
    void cleanup() { closeApp(); }

    void stepsUndoAndRedoWhole_data() {
        QTest::addColumn<int>("index");
        for (std::size_t i = 0; i < Cases().size(); ++i)
            QTest::newRow(Cases()[i].name) << int(i);
    }

    void stepsUndoAndRedoWhole() {
        QFETCH(int, index);
        const Case& step = Cases()[std::size_t(index)];
        open(kBook);
        (this->*step.setUp)();
        const Seen before = seen();
        QVERIFY(!before.modified);
        step.edit(*this);
        const Seen after = seen();
        QVERIFY(after.book != before.book || index == 7);
        QVERIFY(after.modified);
        // A drag's release reaches the frame as a synthetic event, so the platform still
        // counts the button as held and gives no shortcut: those steps go by the menu.
        const bool byMenu = QByteArray(step.name).contains("dragged");
        byMenu ? run(ID_EDIT_UNDO) : press(QKeyCombination(Qt::CTRL, Qt::Key_Z));
        QCOMPARE(seen(), before);
        byMenu ? run(ID_EDIT_REDO) : press(QKeyCombination(Qt::CTRL, Qt::Key_Y));
        QCOMPARE(seen(), after);
        // Saved after the step: undoing it makes the book differ from the file again.
        run(ID_FILE_SAVE);
        byMenu ? run(ID_EDIT_UNDO) : press(QKeyCombination(Qt::ALT, Qt::Key_Backspace));
        QVERIFY(app_->document().isModified());
        QCOMPARE(seen().book, before.book);
    }

    // The pane the step was made in gets the focus back, wherever the user went since.
    void undoGoesBackToThePaneOfTheStep() {
        open(kBook);
        showTopLevel();
        run(ID_INSERT_SEPARATOR);
        tree().setFocus();
        QVERIFY(!list().hasFocus());
        press(QKeyCombination(Qt::CTRL, Qt::Key_Z));
        QVERIFY(list().hasFocus());
    }

    // In an edit box the keys are the box's own: the book is left alone.
    void editBoxesKeepTheirOwnUndo() {
        open(kBook);
        selectG2();
        press(Qt::Key_Delete);
        const QByteArray edited = WrittenBook(app_->document());
        select(QStringLiteral("G1"));
        press(Qt::Key_F2);
        QLineEdit* editor = openEditor(tree());
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("xy"));
        press(QKeyCombination(Qt::ALT, Qt::Key_Backspace));
        QVERIFY(openEditor(tree()) == editor);
        QCOMPARE(editor->text(), QStringLiteral("G1"));
        QCOMPARE(WrittenBook(app_->document()), edited);
    }

    // New and Open forget the steps; the menu item names the step it would undo.
    void historyGoesWithTheBook() {
        open(kBook);
        selectG2();
        press(Qt::Key_Delete);
        QCOMPARE(app_->router().action(ID_EDIT_UNDO)->text(),
                 QStringLiteral("元に戻す - 削除(&U)"));
        QVERIFY(enabled(ID_EDIT_UNDO));
        prompter_->answers << Prompter::Answer::No; // do not save the changes
        run(ID_FILE_NEW);
        QVERIFY(!enabled(ID_EDIT_UNDO));
        QCOMPARE(app_->router().action(ID_EDIT_UNDO)->text(), QStringLiteral("元に戻す(&U)"));
    }
};

QTEST_MAIN(TestUndo)
#include "tst_undo.moc"
