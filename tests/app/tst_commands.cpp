// Commands as people reach them: menus, toolbar buttons and keys of the real window, their
// prompts in the status bar, and which pane answers.
#include "framework/StandardCommands.h"
#include "tests/support/PaneFixture.h"
#include "views/Commands.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>

namespace {

const QByteArray kBook = "GROUP G1\r\n  a: 1\r\nEND GROUP\r\nA1: x\r\nGROUP G2\r\n"
                         "  GROUP inner\r\n  END GROUP\r\nEND GROUP\r\n";

QStringList MenuTexts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions()) {
        if (!action->isVisible())
            continue;
        QString text = action->isSeparator() ? QStringLiteral("-") : action->text();
        if (!action->shortcut().isEmpty())
            text += '\t' + action->shortcut().toString();
        texts << text;
    }
    return texts;
}

} // namespace

class TestCommands : public PaneFixture {
    Q_OBJECT

private:
    QAction* action(int id) { return app_->router().action(id); }
    QLabel* messagePane() { return app_->frame().findChild<QLabel*>("messagePane"); }
    QMenu* menu(int index) { return app_->frame().menuBar()->actions().at(index)->menu(); }
    QToolButton* button(int id) {
        return qobject_cast<QToolButton*>(app_->frame().toolBar()->widgetForAction(action(id)));
    }
    QLineEdit* openEditorInList(int row) {
        list().setFocus();
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {},
                          list().visualRect(list().rows().index(row, 0)).center());
        QTest::keyClick(list().viewport(), Qt::Key_F2);
        return openEditor(list());
    }

private slots:
    void init() { QVERIFY(dir_.isValid()); }
    void cleanup() { closeApp(); }

    // Save As from the File menu writes the book to a new file, which the window then shows.
    void saveAsFromTheMenuWritesANewFile() {
        open(kBook);
        const QString copy = dir_.filePath(QStringLiteral("copy.tlw"));
        prompter_->saveChoices << copy;
        menu(0)->actions().at(3)->trigger();
        QFile written(copy);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), kBook);
        QCOMPARE(app_->document().title(), QStringLiteral("copy.tlw"));
    }

    void menusReadAsListed() {
        open(kBook);
        QStringList file = MenuTexts(menu(0));
        QVERIFY(file.size() > 8 && file[8].startsWith("&1 ") && file[8].endsWith("book.tlw"));
        file[8] = QStringLiteral("(the book just opened)");
        QCOMPARE(file, (QStringList{"新規作成(&N)\tCtrl+N", "開く(&O)...\tCtrl+O",
                                    "保存(&S)\tCtrl+S", "名前を付けて保存(&A)...", "-",
                                    "印刷(&P)...\tCtrl+P", "印刷ﾌﾟﾚﾋﾞｭｰ(&V)", "-",
                                    "(the book just opened)", "-", "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"}));
        QCOMPARE(MenuTexts(menu(1)),
                 (QStringList{"元に戻す(&U)\tCtrl+Z", "やり直し(&R)\tCtrl+Y", "-",
                              "切り取り(&T)\tCtrl+X", "コピー(&C)\tCtrl+C", "貼り付け(&P)\tCtrl+V",
                              "-", "削除", "-", "上へ移動", "下へ移動", "-", "選択位置に読み込み",
                              "-", "ﾌﾟﾛﾊﾟﾃｨ", "-", "検索...\tCtrl+F"}));
        QCOMPARE(MenuTexts(menu(2)), (QStringList{"ﾂｰﾙ ﾊﾞｰ(&T)", "ｽﾃｰﾀｽ ﾊﾞｰ(&S)"}));
        QCOMPARE(MenuTexts(menu(3)),
                 (QStringList{"アドレスの挿入", "グループの挿入", "セパレータの挿入"}));
        QCOMPARE(MenuTexts(menu(4)), QStringList{"ﾊﾞｰｼﾞｮﾝ情報(Tellwick) (&A)..."});
        QStringList titles;
        for (QAction* top : app_->frame().menuBar()->actions())
            titles << top->text();
        QCOMPARE(titles, (QStringList{"ﾌｧｲﾙ(&F)", "編集(&E)", "表示(&V)", "挿入(&I)", "ﾍﾙﾌﾟ(&H)"}));
    }

    void promptsAndTooltips() {
        open(kBook);
        QCOMPARE(messagePane()->text(), QStringLiteral("ﾚﾃﾞｨ"));
        QCOMPARE(action(ID_PROPERTIES)->toolTip(), QStringLiteral("ﾌﾟﾛﾊﾟﾃｨ"));
        QCOMPARE(action(ID_INSERT_ADDRESS)->toolTip(), QStringLiteral("アドレス追加"));
        QCOMPARE(action(ID_FILE_OPEN)->statusTip(), QStringLiteral("既存のﾌｧｲﾙを開く"));
        // A highlighted item shows its prompt where "ﾚﾃﾞｨ" stands, and gives it back.
        QMenuBar* bar = app_->frame().menuBar();
        bar->setActiveAction(bar->actions().at(0));
        menu(0)->setActiveAction(action(ID_FILE_OPEN));
        QCOMPARE(messagePane()->text(), QStringLiteral("既存のﾌｧｲﾙを開く"));
        QVERIFY(app_->frame().statusBar()->currentMessage().isEmpty());
        QStatusTipEvent none{QString()};
        QCoreApplication::sendEvent(bar, &none);
        QCOMPARE(messagePane()->text(), QStringLiteral("ﾚﾃﾞｨ"));
        menu(0)->hide();
    }

    // The inserts follow the active pane, on the menu and the toolbar alike.
    // A menu about to open shows its items as the commands stand now, without waiting for
    // the event loop to go idle.
    void aMenuOpeningUpdatesItsItems() {
        open(kBook);
        list().setFocus();
        app_->router().updateAll();
        QVERIFY(!action(ID_DELETE)->isEnabled()); // no current row yet
        list().selectionModel()->setCurrentIndex(list().rows().index(0, 0),
                                                 QItemSelectionModel::NoUpdate);
        QVERIFY(!action(ID_DELETE)->isEnabled());
        emit menu(1)->aboutToShow();
        QVERIFY(action(ID_DELETE)->isEnabled());
    }

    void insertsAreOfferedWhileTheListIsActive() {
        open(kBook);
        app_->router().updateAll();
        for (int id : {ID_INSERT_ADDRESS, ID_INSERT_GROUP, ID_INSERT_SEPARATOR}) {
            QVERIFY(!action(id)->isEnabled());
            QVERIFY(!button(id)->isEnabled());
        }
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, QPoint(5, 150));
        app_->router().updateAll();
        for (int id : {ID_INSERT_ADDRESS, ID_INSERT_GROUP, ID_INSERT_SEPARATOR}) {
            QVERIFY(action(id)->isEnabled());
            QVERIFY(button(id)->isEnabled());
        }
        QTest::mouseClick(button(ID_INSERT_SEPARATOR), Qt::LeftButton);
        QVERIFY(WrittenBook(app_->document()).endsWith("SEPARATOR\r\n"));
    }

    void keysOfTheWindow() {
        CTellwickApp& app = open(kBook);
        // F6 and Shift+F6 both go to the other pane.
        QTest::keyClick(&tree(), Qt::Key_F6);
        QVERIFY(list().hasFocus());
        QTest::keyClick(&list(), Qt::Key_F6);
        QVERIFY(tree().hasFocus());
        QTest::keyClick(&tree(), Qt::Key_F6, Qt::ShiftModifier);
        QVERIFY(list().hasFocus());
        QTest::keyClick(&list(), Qt::Key_F6, Qt::ShiftModifier);
        QVERIFY(tree().hasFocus());
        // F10, and Alt pressed and released alone, open the first menu.
        QTest::keyClick(&tree(), Qt::Key_F10);
        QCOMPARE(QApplication::activePopupWidget(), menu(0));
        menu(0)->hide();
        QTest::keyPress(&tree(), Qt::Key_Alt, Qt::AltModifier);
        QTest::keyRelease(&tree(), Qt::Key_Alt);
        QCOMPARE(QApplication::activePopupWidget(), menu(0));
        menu(0)->hide();
        QTest::keyPress(&tree(), Qt::Key_Alt, Qt::AltModifier);
        QTest::keyClick(&tree(), Qt::Key_E, Qt::AltModifier);
        QTest::keyRelease(&tree(), Qt::Key_Alt);
        QVERIFY(QApplication::activePopupWidget() != menu(0));
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->hide();
        // Ctrl+N asks about the changes, then starts an empty book.
        app.document().setModifiedFlag(true);
        prompter_->answers = {Prompter::Answer::No};
        QTest::keyClick(&tree(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(prompter_->shown.size(), 1);
        QVERIFY(prompter_->shown[0].text.contains(QStringLiteral("への変更を保存しますか")));
        QVERIFY(!app.document().tree.first);
    }

    // Delete deletes after the question in either pane; Enter opens the tree's group.
    void deleteAndEnterInThePanes() {
        CTellwickApp& app = open(kBook);
        select("G2");
        tree().setFocus();
        QTest::keyClick(&tree(), Qt::Key_Return);
        QVERIFY(item("G2")->isExpanded());
        QTest::keyClick(&tree(), Qt::Key_Return);
        QVERIFY(!item("G2")->isExpanded());
        select("G1");
        prompter_->answers = {Prompter::Answer::Yes};
        QTest::keyClick(&tree(), Qt::Key_Delete);
        QCOMPARE(prompter_->shown.last().caption, QStringLiteral("グループの削除"));
        QCOMPARE(ChildLabels(tree().rootItem()), QStringList{"G2"});
        select("book.tlw");
        list().setFocus();
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {},
                          list().visualRect(list().rows().index(0, 0)).center());
        prompter_->answers = {Prompter::Answer::No};
        QTest::keyClick(list().viewport(), Qt::Key_Delete);
        QCOMPARE(prompter_->shown.last().caption, QStringLiteral("アドレスの削除"));
        QCOMPARE(listNames(), (QStringList{"A1", "G2"}));
        QVERIFY(app.document().isModified());
    }

    // The clipboard keys change nothing in the panes, but an edit box keeps them.
    void clipboardKeysBelongToEditBoxes() {
        CTellwickApp& app = open(kBook);
        list().setFocus();
        for (const QKeySequence& keys :
             {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_X),
              QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::CTRL | Qt::Key_Z),
              QKeySequence(Qt::ALT | Qt::Key_Backspace), QKeySequence(Qt::SHIFT | Qt::Key_Delete)})
            QTest::keySequence(&list(), keys);
        QCOMPARE(WrittenBook(app.document()), kBook);
        QVERIFY(!app.document().isModified());

        QApplication::clipboard()->setText(QStringLiteral("pasted"));
        QLineEdit* editor = openEditorInList(1);
        QVERIFY(editor);
        editor->selectAll();
        QTest::keySequence(editor, QKeySequence(Qt::CTRL | Qt::Key_V));
        QCOMPARE(editor->text(), QStringLiteral("pasted"));
        editor->setSelection(0, 3);
        QTest::keySequence(editor, QKeySequence(Qt::CTRL | Qt::Key_X));
        QCOMPARE(editor->text(), QStringLiteral("ted"));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("pas"));
        QTest::keySequence(editor, QKeySequence(Qt::CTRL | Qt::Key_Z));
        QCOMPARE(editor->text(), QStringLiteral("pasted"));
        QTest::keyClick(editor, Qt::Key_Escape);
    }

    void theBarsShowAndHideWithTheirCheckMarks() {
        open(kBook);
        app_->frame().show();
        QVERIFY(QTest::qWaitForWindowExposed(&app_->frame()));
        app_->router().updateAll();
        QVERIFY(action(ID_VIEW_TOOLBAR)->isChecked());
        const int listHeight = list().height();
        QVERIFY(app_->router().execute(ID_VIEW_TOOLBAR));
        app_->router().updateAll();
        QVERIFY(!action(ID_VIEW_TOOLBAR)->isChecked());
        QTRY_VERIFY(list().height() > listHeight); // the panes take the room
        QVERIFY(app_->router().execute(ID_VIEW_STATUS_BAR));
        app_->router().updateAll();
        QVERIFY(!action(ID_VIEW_STATUS_BAR)->isChecked());
        QVERIFY(!app_->frame().statusBar()->isVisible());
        // The toolbar docks on every side and floats.
        QToolBar* bar = app_->frame().toolBar();
        QVERIFY(bar->isMovable() && bar->isFloatable());
        QCOMPARE(bar->allowedAreas(), Qt::AllToolBarAreas);
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
