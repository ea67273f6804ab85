// The group tree pane in the real main window: commands by menu router, keys and mouse,
// with every box answered through the scripted prompter.
#include "framework/DocumentManager.h"
#include "framework/StandardCommands.h"
#include "tests/support/PaneFixture.h"
#include "views/Artwork.h"
#include "views/Commands.h"
#include "views/PaneMessages.h"

#include <QLineEdit>

namespace {

const QByteArray kThree = "GROUP G1\r\n  a: 1\r\nEND GROUP\r\nA1: x\r\nGROUP G2\r\n"
                          "  GROUP inner\r\n  END GROUP\r\nEND GROUP\r\n";

} // namespace

class TestTreePane : public PaneFixture {
    Q_OBJECT

private:
    QLineEdit* editor() { return openEditor(tree()); }

private slots:
    void init() { QVERIFY(dir_.isValid()); }

    // The items show their images at the images' own size, neither scaled nor cut.
    void itemImagesShowAtTheirSize() {
        open(kThree);
        QCOMPARE(tree().iconSize(), Artwork::treeImage(Artwork::TreeImage::FolderClosed).size());
    }
    void cleanup() { closeApp(); }

    void theRootItemIsNoGroup() {
        open(kThree);
        QTreeWidgetItem* root = tree().rootItem();
        select(root->text(0));
        for (int id : {ID_DELETE, ID_PROPERTIES, ID_MOVE_UP, ID_MOVE_DOWN, ID_INSERT_GROUP,
                       ID_INSERT_ADDRESS, ID_INSERT_SEPARATOR, ID_LOAD_AT_SELECTION})
            QVERIFY2(!enabled(id), qPrintable(QString::number(id)));
        QTest::keyClick(&tree(), Qt::Key_F2);
        QVERIFY(!editor());
        // Right-clicking it selects it and shows no menu.
        select("G1");
        const QPoint at = tree().visualItemRect(root).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, tree().viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(tree().viewport(), &click);
        QCOMPARE(tree().currentItem(), root);
        QVERIFY(prompter_->menusShown.isEmpty());
        select("G1");
        QVERIFY(enabled(ID_DELETE) && enabled(ID_PROPERTIES) && enabled(ID_MOVE_UP));
        QVERIFY(!enabled(ID_INSERT_GROUP));
    }

    void groupItemsShowTheGroupIcon() {
        open(kThree);
        QVERIFY(!tree().rootItem()->icon(0).isNull()); // the book's own image
        for (const char* label : {"G1", "G2", "inner"})
            QVERIFY2(!item(label)->icon(0).isNull(), label);
        drag(item("G1"), item("G2")); // the moved item is made anew
        QVERIFY(!item("G1")->icon(0).isNull());
        select("G1"); // and still shows the group's entries
        QCOMPARE(listNames(), QStringList{"a"});
    }

    void renamesInPlace_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("new name") << "家族" << QByteArray("GROUP \x89\xc6\x91\xb0\r\n");
        QTest::newRow("empty name") << "" << QByteArray("GROUP \r\n");
    }
    void renamesInPlace() {
        QFETCH(QString, typed);
        QFETCH(QByteArray, saved);
        CTellwickApp& app = open(kThree);
        select("G1");
        QTest::keyClick(&tree(), Qt::Key_F2);
        QTRY_VERIFY(editor());
        QLineEdit* editor = this->editor();
        editor->selectAll();
        if (typed.isEmpty())
            QTest::keyClick(editor, Qt::Key_Backspace);
        else
            editor->insert(typed);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(app.document().isModified()); // the editor commits from the event loop
        QCOMPARE(tree().currentItem()->text(0), typed);
        QVERIFY(enabled(ID_FILE_SAVE));
        QVERIFY(app.router().execute(ID_FILE_SAVE));
        QFile file(app.document().pathName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), saved + kThree.mid(kThree.indexOf('\n') + 1));
        // Read back, the group has the name given.
        QVERIFY(app.documents().openDocumentFile(app.document().pathName()));
        QCOMPARE(tree().rootItem()->child(0)->text(0), typed);
    }

    void refusesANameTheBookCannotHold() {
        CTellwickApp& app = open(kThree);
        select("G1");
        QTest::keyClick(&tree(), Qt::Key_F2);
        QTRY_VERIFY(editor());
        QLineEdit* editor = this->editor();
        editor->setText(QStringLiteral("G\U0001F600"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(prompter_->shown.size(), 1);
        QVERIFY(prompter_->shown[0].text.contains(QStringLiteral("\U0001F600")));
        QCOMPARE(WrittenBook(app.document()), kThree);
        QVERIFY(!app.document().isModified());
        QCOMPARE(tree().currentItem()->text(0), QStringLiteral("G1"));
        // The editor is back with the text as typed; a blank before the name is refused too.
        QTRY_VERIFY(this->editor());
        QCOMPARE(this->editor()->text(), QStringLiteral("G\U0001F600"));
        this->editor()->setText(QStringLiteral(" G"));
        QTest::keyClick(this->editor(), Qt::Key_Return);
        QTRY_COMPARE(prompter_->shown.size(), 2);
        QVERIFY(prompter_->shown[1].text.contains(QStringLiteral("空白")));
        QCOMPARE(WrittenBook(app.document()), kThree);
    }

    // A right press on empty space changes nothing: the root item stays selected.
    void aRightPressOnEmptySpaceChangesNothing() {
        open(kThree);
        const QPoint empty(5, tree().viewport()->height() - 3);
        QVERIFY(!tree().itemAt(empty));
        QTest::mousePress(tree().viewport(), Qt::RightButton, {}, empty);
        QTest::mouseRelease(tree().viewport(), Qt::RightButton, {}, empty);
        QCOMPARE(tree().currentItem(), tree().rootItem());
        QVERIFY(tree().rootItem()->isSelected());
    }

    // Addresses between the two groups keep their place; the moved group stays selected.
    void movesGroupsPastOtherEntries() {
        CTellwickApp& app = open(kThree);
        select("G2");
        QVERIFY(app.router().execute(ID_MOVE_UP));
        QCOMPARE(WrittenBook(app.document()),
                 QByteArray("GROUP G2\r\n  GROUP inner\r\n  END GROUP\r\nEND GROUP\r\nA1: x\r\n"
                            "GROUP G1\r\n  a: 1\r\nEND GROUP\r\n"));
        QCOMPARE(ChildLabels(tree().rootItem()), (QStringList{"G2", "G1"}));
        QCOMPARE(tree().currentItem()->text(0), QStringLiteral("G2"));
        QCOMPARE(CTlwTreeView::entryOf(tree().currentItem()), app.document().tree.first);
        QCOMPARE(ChildLabels(tree().currentItem()), QStringList{"inner"});
        QTRY_COMPARE(listNames(), QStringList{"inner"});
        QVERIFY(app.document().isModified());

        QVERIFY(app.router().execute(ID_MOVE_DOWN));
        QCOMPARE(WrittenBook(app.document()), kThree);
        QCOMPARE(tree().currentItem()->text(0), QStringLiteral("G2"));
        QCOMPARE(CTlwTreeView::entryOf(item("G1")), app.document().tree.first);
        QCOMPARE(prompter_->beeps, 0);
    }

    void beepsAtTheEnds() {
        CTellwickApp& app = open(kThree);
        select("G1");
        QVERIFY(app.router().execute(ID_MOVE_UP));
        select("G2");
        QVERIFY(app.router().execute(ID_MOVE_DOWN));
        QCOMPARE(prompter_->beeps, 2);
        QCOMPARE(WrittenBook(app.document()), kThree);
        QVERIFY(!app.document().isModified());
    }

    void deletesAfterTheQuestion() {
        CTellwickApp& app = open(kThree);
        select("G2");
        prompter_->answers = {Prompter::Answer::No};
        QVERIFY(app.router().execute(ID_DELETE));
        QCOMPARE(prompter_->shown[0].caption, QStringLiteral("グループの削除"));
        QCOMPARE(prompter_->shown[0].text,
                 QStringLiteral("[G2]\nこのグループ以下すべての項目を削除します\nよろしいですか"));
        QCOMPARE(WrittenBook(app.document()), kThree);

        // Yes, through the context menu: the list follows the newly selected item.
        prompter_->answers = {Prompter::Answer::Yes};
        prompter_->menuChoice = QStringLiteral("削除");
        const QPoint at = tree().visualItemRect(item("G2")).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, tree().viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(tree().viewport(), &click);
        QCOMPARE(prompter_->menusShown, (QList<QStringList>{{"切り取り", "コピー", "貼り付け", "",
                                                             "削除", "", "ﾌﾟﾛﾊﾟﾃｨ"}}));
        QCOMPARE(WrittenBook(app.document()),
                 QByteArray("GROUP G1\r\n  a: 1\r\nEND GROUP\r\nA1: x\r\n"));
        QVERIFY(!item("G2") && !item("inner"));
        QVERIFY(app.document().isModified());
        QCoreApplication::processEvents();
        const EntryNode* shown = CTlwTreeView::entryOf(tree().currentItem());
        QCOMPARE(listNames().size(),
                 shown ? 1 : 2); // G1 holds one address; the top level holds G1 and A1
    }

    void editsInTheGroupDialog_data() {
        QTest::addColumn<bool>("ok");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }
    void editsInTheGroupDialog() {
        QFETCH(bool, ok);
        CTellwickApp& app = open(kThree);
        select("G2");
        select("G1");
        prompter_->dialogScript = [ok](QDialog& dialog) {
            dialog.findChild<QLineEdit*>("nameEdit")->setText(QStringLiteral(" renamed "));
            return ok ? QDialog::Accepted : QDialog::Rejected;
        };
        QVERIFY(app.router().execute(ID_PROPERTIES));
        QCOMPARE(prompter_->dialogsRun, QStringList{"groupDialog"});
        QCOMPARE(tree().currentItem()->text(0), ok ? QStringLiteral(" renamed ") : "G1");
        QCOMPARE(std::string(app.document().tree.first->Name()),
                 ok ? std::string(" renamed ") : "G1");
        QCOMPARE(app.document().isModified(), ok);
        QCOMPARE(listNames(), QStringList{"a"}); // told to show the group either way
    }

    // Starts dragging source and moves the mouse through the frame, which holds it, to target.
    void startDrag(QTreeWidgetItem* source, QTreeWidgetItem* target) {
        startTreeDrag(source);
        sendToFrame(QEvent::MouseMove, tree().visualItemRect(target).center());
    }
    void sendToFrame(QEvent::Type type, const QPoint& inViewport) {
        PaneFixture::sendToFrame(type, tree().viewport(), inViewport);
    }
    void drag(QTreeWidgetItem* source, QTreeWidgetItem* target) {
        const QPoint at = tree().visualItemRect(target).center();
        startDrag(source, target);
        sendToFrame(QEvent::MouseButtonRelease, at);
        verifyDragEnded();
    }

    void dropsAGroupOnAGroup() {
        CTellwickApp& app = open(kThree);
        drag(item("G1"), item("G2"));
        QCOMPARE(WrittenBook(app.document()),
                 QByteArray("A1: x\r\nGROUP G2\r\n  GROUP G1\r\n    a: 1\r\n  END GROUP\r\n"
                            "  GROUP inner\r\n  END GROUP\r\nEND GROUP\r\n"));
        QCOMPARE(ChildLabels(item("G2")), (QStringList{"G1", "inner"}));
        QVERIFY(app.document().isModified());
    }

    void dropsThatWouldLoopOrChangeNothingMoveNothing_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::newRow("on itself") << "G2"
                                   << "G2";
        QTest::newRow("on its own descendant") << "G2"
                                               << "inner";
        QTest::newRow("on its parent") << "inner"
                                       << "G2";
        QTest::newRow("top-level group on the root item") << "G1"
                                                          << "book.tlw";
    }
    void dropsThatWouldLoopOrChangeNothingMoveNothing() {
        QFETCH(QString, source);
        QFETCH(QString, target);
        CTellwickApp& app = open(kThree);
        item("G2")->setExpanded(true);
        drag(item(source), item(target));
        QCOMPARE(WrittenBook(app.document()), kThree);
        QVERIFY(!app.document().isModified());
    }

    void aNestedGroupDroppedOnTheRootComesFirst() {
        CTellwickApp& app = open(kThree);
        item("G2")->setExpanded(true);
        drag(item("inner"), tree().rootItem());
        QCOMPARE(WrittenBook(app.document()),
                 QByteArray("GROUP inner\r\nEND GROUP\r\nGROUP G1\r\n  a: 1\r\nEND GROUP\r\n"
                            "A1: x\r\nGROUP G2\r\nEND GROUP\r\n"));
        QCOMPARE(ChildLabels(tree().rootItem()), (QStringList{"inner", "G1", "G2"}));
        QVERIFY(!item("G2")->isExpanded()); // left without groups, it shows closed
    }

    void escapeCancelsADrag() {
        CTellwickApp& app = open(kThree);
        startDrag(item("G1"), item("G2"));
        QVERIFY(item("G2")->background(0) != QBrush()); // the drop target is highlighted
        // Shortcuts wait: a new book now would free the group being dragged.
        QTest::keyClick(&tree(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(WrittenBook(app.document()), kThree);
        QVERIFY(app.document().dragging);
        QTest::keyClick(&tree(), Qt::Key_Escape);
        QVERIFY(!app.document().dragging && app.document().dragList.empty());
        QVERIFY(!app.document().dragImage);
        QVERIFY(!QWidget::mouseGrabber());
        QCOMPARE(item("G2")->background(0), QBrush());
        sendToFrame(QEvent::MouseButtonRelease, tree().visualItemRect(item("G2")).center());
        QCOMPARE(WrittenBook(app.document()), kThree);
    }

    // Switching to another window ends the drag where it is; nothing is dropped.
    void leavingTheWindowCancelsADrag() {
        CTellwickApp& app = open(kThree);
        startDrag(item("G1"), item("G2"));
        QEvent deactivate(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(&app.frame(), &deactivate);
        verifyDragEnded();
        QCOMPARE(item("G2")->background(0), QBrush());
        sendToFrame(QEvent::MouseButtonRelease, tree().visualItemRect(item("G2")).center());
        QCOMPARE(WrittenBook(app.document()), kThree);
    }

    // The highlighted target's item goes while the drag lasts (a message from the list):
    // the release drops nothing and touches no freed item.
    void aDropTargetDeletedDuringTheDragIsForgotten() {
        CTellwickApp& app = open(kThree);
        startDrag(item("G1"), item("G2"));
        const QPoint where = tree().visualItemRect(item("G2")).center();
        PaneMessageEvent gone(UM_DELETEGROUP, CTlwTreeView::entryOf(item("G2")));
        QCoreApplication::sendEvent(&app.frame(), &gone);
        sendToFrame(QEvent::MouseButtonRelease, where);
        QVERIFY(!app.document().dragging);
        QCOMPARE(WrittenBook(app.document()), kThree);
    }

    void guardsMoveMessagesIntoTheMovedSubtree() {
        CTellwickApp& app = open(kThree);
        EntryNode* g2 = app.document().tree.first->next->next;
        GroupMoveRequest request;
        request.moved = g2;
        request.anchor = g2->firstChild;
        for (int message : {UM_MOVEGROUPINTO, UM_MOVEGROUPAFTER}) {
            PaneMessageEvent event(message, request);
            QCoreApplication::sendEvent(&app.frame(), &event);
        }
        QCOMPARE(ChildLabels(tree().rootItem()), (QStringList{"G1", "G2"}));
        QCOMPARE(ChildLabels(item("G2")), QStringList{"inner"});
    }

    // A book nested 100,000 deep expands with "*" (as deep as the view can lay out), moves
    // and deletes without recursion.
    void deepBooksStayWithinTheStack() {
        QByteArray deep = "GROUP first\r\nEND GROUP\r\nGROUP top\r\n";
        for (int i = 0; i < 100000; ++i)
            deep += "GROUP g\r\n";
        CTellwickApp& app = open(deep);
        select("top");
        QTest::keyClick(&tree(), Qt::Key_Asterisk);
        QTreeWidgetItem* level = item("top");
        for (int depth = 0; depth < 900; ++depth, level = level->child(0))
            QVERIFY(level->isExpanded());
        QVERIFY(app.router().execute(ID_MOVE_UP));
        QCOMPARE(ChildLabels(tree().rootItem()), (QStringList{"top", "first"}));
        prompter_->answers = {Prompter::Answer::Yes};
        QVERIFY(app.router().execute(ID_DELETE));
        QCOMPARE(ChildLabels(tree().rootItem()), QStringList{"first"});
    }
};

QTEST_MAIN(TestTreePane)
#include "tst_treepane.moc"
