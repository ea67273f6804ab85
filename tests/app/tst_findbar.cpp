// The find bar in the real window, driven by keys and input-method events as a person would.
#include "app/BookFinder.h"
#include "app/FindBar.h"
#include "framework/Cp932.h"
#include "framework/DocumentManager.h"
#include "framework/StandardCommands.h"
#include "tests/support/PaneFixture.h"
#include "views/Commands.h"

#include <QInputMethodEvent>
#include <QLabel>
#include <QStatusBar>

namespace {

QByteArray Cp932Book(const char* utf8) {
    return QByteArray::fromStdString(Utf8ToCp932(utf8).value());
}

// "ヤマダ" matches three entries: one three groups down, a group by its name, and one at the
// top level, in that order.
const QByteArray kBook = Cp932Book("GROUP 家族\r\n"
                                   "  GROUP 親戚\r\n"
                                   "    GROUP 遠い親戚\r\n"
                                   "      佐藤: sato@example.jp\r\n"
                                   "      ﾔﾏﾀﾞ ﾀﾛｳ: TARO@EXAMPLE.JP\r\n"
                                   "    END GROUP\r\n"
                                   "  END GROUP\r\n"
                                   "  山田 花子: hanako@example.jp\r\n"
                                   "END GROUP\r\n"
                                   "GROUP ヤマダ会\r\n"
                                   "  会員: member@example.jp\r\n"
                                   "END GROUP\r\n"
                                   "SEPARATOR\r\n"
                                   "Ｓｕｚｕｋｉ: suzuki@example.jp\r\n"
                                   "やまだ商店: shop@example.jp\r\n");

const QString kDeepTaro = QStringLiteral("ﾔﾏﾀﾞ ﾀﾛｳ");

} // namespace

class TestFindBar : public PaneFixture {
    Q_OBJECT

    FindBar& bar() { return app_->finder().bar(); }
    QLineEdit& textBox() { return *bar().findChild<QLineEdit*>(QStringLiteral("findText")); }
    QString count() { return bar().findChild<QLabel*>(QStringLiteral("findCount"))->text(); }
    QString treeLabel() { return tree().currentItem() ? tree().currentItem()->text(0) : QString(); }
    QString listCurrentName() {
        return list().currentRow() < 0 ? QString() : listNames().value(list().currentRow());
    }
    bool listRowSelected(int row) {
        return list().selectionModel()->isRowSelected(row, QModelIndex());
    }

    void pressCtrlF() { QTest::keyClick(&app_->frame(), Qt::Key_F, Qt::ControlModifier); }
    // Text as an input method hands it over: committed at once.
    void commit(const QString& text) {
        QInputMethodEvent event;
        event.setCommitString(text);
        QCoreApplication::sendEvent(&textBox(), &event);
    }
    void find(const QString& text) {
        pressCtrlF();
        QVERIFY(bar().isVisible());
        QCOMPARE(QApplication::focusWidget(), &textBox());
        if (textBox().hasSelectedText()) // the text of the last time goes
            QTest::keyClick(&textBox(), Qt::Key_Backspace);
        commit(text);
    }
    // Waits until the list shows the found entry as its current, selected row.
    void expectFound(const QString& group, const QString& name, const QString& counted) {
        QTRY_COMPARE(listCurrentName(), name);
        QVERIFY(listRowSelected(list().currentRow()));
        QCOMPARE(treeLabel(), group);
        QCOMPARE(count(), counted);
    }

private slots:
    void init() { open(kBook); }
    void cleanup() { closeApp(); }

    // Each folding rule finds the entry written the other way, with its path expanded.
    void typedTextFindsTheEntryAsJapaneseReadersSeeIt_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("name");
        QTest::newRow("katakana for half-width") << "ヤマダ　タロウ"
                                                 << "遠い親戚" << kDeepTaro;
        QTest::newRow("hiragana for half-width") << "やまだ たろう"
                                                 << "遠い親戚" << kDeepTaro;
        QTest::newRow("small letters for capitals") << "taro@"
                                                    << "遠い親戚" << kDeepTaro;
        QTest::newRow("ASCII for full-width letters") << "SUZUKI"
                                                      << ""
                                                      << "Ｓｕｚｕｋｉ";
        QTest::newRow("an address") << "HANAKO@"
                                    << "家族"
                                    << "山田 花子";
    }
    void typedTextFindsTheEntryAsJapaneseReadersSeeIt() {
        QFETCH(QString, typed);
        QFETCH(QString, group);
        QFETCH(QString, name);
        find(typed);
        expectFound(group.isEmpty() ? tree().rootItem()->text(0) : group, name,
                    QStringLiteral("1 / 1"));
        for (QTreeWidgetItem* up = tree().currentItem(); up; up = up->parent())
            QVERIFY(up->isExpanded() || up == tree().currentItem());
        QCOMPARE(WrittenBook(app_->document()), kBook);
    }

    // Enter and F3 walk forward, Shift with either backward, wrapping at both ends; a group
    // found by its name is selected in the tree and its row in its parent's list.
    void enterWalksEveryMatchAndWraps() {
        find(QStringLiteral("ヤマダ"));
        expectFound("遠い親戚", kDeepTaro, "1 / 3");
        QTest::keyClick(&textBox(), Qt::Key_Return);
        QTRY_COMPARE(listCurrentName(), QStringLiteral("ヤマダ会"));
        QCOMPARE(treeLabel(), QStringLiteral("ヤマダ会"));
        QCOMPARE(count(), QStringLiteral("2 / 3"));
        QCOMPARE(list().shownGroup(), nullptr); // the group's row, in the top level
        QTest::keyClick(&textBox(), Qt::Key_F3);
        expectFound(tree().rootItem()->text(0), "やまだ商店", "3 / 3");
        QCOMPARE(app_->frame().statusBar()->currentMessage(), QString());
        QTest::keyClick(&textBox(), Qt::Key_Enter);
        expectFound("遠い親戚", kDeepTaro, "1 / 3");
        QVERIFY(app_->frame().statusBar()->currentMessage().contains("先頭から"));
        QTest::keyClick(&textBox(), Qt::Key_Return, Qt::ShiftModifier);
        expectFound(tree().rootItem()->text(0), "やまだ商店", "3 / 3");
        QVERIFY(app_->frame().statusBar()->currentMessage().contains("末尾から"));
        QTest::keyClick(&textBox(), Qt::Key_F3, Qt::ShiftModifier);
        QTRY_COMPARE(count(), QStringLiteral("2 / 3"));
        QTest::mouseClick(bar().findChild<QWidget*>(QStringLiteral("findNext")), Qt::LeftButton);
        QTRY_COMPARE(listCurrentName(), QStringLiteral("やまだ商店"));
        QTest::mouseClick(bar().findChild<QWidget*>(QStringLiteral("findPrevious")),
                          Qt::LeftButton);
        QTRY_COMPARE(listCurrentName(), QStringLiteral("ヤマダ会"));
        QVERIFY(!app_->document().isModified());
        QCOMPARE(WrittenBook(app_->document()), kBook);
    }

    void textFoundNowhereTurnsTheBoxRed() {
        const QColor normal = textBox().palette().color(QPalette::Base);
        find(QStringLiteral("ヤマダX"));
        QCOMPARE(count(), QStringLiteral("0 / 0"));
        QVERIFY(textBox().palette().color(QPalette::Base) != normal);
        QTest::keyClick(&textBox(), Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(treeLabel(), tree().rootItem()->text(0)); // nothing moved
        QTest::keyClick(&textBox(), Qt::Key_Backspace);
        QCOMPARE(count(), QStringLiteral("1 / 3"));
        QCOMPARE(textBox().palette().color(QPalette::Base), normal);
    }

    // Escape leaves the focus where the next key acts on what was found.
    void escapeHandsTheFoundRowItsPane() {
        find(QStringLiteral("ｻﾄｳ"));
        QCOMPARE(count(), QStringLiteral("0 / 0")); // 佐藤 is written in kanji
        QTest::keyClick(&textBox(), Qt::Key_Escape);
        QVERIFY(!bar().isVisible());
        QCOMPARE(QApplication::focusWidget(), &tree()); // back where it was

        find(QStringLiteral("SATO@"));
        expectFound("遠い親戚", "佐藤", "1 / 1");
        QTest::keyClick(&textBox(), Qt::Key_Escape);
        QVERIFY(!bar().isVisible());
        QCOMPARE(QApplication::focusWidget(), &list());
        prompter_->answers = {Prompter::Answer::Yes};
        QTest::keyClick(&list(), Qt::Key_Delete);
        QCOMPARE(listNames(), QStringList{kDeepTaro});

        find(QStringLiteral("会"));
        QTRY_COMPARE(listCurrentName(), QStringLiteral("ヤマダ会"));
        QTest::keyClick(&textBox(), Qt::Key_Escape);
        QCOMPARE(QApplication::focusWidget(), &tree());
        QCOMPARE(treeLabel(), QStringLiteral("ヤマダ会"));
    }

    // The count and the current match follow the book when a match is deleted under them.
    void deletingAMatchWhileTheBarIsOpen() {
        find(QStringLiteral("ヤマダ"));
        expectFound("遠い親戚", kDeepTaro, "1 / 3");
        // The current match itself goes, through the list.
        prompter_->answers = {Prompter::Answer::Yes};
        QTest::keyClick(&list(), Qt::Key_Delete);
        QTRY_COMPARE(count(), QStringLiteral("- / 2"));
        QTest::keyClick(&textBox(), Qt::Key_F3);
        QTRY_COMPARE(listCurrentName(), QStringLiteral("ヤマダ会"));
        QCOMPARE(count(), QStringLiteral("1 / 2"));
        // A group holding matches goes, through the tree.
        tree().setCurrentItem(item("家族"));
        QCoreApplication::processEvents();
        prompter_->answers = {Prompter::Answer::Yes};
        tree().setFocus();
        app_->router().execute(ID_DELETE);
        QTRY_COMPARE(count(), QStringLiteral("1 / 2"));
        QTest::keyClick(&textBox(), Qt::Key_Return);
        expectFound(tree().rootItem()->text(0), "やまだ商店", "2 / 2");
    }

    // The folded copy goes with the bar, and edits made after it closed do not fold the
    // book again.
    void aClosedBarHoldsNoCopyOfTheBook() {
        find(QStringLiteral("ヤマダ"));
        QVERIFY(app_->finder().holdsFoldedBook());
        QTest::keyClick(&textBox(), Qt::Key_Escape);
        QVERIFY(!app_->finder().holdsFoldedBook());
        prompter_->answers = {Prompter::Answer::Yes};
        list().setFocus();
        app_->router().updateAll();
        QVERIFY(app_->router().execute(ID_INSERT_SEPARATOR));
        QVERIFY(app_->document().isModified());
        QVERIFY(!app_->finder().holdsFoldedBook());
    }

    void replacingTheBookWhileTheBarIsOpen() {
        find(QStringLiteral("ヤマダ"));
        expectFound("遠い親戚", kDeepTaro, "1 / 3");
        const QString other = writeFile(QStringLiteral("other.tlw"),
                                        Cp932Book("GROUP 新\r\n  ﾔﾏﾀﾞ: x\r\nEND GROUP\r\n"));
        QVERIFY(app_->documents().openDocumentFile(other));
        QTRY_COMPARE(count(), QStringLiteral("- / 1"));
        QTest::keyClick(&textBox(), Qt::Key_Return);
        expectFound("新", "ﾔﾏﾀﾞ", "1 / 1");
        app_->router().execute(ID_FILE_NEW);
        QTRY_COMPARE(count(), QStringLiteral("0 / 0"));
        QTest::keyClick(&textBox(), Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(list().rows().rowCount(), 0);
    }

    // The list's part of going to a match comes from the event loop; a book replaced before
    // then leaves nothing for it to show.
    void aBookReplacedWhileAMatchIsOnItsWay() {
        find(QStringLiteral("ヤマダ"));
        app_->router().execute(ID_FILE_NEW);
        QTRY_COMPARE(count(), QStringLiteral("0 / 0"));
        QCOMPARE(list().rows().rowCount(), 0);
        QCOMPARE(list().currentRow(), -1);
    }

    // Deeper than the tree pane expands, the match's group is still current in the tree and
    // its row in the list.
    void aMatchBelowTheDeepestLevelShown() {
        closeApp();
        const int depth = 1500;
        open(QByteArray("GROUP g\r\n").repeated(depth) + "needle: x\r\n");
        find(QStringLiteral("NEEDLE"));
        QTRY_COMPARE(listCurrentName(), QStringLiteral("needle"));
        int levels = 0;
        for (const EntryNode* group = list().shownGroup(); group; group = group->parent)
            ++levels;
        QCOMPARE(levels, depth);
        QCOMPARE(CTlwTreeView::entryOf(tree().currentItem()), list().shownGroup());
        QTest::keyClick(&textBox(), Qt::Key_Escape);
        QCOMPARE(QApplication::focusWidget(), &list());
    }

    // A book larger than a step of folding is folded between events: the bar opens at once,
    // text typed before the end is looked for in the whole book, and an edit made between
    // two steps is counted (the fold starts again: what it was to walk next may be gone).
    void aLargeBookIsFoldedBetweenEvents() {
        closeApp();
        QByteArray book = "GROUP g\r\n";
        for (int i = 0; i < 70000; ++i)
            book += "  n" + QByteArray::number(i) + ": x\r\n";
        open(book + "END GROUP\r\nlast: x\r\n");
        find(QStringLiteral("LAST"));
        QCOMPARE(count(), QStringLiteral("1 / 1"));
        QTest::keyClick(&textBox(), Qt::Key_Escape);
        pressCtrlF();
        QVERIFY(count().isEmpty()); // still counting
        QCoreApplication::processEvents();
        QVERIFY(count().isEmpty());
        CTellwickDoc& document = app_->document();
        {
            const auto step = document.edits.beginStep(QStringLiteral("名前の変更"));
            document.edits.setName(document.tree.first->firstChild, "last too");
        }
        QTRY_COMPARE(count(), QStringLiteral("2 / 2"));
        QTest::keyClick(&textBox(), Qt::Key_Escape);
        pressCtrlF();
        QCoreApplication::processEvents();
        prompter_->answers = {Prompter::Answer::No}; // the changes go with the book
        app_->router().execute(ID_FILE_NEW);
        QTRY_COMPARE(count(), QStringLiteral("0 / 0"));
    }

    // Text typed faster than the window handles its events: the row found last is selected
    // once the tree has shown its group, even when an earlier keystroke's part is still
    // queued ahead of the tree's.
    void typingFasterThanTheWindowAnswers() {
        find(QStringLiteral("ヤマダ"));
        expectFound("遠い親戚", kDeepTaro, "1 / 3");
        commit(QStringLiteral(" ﾀ")); // the same match, in the group the tree shows
        textBox().selectAll();
        commit(QStringLiteral("商店")); // a match at the top level
        expectFound(tree().rootItem()->text(0), "やまだ商店", "1 / 1");
    }

    // Typing through an input method finds nothing until the text is committed.
    void preEditTextDoesNotSearch() {
        pressCtrlF();
        QList<QInputMethodEvent::Attribute> attributes;
        QInputMethodEvent preEdit(QStringLiteral("やまだ"), attributes);
        QCoreApplication::sendEvent(&textBox(), &preEdit);
        QCoreApplication::processEvents();
        QCOMPARE(count(), QStringLiteral("0 / 0"));
        QCOMPARE(list().currentRow(), -1);
        commit(QStringLiteral("やまだ"));
        expectFound("遠い親戚", kDeepTaro, "1 / 3");
    }

    // The menu item opens the bar too; a second Ctrl+F selects the text to type over.
    void menuItemAndCtrlFOpenTheBar() {
        QVERIFY(!bar().isVisible());
        app_->router().action(ID_FIND)->trigger();
        QVERIFY(bar().isVisible());
        commit(QStringLiteral("suzuki"));
        list().setFocus();
        pressCtrlF();
        QCOMPARE(QApplication::focusWidget(), &textBox());
        QCOMPARE(textBox().selectedText(), QStringLiteral("suzuki"));
        CMainFrame& frame = app_->frame();
        QVERIFY(bar().mapTo(&frame, QPoint(0, 0)).y() >=
                tree().mapTo(&frame, tree().rect().bottomLeft()).y());
        QVERIFY(bar().mapTo(&frame, bar().rect().bottomLeft()).y() < frame.statusBar()->y());
    }
};

QTEST_MAIN(TestFindBar)
#include "tst_findbar.moc"
