// Books whose groups nest tens of thousands deep, in the real window: the tree expands as far
// as it can lay out, the keyboard and the list reach the deepest group, which moves, drags
// and deletes like any other; a save that could never fit is refused before it writes, and a
// chain that can be saved comes back as it was.
#include "framework/DocumentManager.h"
#include "framework/StandardCommands.h"
#include "tests/support/HostileBooks.h"
#include "tests/support/PaneFixture.h"
#include "views/Commands.h"

#include <QDir>
#include <QStorageInfo>

#include <cmath>

namespace {

constexpr int kDepth = 20'000;

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string NameOf(const EntryNode* entry) {
    return std::string(entry->Name());
}

// The group at the end of the chain of first child groups below group.
EntryNode* DeepestGroup(EntryNode* group) {
    while (group->firstChild && group->firstChild->IsGroup())
        group = group->firstChild;
    return group;
}

int ChainLength(const EntryNode* group) {
    int length = 0;
    for (; group && group->IsGroup(); group = group->firstChild)
        ++length;
    return length;
}

QStringList ChildNames(const EntryNode* group) {
    QStringList names;
    for (const EntryNode* child = group->firstChild; child; child = child->next)
        names << QString::fromStdString(NameOf(child));
    return names;
}

// Every item's label with its depth, in pre-order, walked without recursion.
QStringList ItemOutline(QTreeWidgetItem* root) {
    QStringList outline;
    QList<QPair<QTreeWidgetItem*, int>> pending{{root, 0}};
    while (!pending.isEmpty()) {
        const auto [item, depth] = pending.takeLast();
        outline << QString::number(depth) + ' ' + item->text(0);
        for (int i = item->childCount() - 1; i >= 0; --i)
            pending.append({item->child(i), depth + 1});
    }
    return outline;
}

QString ChainName(int level) {
    return QString::fromLatin1(ChainGroupName(level));
}

} // namespace

class TestDeepBooks : public PaneFixture {
    Q_OBJECT

private:
    CTellwickApp& openChain(int depth) {
        return open(BookBytes([depth](const BookSink& sink) { NestedChainBook(depth, sink); }));
    }
    // Selects an item as a click on it would, wherever it is in the tree.
    void selectItem(QTreeWidgetItem* item) {
        tree().setCurrentItem(item);
        QCoreApplication::processEvents(); // the list is told from the event loop
    }
    void answerYesAndPress(QWidget* pane, Qt::Key key) {
        prompter_->answers = {Prompter::Answer::Yes};
        QTest::keyClick(pane, key);
        QCoreApplication::processEvents();
    }
    EntryNode* topGroup() { return app_->document().tree.first->next; }

private slots:
    void init() { QVERIFY(dir_.isValid()); }
    void cleanup() { closeApp(); }

    // A group indented further than the pane is wide is still reached by the keys: the
    // view scrolls sideways to it rather than lose the selection.
    void aGroupIndentedPastThePaneIsReachedByTheKeys() {
        openChain(40);
        selectItem(item("top"));
        tree().setFocus();
        QTest::keyClick(&tree(), Qt::Key_Asterisk);
        QTest::keyClick(&tree(), Qt::Key_End);
        QVERIFY(tree().currentItem());
        QCOMPARE(tree().currentItem()->text(0), QStringLiteral("sib"));
        QTest::keyClick(&tree(), Qt::Key_Up);
        QVERIFY(tree().currentItem());
        QCOMPARE(tree().currentItem()->text(0), ChainName(40));
        QCoreApplication::processEvents();
        QCOMPARE(listNames(), QStringList{"x"});
        QVERIFY(tree().viewport()->rect().contains(itemPoint(item(ChainName(40)))));
    }

    // "*" opens the chain as deep as the pane shows and End goes to the last group shown;
    // neither "*" nor Right there opens more, however often pressed, and the pane still lays
    // itself out afresh when the window changes size. The list shows what lies deeper.
    void theKeysExpandTheChainAsDeepAsThePaneShows() {
        openChain(kDepth);
        selectItem(item("top"));
        tree().setFocus();
        QTest::keyClick(&tree(), Qt::Key_Asterisk);
        QTest::keyClick(&tree(), Qt::Key_End);
        QCoreApplication::processEvents();
        const QString lastShown = tree().currentItem()->text(0);
        const int level = lastShown.mid(1).toInt();
        QVERIFY2(level >= 900 && level < kDepth, qPrintable(lastShown));
        QCOMPARE(listNames(), QStringList{ChainName(level + 1)});
        for (int i = 0; i < kDepth / 500; ++i) {
            QTest::keyClick(&tree(), Qt::Key_Asterisk);
            QTest::keyClick(&tree(), Qt::Key_Right);
            QTest::keyClick(&tree(), Qt::Key_End);
        }
        QCOMPARE(tree().currentItem()->text(0), lastShown);
        QVERIFY(!tree().currentItem()->isExpanded());
        app_->frame().resize(app_->frame().size() + QSize(40, 40));
        QCoreApplication::processEvents();
        tree().doItemsLayout();
        QTest::keyClick(&tree(), Qt::Key_Home);
        QTest::keyClick(&tree(), Qt::Key_End);
        QCOMPARE(tree().currentItem()->text(0), lastShown);
    }

    // The deepest group, chosen in the tree and from the list, moves down and up past its
    // sibling, is dragged from the list onto a top-level group, and is deleted; then a deep
    // stretch of the chain is dragged in the tree, and the rest deleted.
    void theDeepestGroupMovesDragsAndDeletes() {
        CTellwickApp& app = openChain(kDepth);
        const QString deepest = ChainName(kDepth);
        selectItem(item(deepest));
        QCOMPARE(tree().currentItem()->text(0), deepest);
        QCOMPARE(listNames(), QStringList{"x"});

        EntryNode* parent = DeepestGroup(topGroup())->parent;
        QVERIFY(app.router().execute(ID_MOVE_DOWN));
        QCOMPARE(ChildNames(parent), (QStringList{"sib", deepest}));
        QCOMPARE(tree().currentItem()->text(0), deepest);
        QVERIFY(app.router().execute(ID_MOVE_UP));
        QCOMPARE(ChildNames(parent), (QStringList{deepest, "sib"}));

        selectItem(item(ChainName(kDepth - 1)));
        QCOMPARE(listNames(), (QStringList{deepest, "sib"}));
        list().setFocus();
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, rowCenter(0));
        QTest::keyClick(list().viewport(), Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(tree().currentItem()->text(0), deepest);
        QCOMPARE(listNames(), QStringList{"x"});

        selectItem(item(ChainName(kDepth - 1)));
        startListDrag(0);
        tree().scrollToItem(item("first"));
        releaseOver(tree().viewport(), itemPoint(item("first")));
        EntryNode* first = app.document().tree.first;
        QCOMPARE(ChildNames(first), QStringList{deepest});
        QCOMPARE(ChildNames(first->firstChild), QStringList{"x"});
        QCOMPARE(ChildNames(parent), QStringList{"sib"});
        QCOMPARE(ChildLabels(item("first")), QStringList{deepest});

        selectItem(item(deepest));
        answerYesAndPress(&tree(), Qt::Key_Delete);
        QVERIFY(!first->firstChild);
        QVERIFY(!item(deepest));

        // Half way down the chain, shown after "*" on the top group, dragged onto "first".
        selectItem(item("top"));
        QTest::keyClick(&tree(), Qt::Key_Asterisk);
        QTreeWidgetItem* middle = item(ChainName(500));
        tree().scrollToItem(item("first"));
        startTreeDrag(middle);
        PaneFixture::sendToFrame(QEvent::MouseMove, tree().viewport(), itemPoint(item("first")));
        PaneFixture::sendToFrame(QEvent::MouseButtonRelease, tree().viewport(),
                                 itemPoint(item("first")));
        verifyDragEnded();
        // d500 ... d(N-1), then "sib" as the first child of the last.
        QCOMPARE(ChainLength(first->firstChild), kDepth - 500 + 1);
        QCOMPARE(ChainLength(topGroup()), 500);
        QCOMPARE(ItemOutline(item("first")).size(), 1 + kDepth - 500 + 1);

        selectItem(item("top"));
        answerYesAndPress(&tree(), Qt::Key_Delete);
        selectItem(item("first"));
        answerYesAndPress(&tree(), Qt::Key_Delete);
        QVERIFY(!app.document().tree.first);
        QCOMPARE(tree().rootItem()->childCount(), 0);
        QVERIFY(app.document().isModified());
    }

    // A chain whose indentation alone is more than the free disk space: the save is refused
    // with its reason before a byte is written, the book on disk stays as it was, and the
    // open book stays modified.
    void aSaveThatCannotFitIsRefusedBeforeWriting() {
        const qint64 available = QStorageInfo(dir_.path()).bytesAvailable();
        // Two bytes of indentation per level on each GROUP and END GROUP line: about 2 d².
        const int depth = int(std::sqrt(double(available))) + 1000;
        if (available <= 0 || depth > 3'000'000)
            QSKIP("the free space here is unknown or too large for a book to outgrow");
        CTellwickApp& app = openChain(depth);
        const QString path = app.document().pathName();
        const QByteArray onDisk = ReadFile(path);
        const QStringList filesBefore = QDir(dir_.path()).entryList(QDir::Files);
        QVERIFY(BookOutputSize(app.document().tree) > quint64(available));
        list().setFocus();
        QVERIFY(app.router().execute(ID_INSERT_SEPARATOR));
        QVERIFY(app.document().isModified());

        QVERIFY(app.router().execute(ID_FILE_SAVE));
        QCOMPARE(prompter_->shown.size(), 1);
        QVERIFY2(prompter_->shown[0].text.contains(QStringLiteral("空き領域")),
                 qPrintable(prompter_->shown[0].text));
        QVERIFY(app.document().isModified());
        QCOMPARE(ReadFile(path), onDisk);
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), filesBefore);
    }

    // 3,000 levels, the deepest renamed in the list, saved and opened again: the same bytes
    // and the same tree of items.
    void aChainThatFitsSavesAndReopensAsItWas() {
        constexpr int kSavable = 3000;
        CTellwickApp& app = openChain(kSavable);
        QByteArray expected = WrittenBook(app.document());
        const QByteArray oldLine = "GROUP " + ChainGroupName(kSavable) + "\r\n";
        QCOMPARE(expected.count(oldLine), 1);
        expected.replace(oldLine, "GROUP renamed\r\n");

        selectItem(item(ChainName(kSavable - 1)));
        list().setFocus();
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, rowCenter(0));
        QTest::keyClick(list().viewport(), Qt::Key_F2);
        QLineEdit* editor = openEditor(list());
        QVERIFY(editor);
        editor->setText(QStringLiteral("renamed"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(item("renamed")->parent()->text(0), ChainName(kSavable - 1));
        const QStringList outline = ItemOutline(tree().rootItem()).mid(1);

        const QString saved = dir_.filePath(QStringLiteral("saved.tlw"));
        QVERIFY(app.document().saveDocument(saved).ok());
        QCOMPARE(ReadFile(saved), expected);
        QVERIFY(app.documents().openDocumentFile(saved));
        QCOMPARE(WrittenBook(app.document()), expected);
        QCOMPARE(ItemOutline(tree().rootItem()).mid(1), outline);
        QCOMPARE(ChainLength(topGroup()), kSavable + 1);
    }
};

QTEST_MAIN(TestDeepBooks)
#include "tst_deepbooks.moc"
