#include "app/MainFrame.h"
#include "app/MouseRelay.h"
#include "app/ShellSocketPlace.h"
#include "app/TellwickApp.h"
#include "document/TellwickDoc.h"
#include "file/BookFormat.h"
#include "framework/CommandRouter.h"
#include "framework/DocumentManager.h"
#include "framework/PathNames.h"
#include "framework/StandardCommands.h"
#include "storage/SaveJournal.h"
#include "tests/support/DialogLayout.h"
#include "tests/support/ScriptedPrompter.h"
#include "views/EntryListModel.h"
#include "views/PaneMessages.h"
#include "views/TlwListView.h"
#include "views/TlwTreeView.h"

#include "app/ShellRequests.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocalSocket>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QSplitter>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// 家族 and 仕事 in CP932, so the files are the program's real encoding.
const QByteArray kFamily("\x89\xc6\x91\xb0");
const QByteArray kWork("\x8e\x64\x8e\x96");

const QByteArray kBook = "GROUP " + kFamily +
                         "\r\n  taro: t@example.jp,090\r\n  GROUP inner\r\n"
                         "  END GROUP\r\nEND GROUP\r\nGROUP " +
                         kWork +
                         "\r\nEND GROUP\r\n"
                         "SEPARATOR\r\ndentist: 0120\r\n";

// One card with Japanese text and a category, as vCard and as CSV, and the book it gives.
const QByteArray kCards = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:山田 太郎\r\nEMAIL:taro@example.jp\r\n"
                          "TEL:090-1234-5678\r\nCATEGORIES:友人\r\nEND:VCARD\r\n";
const QByteArray kContactRows =
    "Group,Name,Addresses\r\n友人,山田 太郎,\"taro@example.jp,090-1234-5678\"\r\n";
const QByteArray kImported = "GROUP \x97\x46\x90\x6c\r\n  \x8eR\x93\x63 \x91\xbe\x98Y: "
                             "taro@example.jp,090-1234-5678\r\nEND GROUP\r\n";

QByteArray WrittenBook(const CTellwickDoc& doc) {
    std::ostringstream out;
    WriteBook(out, doc.tree);
    return QByteArray::fromStdString(out.str());
}

QStringList RowNames(const CTlwListView& list) {
    QStringList names;
    for (int row = 0; row < list.rows().rowCount(); ++row)
        names << list.rows().index(row, 0).data().toString();
    return names;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    ScriptedPrompter* prompter_ = nullptr;
    std::unique_ptr<CTellwickApp> app_;

    QString path(const QString& name) const { return dir_.filePath(name); }
    QString profilePath() const { return path(QStringLiteral("config/tellwick.INI")); }

    QString writeFile(const QString& name, const QByteArray& bytes) {
        QFile file(path(name));
        [&] { QVERIFY(file.open(QIODevice::WriteOnly)); }();
        file.write(bytes);
        return file.fileName();
    }

    QByteArray readFile(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    }

    // Opens the file as the route named does it, in a window started for the purpose.
    CTellwickApp& openBy(const QString& route, const QString& file) {
        if (route == "command line")
            return start({file});
        if (route == "shell") {
            CTellwickApp& app = start({QStringLiteral("-dde")});
            QLocalSocket shell;
            shell.connectToServer(ShellSocketPath(
                QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()));
            [&] { QVERIFY(shell.waitForConnected(2000)); }();
            shell.write(QStringLiteral("[open(\"%1\")]\n").arg(file).toUtf8());
            [&] { QVERIFY(shell.waitForBytesWritten(2000)); }();
            const auto settled = [&] {
                return !prompter_->shown.isEmpty() || app.frame().isVisible();
            };
            [&] { QVERIFY(QTest::qWaitFor(settled)); }();
            return app;
        }
        CTellwickApp& app = start({writeFile(QStringLiteral("b.tlw"), kBook)});
        if (route == "recent") {
            app.recentFiles().add(file);
            app.router().execute(ID_FILE_MRU_FILE1);
        } else {
            prompter_->openChoices = {file};
            app.router().execute(ID_FILE_OPEN);
        }
        return app;
    }

    CTellwickApp& start(const QStringList& args, bool expectRunning = true) {
        delete prompter_;
        prompter_ = new ScriptedPrompter;
        app_ = std::make_unique<CTellwickApp>(*prompter_, profilePath());
        const bool running = app_->initInstance(args);
        [&] { QCOMPARE(running, expectRunning); }();
        return *app_;
    }

    void makeActive() {
        app_->frame().show();
        QApplication::setActiveWindow(&app_->frame());
        QVERIFY(QTest::qWaitForWindowActive(&app_->frame()));
    }

    void editBook() {
        EntryTree& tree = app_->document().tree;
        tree.AppendEntry(tree.NewEntry(EntryKind::Address, "added"), nullptr, false);
        app_->document().setModifiedFlag(true);
    }

private slots:
    void init() { QVERIFY(dir_.isValid()); }
    void cleanup() {
        app_.reset();
        delete prompter_;
        prompter_ = nullptr;
    }

    void startsWithAnUntitledBook() {
        CTellwickApp& app = start({});
        QCOMPARE(app.document().title(), QStringLiteral("Untitled"));
        QCOMPARE(app.frame().windowTitle(), QStringLiteral("Untitled - アドレス帳"));
        QVERIFY(!app.document().isModified());
        // The root item exists for an empty book, so groups inserted later have a parent.
        QCOMPARE(app.treePane().topLevelItemCount(), 1);
        QCOMPARE(app.treePane().rootItem()->text(0), QStringLiteral("Untitled"));
        QCOMPARE(app.treePane().rootItem()->childCount(), 0);
        QCOMPARE(app.listPane().rows().rowCount(), 0);

        QMenu* file = app.frame().menuBar()->findChild<QMenu*>();
        QVERIFY(file);
        QStringList enabledTexts, allTexts;
        for (QAction* action : file->actions()) {
            if (!action->isVisible() || action->isSeparator())
                continue;
            allTexts << action->text();
            if (action->isEnabled())
                enabledTexts << action->text();
        }
        QVERIFY(allTexts.contains(QStringLiteral("最新のﾌｧｲﾙ")));
        QVERIFY(!enabledTexts.contains(QStringLiteral("最新のﾌｧｲﾙ")));
    }

    void opensABookAndBrowsesItsGroups() {
        const QString book = writeFile(QStringLiteral("family book.tlw"), kBook);
        CTellwickApp& app = start({book});
        makeActive();
        QCOMPARE(app.frame().windowTitle(), QStringLiteral("family book.tlw - アドレス帳"));
        QTreeWidgetItem* root = app.treePane().rootItem();
        QCOMPARE(root->text(0), QStringLiteral("family book.tlw"));
        QCOMPARE(root->childCount(), 2);
        QCOMPARE(root->child(0)->text(0), QStringLiteral("家族"));
        QCOMPARE(root->child(0)->child(0)->text(0), QStringLiteral("inner"));
        // After opening, the list shows the top level of the new book.
        QCOMPARE(RowNames(app.listPane()), (QStringList{"家族", "仕事", "セパレータ", "dentist"}));

        CTlwTreeView& tree = app.treePane();
        const QRect rect = tree.visualItemRect(root->child(0));
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, rect.center());
        QTRY_COMPARE(RowNames(app.listPane()), (QStringList{"taro", "inner"}));
        QCOMPARE(app.listPane().rows().index(0, 1).data().toString(),
                 QStringLiteral("t@example.jp 090 "));

        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(root).center());
        QTRY_COMPARE(app.listPane().rows().rowCount(), 4);
    }

    void saveFollowsTheModifiedFlag() {
        const QString book = writeFile(QStringLiteral("b.tlw"), kBook);
        CTellwickApp& app = start({book});
        makeActive();
        CommandRouter& router = app.router();
        QVERIFY(!router.stateOf(ID_FILE_SAVE).enabled);
        // Even when the shortcut gets through, a disabled command does not run.
        QVERIFY(!router.execute(ID_FILE_SAVE));
        QTest::keyClick(&app.frame(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(prompter_->shown.isEmpty());

        editBook();
        router.updateAll();
        QVERIFY(router.action(ID_FILE_SAVE)->isEnabled());
        QTest::keyClick(&app.frame(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!app.document().isModified());
        QFile saved(book);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), kBook + "added: \r\n");
        router.updateAll();
        QVERIFY(!router.action(ID_FILE_SAVE)->isEnabled());
    }

    void theSaveQuestionGuardsNewAndClose() {
        const QString book = writeFile(QStringLiteral("b.tlw"), kBook);
        CTellwickApp& app = start({book});
        makeActive();
        editBook();
        app.router().updateAll();

        prompter_->answers = {Prompter::Answer::Cancel};
        QTest::keyClick(&app.frame(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(prompter_->texts(), QStringList{"b.tlw への変更を保存しますか？"});
        QCOMPARE(app.document().title(), QStringLiteral("b.tlw"));
        QVERIFY(app.document().isModified());

        prompter_->answers = {Prompter::Answer::No};
        QTest::keyClick(&app.frame(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(app.document().title(), QStringLiteral("Untitled"));
        QVERIFY(!app.document().tree.first);
        QVERIFY(!app.document().isModified());
        QCOMPARE(app.listPane().rows().rowCount(), 0); // no rows left on freed entries
        QCOMPARE(app.treePane().rootItem()->childCount(), 0);

        // Yes on an untitled book goes through the save dialog; no extension typed: .tlw.
        editBook();
        prompter_->answers = {Prompter::Answer::Yes};
        prompter_->saveChoices = {path(QStringLiteral("typed"))};
        app.frame().close();
        QVERIFY(!app.frame().isVisible());
        QCOMPARE(prompter_->proposedNames, QStringList{"Untitled.TLW"});
        QCOMPARE(prompter_->dialogCaptions.last(), QStringLiteral("名前を付けて保存"));
        QVERIFY(QFileInfo::exists(path(QStringLiteral("typed.tlw"))));
    }

    void aCancelledOrFailedSaveKeepsTheWindowOpen() {
        CTellwickApp& app = start({});
        makeActive();
        editBook();
        prompter_->answers = {Prompter::Answer::Yes};
        app.frame().close(); // the save dialog is cancelled
        QVERIFY(app.frame().isVisible());

        prompter_->answers = {Prompter::Answer::Yes};
        prompter_->saveChoices = {path(QStringLiteral("no/such/dir/x.tlw"))};
        app.frame().close();
        QVERIFY(app.frame().isVisible());
        QVERIFY(prompter_->texts().last().startsWith(QStringLiteral("無効なﾌｧｲﾙ名です。")));
        QVERIFY(app.document().isModified());
    }

    void aFailedOpenKeepsTheOpenBook() {
        const QString book = writeFile(QStringLiteral("b.tlw"), kBook);
        CTellwickApp& app = start({book});
        const QStringList rowsBefore = RowNames(app.listPane());
        prompter_->openChoices = {dir_.path(), path(QStringLiteral("missing.tlw"))};
        QVERIFY(!app.documents().fileOpen());
        QVERIFY(!app.documents().fileOpen());
        QCOMPARE(prompter_->shown.size(), 2);
        for (const QString& text : prompter_->texts())
            QVERIFY(text.startsWith(QStringLiteral("ﾄﾞｷｭﾒﾝﾄのｵｰﾌﾟﾝに失敗しました。")));
        QCOMPARE(app.document().title(), QStringLiteral("b.tlw"));
        QCOMPARE(WrittenBook(app.document()), kBook);
        QCOMPARE(RowNames(app.listPane()), rowsBefore);
        QCOMPARE(app.treePane().rootItem()->childCount(), 2);
        QCOMPARE(prompter_->dialogCaptions.first(), QStringLiteral("開く"));
        const QList<FileFilter> filters = prompter_->dialogFilters.first();
        QStringList labels;
        for (const FileFilter& filter : filters)
            labels << filter.label;
        QCOMPARE(labels, (QStringList{"アドレス帳 (*.tlw)", "vCard (*.vcf)", "CSV (*.csv)",
                                      "すべてのﾌｧｲﾙ (*.*)"}));
        // The book filter matches the extension in any letter case.
        QVERIFY(QDir::match(filters.at(0).patterns, QStringLiteral("X.TlW")));
        QVERIFY(!QDir::match(filters.at(0).patterns, QStringLiteral("X.txt")));
    }

    // The real save dialog shows the proposed name as it is, and keeps its extension as the
    // user switches between the file types.
    void theSaveDialogProposesAPlainFileName() {
        CTellwickApp& app = start({});
        QStringList seen;
        QTimer::singleShot(0, [&seen] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            seen << name->text();
            types->setCurrentIndex(1);
            types->setCurrentIndex(0);
            seen << name->text();
            dialog->reject();
        });
        WidgetPrompter real;
        QVERIFY(real.chooseSaveFile(&app.frame(), QStringLiteral("名前を付けて保存"),
                                    QStringLiteral("Untitled.TLW"), app.documents().fileFilters())
                    .isEmpty());
        QCOMPARE(seen, (QStringList{"Untitled.TLW", "Untitled.TLW"}));
    }

    // A real question gives the focus back to the pane that had it when it opened, even when
    // the focus moved while it was open, so the next key acts where the user left off.
    void aClosedQuestionGivesTheFocusBack() {
        CTellwickApp& app = start({});
        makeActive();
        app.listPane().setFocus();
        QTimer::singleShot(0, [&app] {
            app.treePane().setFocus();
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            box->button(QMessageBox::Yes)->click();
        });
        WidgetPrompter real;
        QCOMPARE(real.ask(&app.frame(), QStringLiteral("t"), QStringLiteral("q"),
                          Prompter::Buttons::YesNo, Prompter::Icon::Question, Prompter::Answer::No),
                 Prompter::Answer::Yes);
        QCOMPARE(app.frame().focusWidget(), &app.listPane());
    }

    // Unattended, a real box takes its default answer by itself: after its time on the
    // screen, or at once and unseen where there is no screen (no time).
    void anUnattendedBoxAnswersByItself_data() {
        QTest::addColumn<int>("shownMs");
        QTest::newRow("on a screen") << 200;
        QTest::newRow("no screen") << 0;
    }
    void anUnattendedBoxAnswersByItself() {
        QFETCH(int, shownMs);
        WidgetPrompter real;
        real.setUnattended(true);
        real.setUnattendedBoxTime(std::chrono::milliseconds(shownMs));
        bool shown = false;
        bool stuck = false;
        QObject whileAsking;
        QTimer::singleShot(0, &whileAsking,
                           [&shown] { shown = QApplication::activeModalWidget() != nullptr; });
        QTimer::singleShot(10000, &whileAsking, [&stuck] {
            stuck = true;
            QApplication::activeModalWidget()->close();
        });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(real.ask(nullptr, QStringLiteral("Tellwick"), QStringLiteral("text"),
                          Prompter::Buttons::YesNo, Prompter::Icon::Question, Prompter::Answer::No),
                 Prompter::Answer::No);
        QVERIFY(!stuck);
        QVERIFY(clock.elapsed() >= shownMs);
        QCOMPARE(shown, shownMs > 0);
    }

    // A save cut while a book was rewritten in place is offered at the next start: its old
    // content, the content being saved, or the book left as it is and asked about again.
    void aCutSaveIsOfferedAtTheNextStart_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<int>("recordsLeft");
        QTest::newRow("old") << int(Prompter::Answer::Yes) << QByteArray("old: 1\r\n") << 0;
        QTest::newRow("new") << int(Prompter::Answer::No) << QByteArray("new: 2\r\n") << 0;
        QTest::newRow("later") << int(Prompter::Answer::Cancel) << QByteArray("new: 1\r\n") << 1;
    }
    void aCutSaveIsOfferedAtTheNextStart() {
        QFETCH(int, answer);
        const QString state = writeFile(QStringLiteral("state-marker"), {}) + QStringLiteral(".d");
        qputenv("XDG_STATE_HOME", QFile::encodeName(state));
        const auto restore = qScopeGuard([] { qunsetenv("XDG_STATE_HOME"); });
        const QString book = writeFile(QStringLiteral("cut.tlw"), "new: 1\r\n"); // neither
        const std::string target = QFile::encodeName(book).toStdString();
        const pid_t pid = ::fork(); // the record of a process that is gone
        if (pid == 0) {
            int error = 0;
            _exit(BeginRewriteRecord(target, "old: 1\r\n", "new: 2\r\n", error).empty());
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        QCOMPARE(WEXITSTATUS(status), 0);
        delete prompter_;
        prompter_ = new ScriptedPrompter;
        prompter_->answers = {Prompter::Answer(answer)};
        app_ = std::make_unique<CTellwickApp>(*prompter_, profilePath());
        QVERIFY(app_->initInstance({book}));
        QCOMPARE(prompter_->shown.size(), 1);
        QVERIFY(prompter_->shown[0].text.contains(book));
        QFile file(book);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QTEST(file.readAll(), "after");
        QTEST(int(FindCutSaves().size()), "recordsLeft");
        QTEST(WrittenBook(app_->document()), "after"); // the book opened after the choice
    }

    void aZeroByteFileIsAnEmptyBook() {
        const QString empty = writeFile(QStringLiteral("empty.tlw"), {});
        CTellwickApp& app = start({empty});
        QVERIFY(!app.document().tree.first);
        QCOMPARE(app.document().title(), QStringLiteral("empty.tlw"));
        QCOMPARE(app.treePane().topLevelItemCount(), 1);
    }

    void recentFilesAreKeptInTheProfile() {
        const QString spaced = writeFile(QStringLiteral("a b&c 名前.tlw"), kBook);
        const QString plain = writeFile(QStringLiteral("plain.tlw"), kBook);
        CTellwickApp& app = start({spaced});
        QVERIFY(app.documents().openDocumentFile(plain));
        app.exitInstance();
        QFile profile(profilePath());
        QVERIFY(profile.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(profile.readAll());
        QCOMPARE(text,
                 QStringLiteral("[Recent File List]\nFile1=%1\nFile2=%2\n").arg(plain, spaced));

        // Read back at the next start; the menu shows them most recent first.
        CTellwickApp& again = start({});
        QCOMPARE(again.recentFiles().count(), 2);
        QAction* first = again.router().action(ID_FILE_MRU_FILE1);
        QVERIFY(first);
        QVERIFY(first->text().startsWith(QStringLiteral("&1 ")));
        QVERIFY(
            again.router().action(ID_FILE_MRU_FILE1 + 1)->text().contains(QStringLiteral("&&")));

        // A recent file that has gone is reported and dropped.
        QFile::remove(plain);
        QVERIFY(again.router().execute(ID_FILE_MRU_FILE1));
        QCOMPARE(prompter_->shown.size(), 1);
        QCOMPARE(again.recentFiles().count(), 1);
        QCOMPARE(again.recentFiles().path(0), spaced);
    }

    // A profile that cannot be read (here a FIFO, which must not block start-up either) is
    // never written over at exit.
    void profileThatCannotBeReadIsLeftAlone() {
        QVERIFY(QDir().mkpath(QFileInfo(profilePath()).path()));
        QFile::remove(profilePath());
        const QByteArray fifo = QFile::encodeName(profilePath());
        QVERIFY(::mkfifo(fifo.constData(), 0644) == 0);
        const auto removeFifo = qScopeGuard([&] { QFile::remove(profilePath()); });
        CTellwickApp& app = start({writeFile(QStringLiteral("p.tlw"), kBook)});
        QCOMPARE(app.recentFiles().count(), 1);
        app.exitInstance();
        struct stat info {};
        QVERIFY(::lstat(fifo.constData(), &info) == 0 && S_ISFIFO(info.st_mode));
    }

    // Saving the untitled book in the question shifts the list: the command still opens,
    // or on failure drops, the entry that was chosen.
    void recentFileChosenIsTheOneOpened_data() {
        QTest::addColumn<bool>("chosenExists");
        QTest::newRow("opens") << true;
        QTest::newRow("fails and is dropped") << false;
    }
    void recentFileChosenIsTheOneOpened() {
        QFETCH(bool, chosenExists);
        const QString a = writeFile(QStringLiteral("a.tlw"), kBook);
        const QString b = writeFile(QStringLiteral("b.tlw"), "b: 1\r\n");
        CTellwickApp& app = start({b});
        QVERIFY(app.documents().openDocumentFile(a));
        QVERIFY(app.documents().fileNew());
        editBook();
        if (!chosenExists)
            QFile::remove(b);
        prompter_->answers << Prompter::Answer::Yes;
        prompter_->saveChoices << path(QStringLiteral("c.tlw"));

        app.router().execute(ID_FILE_MRU_FILE1 + 1); // "&2 b.tlw"

        const QString c = path(QStringLiteral("c.tlw"));
        if (chosenExists) {
            QCOMPARE(app.document().pathName(), b);
            QCOMPARE(app.recentFiles().path(0), b);
        } else {
            QCOMPARE(app.document().pathName(), c);
            QCOMPARE(app.recentFiles().indexOf(b), -1);
            QCOMPARE(app.recentFiles().path(0), c);
            QCOMPARE(app.recentFiles().path(1), a);
        }
    }

    void commandLineSwitchesAndParameters() {
        const QString book = writeFile(QStringLiteral("cl.tlw"), kBook);
        const QString other = writeFile(QStringLiteral("other.tlw"), "x: 1\r\n");
        // An upper-case P is no print switch: the file opens as usual.
        CTellwickApp& upper = start({QStringLiteral("/P"), book});
        QCOMPARE(upper.document().pathName(), book);
        QVERIFY(upper.frame().isVisible());
        // An absolute path is a parameter; the second file is ignored.
        CTellwickApp& two = start({book, other});
        QCOMPARE(two.document().pathName(), book);
        // A file that cannot be opened ends start-up after the report.
        start({path(QStringLiteral("nothing.tlw"))}, false);
        QCOMPARE(prompter_->shown.size(), 1);
        // Printing keeps the window hidden and ends start-up.
        CTellwickApp& print = start({QStringLiteral("-p"), book}, false);
        QVERIFY(!print.frame().isVisible());
        QVERIFY(print.startedToPrint());
    }

    void paneMessagesGoThroughTheFrame() {
        const QString book = writeFile(QStringLiteral("m.tlw"), kBook);
        CTellwickApp& app = start({book});
        makeActive();
        app.treePane().setFocus();
        EntryNode* family = app.document().tree.first;
        PaneMessageEvent show(UM_SHOWGROUP, family);
        show.result = 42;
        QCoreApplication::sendEvent(&app.frame(), &show);
        QCOMPARE(show.result, qintptr(0));
        QCOMPARE(RowNames(app.listPane()), (QStringList{"taro", "inner"}));

        EntryNode* inner = family->firstChild->next;
        app.document().tree.SetName(inner, "renamed");
        PaneMessageEvent rename(UM_RENAMEGROUP, inner);
        QCoreApplication::sendEvent(&app.frame(), &rename);
        QCOMPARE(app.treePane().rootItem()->child(0)->child(0)->text(0), QStringLiteral("renamed"));
        // An address has no tree item: nothing happens.
        PaneMessageEvent deleteAddress(UM_DELETEGROUP, family->firstChild);
        QCoreApplication::sendEvent(&app.frame(), &deleteAddress);
        QCOMPARE(app.treePane().rootItem()->child(0)->childCount(), 1);
    }

    void theMouseRelayPicksAPaneByXAlone() {
        CTellwickApp& app = start({});
        makeActive();
        CMainFrame& frame = app.frame();
        QWidget* left = frame.pane(0);
        QWidget* right = frame.pane(1);
        const QPoint edge = left->mapToGlobal(QPoint(left->width(), 5));
        RelayTarget onEdge = PickRelayTarget(edge, left, right);
        QCOMPARE(onEdge.pane, right);
        QVERIFY(onEdge.local.x() < 0); // the splitter handle lies left of the right pane
        QCOMPARE(PickRelayTarget(edge - QPoint(1, 0), left, right).pane, left);
        const QPoint below = left->mapToGlobal(QPoint(10, left->height() + 500));
        RelayTarget outside = PickRelayTarget(below, left, right);
        QCOMPARE(outside.pane, left);
        QCOMPARE(outside.local, QPoint(10, left->height() + 500));
        // The left pane starts at a quarter of the client width.
        QCOMPARE(left->width(), frame.centralWidget()->width() / 4);
    }

    void droppedFilesOpenOneAfterAnother() {
        const QString a = writeFile(QStringLiteral("a.tlw"), kBook);
        const QString b = writeFile(QStringLiteral("b.tlw"), "x: 1\r\n");
        CTellwickApp& app = start({});
        makeActive();
        editBook();
        prompter_->answers = {Prompter::Answer::No};
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
        // As from the window system: the drop goes where the drag was accepted on entering.
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&app.frame(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&app.frame(), &drop);
        QCOMPARE(app.document().pathName(), b);
        QCOMPARE(prompter_->shown.size(), 1); // only the edited book asked
    }

    // A dropped vCard file is not opened as a book: it is offered for reading in.
    void droppedContactFileIsOfferedForReadingIn() {
        const QString book = writeFile(QStringLiteral("book.tlw"), kBook);
        const QString cards =
            writeFile(QStringLiteral("cards.vcf"), "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:card\r\n"
                                                   "EMAIL:c@example.jp\r\nEND:VCARD\r\n");
        CTellwickApp& app = start({book});
        prompter_->answers = {Prompter::Answer::No, Prompter::Answer::Yes};
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(cards)});
        for (int round = 0; round < 2; ++round) {
            QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, {});
            QCoreApplication::sendEvent(&app.frame(), &enter);
            QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, {});
            QCoreApplication::sendEvent(&app.frame(), &drop);
            QCOMPARE(WrittenBook(app.document()).contains("card: c@example.jp\r\n"), round == 1);
        }
        QCOMPARE(prompter_->shown.size(), 2);
        QVERIFY(prompter_->shown[0].text.contains(QStringLiteral("を選択位置に読み込みますか")));
        QCOMPARE(app.document().pathName(), book);
        QVERIFY(app.document().isModified());
    }

    // Every way of opening gives a contacts file to the importer as a new untitled book, so a
    // save asks for a name and the contacts file stays as it was.
    void aContactFileOpensAsAnUntitledBook_data() {
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("open dialog, vCard") << "dialog"
                                            << "contacts.vcf" << kCards;
        QTest::newRow("command line, vCard in capitals") << "command line"
                                                         << "C.VCF" << kCards;
        QTest::newRow("recent file, CSV") << "recent"
                                          << "contacts.Csv" << kContactRows;
        QTest::newRow("shell request, vCard named .txt") << "shell"
                                                         << "phone.txt" << kCards;
    }
    void aContactFileOpensAsAnUntitledBook() {
        QFETCH(QString, route);
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        const QString contacts = writeFile(name, contents);
        CTellwickApp& app = openBy(route, contacts);
        QVERIFY(app.frame().isVisible());
        QVERIFY(prompter_->shown.isEmpty());
        QCOMPARE(app.document().pathName(), QString());
        QCOMPARE(app.document().title(), QStringLiteral("Untitled"));
        QVERIFY(app.document().isModified());
        QCOMPARE(WrittenBook(app.document()), kImported);
        QCOMPARE(RowNames(app.listPane()), QStringList{"友人"});
        QCOMPARE(app.recentFiles().path(0), contacts);

        QFile::remove(path(QStringLiteral("saved.tlw")));
        prompter_->saveChoices = {path(QStringLiteral("saved"))};
        QVERIFY(app.router().execute(ID_FILE_SAVE));
        QCOMPARE(prompter_->dialogCaptions.last(), QStringLiteral("名前を付けて保存"));
        QCOMPARE(prompter_->proposedNames, QStringList{"Untitled.TLW"});
        QCOMPARE(readFile(name), contents);
        QCOMPARE(readFile(QStringLiteral("saved.tlw")), kImported);
        QCOMPARE(app.document().pathName(), path(QStringLiteral("saved.tlw")));

        // The list keeps the contacts file behind the book; choosing it imports it again.
        QCOMPARE(app.recentFiles().path(1), contacts);
        QVERIFY(app.router().execute(ID_FILE_MRU_FILE1 + 1));
        QVERIFY(app.document().pathName().isEmpty());
        QVERIFY(app.document().isModified());
        QCOMPARE(WrittenBook(app.document()), kImported);
    }

    // A contacts file that is broken, or whose text the user declines to have replaced,
    // leaves the open book; only a broken one leaves the recent list.
    void aContactFileNotImportedLeavesTheOpenBook_data() {
        QTest::addColumn<QString>("route");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("keptInRecent");
        const QByteArray broken = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:x\r\n";
        const QString notClosed = QStringLiteral("を読み込めません。\n1 行目: カードが END:VCARD "
                                                 "で閉じられていません");
        QTest::newRow("broken, open dialog") << "dialog" << broken << notClosed << false;
        QTest::newRow("broken, recent file") << "recent" << broken << notClosed << false;
        QTest::newRow("declined, recent file")
            << "recent" << QByteArray("BEGIN:VCARD\r\nFN:😀\r\nEND:VCARD\r\n")
            << QStringLiteral("に置き換えて読み込みますか?") << true;
    }
    void aContactFileNotImportedLeavesTheOpenBook() {
        QFETCH(QString, route);
        QFETCH(QByteArray, contents);
        QFETCH(QString, message);
        QFETCH(bool, keptInRecent);
        const QString contacts = writeFile(QStringLiteral("not imported.vcf"), contents);
        CTellwickApp& app = openBy(route, contacts);
        QCOMPARE(prompter_->shown.size(), 1);
        QVERIFY2(prompter_->shown[0].text.startsWith(contacts + "\n"), qPrintable(contacts));
        QVERIFY2(prompter_->shown[0].text.endsWith(message), qPrintable(prompter_->shown[0].text));
        QCOMPARE(app.document().pathName(), path(QStringLiteral("b.tlw")));
        QVERIFY(!app.document().isModified());
        QCOMPARE(WrittenBook(app.document()), kBook);
        QCOMPARE(RowNames(app.listPane()), (QStringList{"家族", "仕事", "セパレータ", "dentist"}));
        QCOMPARE(app.recentFiles().indexOf(contacts) >= 0, keptInRecent);
    }

    // A .tlw file is a book whatever its first line says.
    void aTlwFileIsNeverImported() {
        const QString cardLike =
            writeFile(QStringLiteral("card-like.TLW"), "BEGIN:VCARD\r\nEND:VCARD\r\n");
        CTellwickApp& app = start({cardLike});
        QCOMPARE(app.document().pathName(), cardLike);
        QVERIFY(!app.document().isModified());
        QCOMPARE(RowNames(app.listPane()), (QStringList{"BEGIN", "END"}));
    }

    // A FIFO among dropped files is refused at once, and a Shift-JIS name still opens.
    void droppedFifoIsRefusedAndShiftJisNameOpens() {
        const QByteArray fifo = QFile::encodeName(path(QStringLiteral("pipe.tlw")));
        QVERIFY(::mkfifo(fifo.constData(), 0644) == 0 || errno == EEXIST);
        const QByteArray sjis = QFile::encodeName(dir_.path()) + "/\x83\x65\x83\x58.tlw";
        const int fd = ::open(sjis.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, kBook.constData(), kBook.size()), ssize_t(kBook.size()));
        ::close(fd);
        CTellwickApp& app = start({});
        QMimeData mime;
        mime.setUrls(
            {QUrl::fromLocalFile(QFile::decodeName(fifo)),
             QUrl(QStringLiteral("file://") + QString::fromLatin1(sjis.toPercentEncoding("/")))});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&app.frame(), &enter);
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&app.frame(), &drop);
        QCOMPARE(prompter_->shown.size(), 1);
        QVERIFY(prompter_->shown[0].text.contains(QStringLiteral("通常のファイルではありません")));
        QCOMPARE(EncodePathBytes(app.document().pathName()), sjis);
        QCOMPARE(app.frame().windowTitle(), QStringLiteral("テス.tlw - アドレス帳"));
    }

    // The About box runs, at a fixed size its contents fit in without overlapping.
    void theAboutBoxRuns() {
        CTellwickApp& app = start({});
        QStringList problems{QStringLiteral("not shown")};
        QSize size, fitting, smallest, largest;
        prompter_->dialogScript = [&](QDialog& dialog) {
            problems = DialogLayoutProblems(dialog);
            size = dialog.size();
            fitting = dialog.sizeHint();
            smallest = dialog.minimumSize();
            largest = dialog.maximumSize();
            return int(QDialog::Accepted);
        };
        QVERIFY(app.router().execute(ID_APP_ABOUT));
        QCOMPARE(prompter_->dialogsRun, QStringList{"aboutDialog"});
        QCOMPARE(problems, QStringList());
        QCOMPARE(smallest, largest);
        QVERIFY(size.width() >= fitting.width() && size.height() >= fitting.height());
    }

    void theWindowStartsInASaneState() {
        CTellwickApp& app = start({});
        makeActive();
        CMainFrame& frame = app.frame();
        QCOMPARE(frame.findChild<QLabel*>(QStringLiteral("messagePane"))->text(),
                 QStringLiteral("ﾚﾃﾞｨ"));
        for (const char* name :
             {"kanaIndicator", "capsIndicator", "numIndicator", "scrollIndicator"})
            QVERIFY2(frame.findChild<QLabel*>(QLatin1String(name)), name);
        QHeaderView* header = app.listPane().header();
        QCOMPARE(header->sectionSize(0), 200);
        QCOMPARE(header->sectionSize(1), 300);
        QCOMPARE(app.listPane().model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("名前"));
        QCOMPARE(app.listPane().model()->headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("アドレス"));
        QCOMPARE(frame.pane(0), &app.treePane());
        // A wider window widens the list; the tree keeps its width.
        const int treeWidth = app.treePane().width();
        const int listWidth = app.listPane().width();
        frame.resize(frame.width() + 120, frame.height());
        QTRY_COMPARE(app.listPane().width(), listWidth + 120);
        QCOMPARE(app.treePane().width(), treeWidth);
        QVERIFY(app.treePane().hasFocus());               // the tree starts as the active pane
        QVERIFY(app.treePane().rootItem()->isSelected()); // drawn selected, not in a pale box
        QVERIFY(frame.toolBar()->isVisible());
        QVERIFY(app.router().execute(ID_VIEW_TOOLBAR));
        QVERIFY(!frame.toolBar()->isVisible());
        QCOMPARE(app.router().stateOf(ID_VIEW_TOOLBAR).checked, std::optional<bool>(false));
    }

    void aSelectionChangeBeforeANewBookNeverShowsFreedEntries() {
        const QString book = writeFile(QStringLiteral("s.tlw"), kBook);
        CTellwickApp& app = start({book});
        makeActive();
        // The selection's message is still queued when the book is replaced.
        app.treePane().setCurrentItem(app.treePane().rootItem()->child(0));
        QVERIFY(app.documents().fileNew());
        QCoreApplication::processEvents();
        QCOMPARE(app.listPane().rows().rowCount(), 0);
    }

    void saveAsksBeforeOverwritingAFileChangedElsewhere() {
        const QString book = writeFile(QStringLiteral("c.tlw"), kBook);
        CTellwickApp& app = start({book});
        editBook();
        const QByteArray theirs = "theirs: 1\r\n";
        writeFile(QStringLiteral("c.tlw"), theirs);
        {
            QFile touched(book);
            QVERIFY(touched.open(QIODevice::ReadWrite));
            touched.setFileTime(QDateTime::currentDateTime().addSecs(5),
                                QFileDevice::FileModificationTime);
        }
        prompter_->answers = {Prompter::Answer::No};
        QVERIFY(!app.documents().fileSave());
        QCOMPARE(prompter_->shown.size(), 1);
        QVERIFY(prompter_->shown.first().text.contains(QStringLiteral("他のプログラム")));
        QFile file(book);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), theirs);
        file.close();
        QVERIFY(app.document().isModified());
        prompter_->answers = {Prompter::Answer::Yes};
        QVERIFY(app.documents().fileSave());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), kBook + "added: \r\n");
    }

    // A rewrite in place of the same size whose modification time was put back is noticed
    // too: the change time cannot be put back.
    void saveNoticesARewriteWithItsTimePutBack() {
        const QString book = writeFile(QStringLiteral("d.tlw"), kBook);
        const QByteArray bookPath = QFile::encodeName(book);
        struct stat before {};
        QCOMPARE(::stat(bookPath.constData(), &before), 0);
        CTellwickApp& app = start({book});
        editBook();
        QTest::qWait(20); // past the file system's coarse clock tick
        QByteArray theirs = kBook;
        theirs[0] = 'X';
        {
            QFile file(book);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QCOMPARE(file.write(theirs), qint64(theirs.size()));
        }
        const timespec times[2] = {before.st_atim, before.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, bookPath.constData(), times, 0), 0);
        struct stat after {};
        QCOMPARE(::stat(bookPath.constData(), &after), 0);
        QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        QCOMPARE(after.st_ino, before.st_ino);
        prompter_->answers = {Prompter::Answer::No};
        QVERIFY(!app.documents().fileSave());
        QCOMPARE(prompter_->shown.size(), 1);
        QFile file(book);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), theirs);
    }

    void theFrameRelaysTheMouseWhileItHoldsIt() {
        CTellwickApp& app = start({});
        makeActive();
        CMainFrame& frame = app.frame();
        QWidget* right = frame.pane(1);
        struct Recorder : QObject {
            QList<QPoint> points;
            bool eventFilter(QObject*, QEvent* event) override {
                if (event->type() == QEvent::MouseMove)
                    points << static_cast<QMouseEvent*>(event)->position().toPoint();
                return false;
            }
        } recorder;
        right->installEventFilter(&recorder);
        frame.grabMouse();
        const QPoint inRight = right->mapTo(&frame, QPoint(30, 40));
        QMouseEvent move(QEvent::MouseMove, QPointF(inRight), QPointF(frame.mapToGlobal(inRight)),
                         Qt::NoButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(&frame, &move);
        frame.releaseMouse();
        QCOMPARE(recorder.points, QList<QPoint>{QPoint(30, 40)});
    }

    void hiddenStartServesOpenRequests() {
        const QString book = writeFile(QStringLiteral("d d.tlw"), kBook);
        CTellwickApp& app = start({QStringLiteral("-dde")});
        QVERIFY(!app.frame().isVisible());
        QLocalSocket shell;
        shell.connectToServer(
            ShellSocketPath(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()));
        QVERIFY(shell.waitForConnected(2000));
        shell.write(QStringLiteral("[open(\"%1\")]\n").arg(book).toUtf8());
        QVERIFY(shell.waitForBytesWritten(2000));
        QTRY_VERIFY(app.frame().isVisible());
        QCOMPARE(app.document().pathName(), book);
    }

    void aDeeplyNestedBookOpensShowsAndCloses() {
        QByteArray deep;
        for (int i = 0; i < 100000; ++i)
            deep += "GROUP g\r\n";
        CTellwickApp& app = start({writeFile(QStringLiteral("deep.tlw"), deep)});
        makeActive();
        QTreeWidgetItem* item = app.treePane().rootItem()->child(0);
        QVERIFY(item);
        app.treePane().setCurrentItem(item);
        QTRY_COMPARE(app.listPane().rows().rowCount(), 1);
        QVERIFY(app.documents().fileNew());
        QCOMPARE(app.treePane().rootItem()->childCount(), 0);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
