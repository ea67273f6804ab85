#include "app/RecoveryKeeper.h"
#include "document/TellwickDoc.h"
#include "framework/CommandRouter.h"
#include "framework/StandardCommands.h"
#include "storage/BookLocks.h"
#include "storage/RecoveryFiles.h"
#include "tests/support/PaneFixture.h"

#include <QDir>
#include <QProcess>
#include <QThread>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kBook("GROUP G\r\n  a: 1\r\nEND GROUP\r\n");
const QByteArray kEdited("GROUP G\r\n  renamed: 1\r\nEND GROUP\r\n");
constexpr char kEditSwitch[] = "--edit-and-hang";
constexpr char kOpenSwitch[] = "--open-and-hang";

// Renames the first address, as a rename in the list would.
void RenameFirstAddress(CTellwickDoc& document) {
    const auto step = document.edits.beginStep(QStringLiteral("名前の変更"));
    document.edits.setName(document.tree.first->firstChild, "renamed");
}

// The child's part: the book opened (and renamed, its copy written), then killed by the test.
int OpenAndHang(const QString& book, const QString& profile, bool edit) {
    ScriptedPrompter prompter;
    CTellwickApp app(prompter, profile);
    if (!app.initInstance({book}))
        return 2;
    if (edit) {
        RenameFirstAddress(app.document());
        app.recovery().writeNow();
    }
    std::puts("ready");
    std::fflush(stdout);
    for (;;)
        QThread::sleep(60);
}

} // namespace

// A window killed with unsaved changes gives them back at the next start; its copies never
// outlive what they protect.
class TestUnsavedWork : public PaneFixture {
    Q_OBJECT

    QString state_;

    QStringList copies() {
        return QDir(QFile::decodeName(RecoveryFolder().c_str())).entryList(QDir::Files);
    }
    // The copy this window keeps, renamed as if its process had been killed.
    void leaveCopyBehind() {
        app_->recovery().writeNow();
        const QString file = QFile::decodeName(app_->recovery().file().c_str());
        QProcess gone;
        gone.start(QStringLiteral("sleep"), {QStringLiteral("0.1")});
        QVERIFY(gone.waitForStarted());
        const qint64 pid = gone.processId();
        QVERIFY(gone.waitForFinished());
        QVERIFY(QFile::rename(file, QFile::decodeName(RecoveryFolder().c_str()) +
                                        QStringLiteral("/book-%1-1").arg(pid)));
    }
    // A new window started as the command line does, answering the boxes with answers;
    // whether it started.
    bool tryStart(const QStringList& arguments, QList<Prompter::Answer> answers) {
        closeApp();
        prompter_ = std::make_unique<ScriptedPrompter>();
        prompter_->answers = answers;
        app_ = std::make_unique<CTellwickApp>(*prompter_, dir_.filePath("tellwick.INI"));
        const bool started = app_->initInstance(arguments);
        QCoreApplication::processEvents();
        return started;
    }
    void start(const QStringList& arguments, QList<Prompter::Answer> answers) {
        QVERIFY(tryStart(arguments, answers));
    }
    // Another window, in a process of its own, with the book open.
    void startChild(QProcess& child, const char* mode, const QString& book) {
        child.start(QCoreApplication::applicationFilePath(),
                    {mode, book, dir_.filePath(QStringLiteral("child.INI"))});
        QVERIFY(child.waitForReadyRead(20000));
        QCOMPARE(child.readLine().trimmed(), QByteArray("ready"));
    }
    QStringList locks() {
        QStringList found =
            QDir(dir_.path()).entryList({".*.tellwick-lock"}, QDir::Hidden | QDir::Files);
        const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
        found += QDir(runtime).entryList({"lock-*"}, QDir::Files);
        return found;
    }

private slots:
    void initTestCase() {
        state_ = dir_.filePath(QStringLiteral("state"));
        qputenv("XDG_STATE_HOME", QFile::encodeName(state_));
        const QString runtime = dir_.filePath(QStringLiteral("runtime"));
        QVERIFY(QDir().mkpath(runtime));
        QVERIFY(
            QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    }
    void cleanup() {
        closeApp();
        QDir(state_).removeRecursively();
    }

    void aKilledWindowsRenameComesBack() {
        const QString book = writeFile(QStringLiteral("book.tlw"), kBook);
        QProcess child;
        startChild(child, kEditSwitch, book);
        child.kill(); // SIGKILL: nothing of the window's own ending runs
        QVERIFY(child.waitForFinished());
        QCOMPARE(copies().size(), 1);
        QFileInfo folder(QFile::decodeName(RecoveryFolder().c_str()));
        QCOMPARE(folder.permissions() & 0x0077, 0); // no rights for group or others
        start({book}, {Prompter::Answer::Yes});
        QCOMPARE(prompter_->shown.size(), 1);
        QVERIFY(prompter_->shown[0].text.startsWith(
            QStringLiteral("保存されていない変更が見つかりました: %1 (").arg(book)));
        QVERIFY(prompter_->shown[0].text.endsWith(QStringLiteral(")。復元しますか?")));
        QCOMPARE(WrittenBook(app_->document()), kEdited);
        QVERIFY(app_->document().isModified());
        QCOMPARE(app_->document().pathName(), book);
        QVERIFY(app_->router().execute(ID_FILE_SAVE));
        QFile saved(book);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), kEdited);
        QVERIFY(copies().isEmpty());
    }

    void anUntitledBookComesBackUntitled() {
        start({}, {});
        {
            const auto step = app_->document().edits.beginStep(QStringLiteral("挿入"));
            app_->document().edits.insertAfter(app_->document().edits.newSeparator(), nullptr);
        }
        const QByteArray edited = WrittenBook(app_->document());
        leaveCopyBehind();
        start({}, {Prompter::Answer::Yes});
        QVERIFY(prompter_->shown.value(0).text.contains(QStringLiteral(": Untitled (")));
        QCOMPARE(WrittenBook(app_->document()), edited);
        QVERIFY(app_->document().isModified());
        QVERIFY(app_->document().pathName().isEmpty());
    }

    // Each way a book stops needing its copy takes the copy away; a copy declined at the
    // start goes too.
    void copiesGoWhenNothingIsLeftToRecover_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("saved") << 0;
        QTest::newRow("undone back to the file") << 1;
        QTest::newRow("closed unsaved") << 2;
        QTest::newRow("declined at the next start") << 3;
    }
    void copiesGoWhenNothingIsLeftToRecover() {
        QFETCH(int, way);
        open(kBook);
        RenameFirstAddress(app_->document());
        if (way == 0) // written by the timer, a few seconds after the change
            QTRY_COMPARE_WITH_TIMEOUT(copies().size(), 1, 3 * RecoveryKeeper::kDelayMs);
        else
            app_->recovery().writeNow();
        QCOMPARE(copies().size(), 1);
        const QString book = app_->document().pathName();
        switch (way) {
        case 0:
            QVERIFY(app_->router().execute(ID_FILE_SAVE));
            break;
        case 1:
            app_->document().edits.undo();
            break;
        case 2:
            closeApp();
            break;
        case 3:
            leaveCopyBehind();
            start({book}, {Prompter::Answer::No});
            QCOMPARE(prompter_->shown.size(), 1);
            QCOMPARE(WrittenBook(app_->document()), kBook);
            QVERIFY(!app_->document().isModified());
            break;
        }
        QVERIFY(copies().isEmpty());
    }

    // Copies of a window still running, readable by others, or of another user are not
    // offered, and are left where they are.
    void othersCopiesAreNotOffered() {
        open(kBook);
        RenameFirstAddress(app_->document());
        leaveCopyBehind();
        const QString left = QFile::decodeName(RecoveryFolder().c_str()) + u'/' + copies()[0];
        const QString live = QFile::decodeName(RecoveryFolder().c_str()) +
                             QStringLiteral("/book-%1-9").arg(::getppid());
        QVERIFY(QFile::copy(left, live));
        QVERIFY(::chmod(QFile::encodeName(left).constData(), 0644) == 0);
        start({}, {});
        QVERIFY(prompter_->shown.isEmpty());
        if (::geteuid() == 0) {
            QVERIFY(::chmod(QFile::encodeName(left).constData(), 0600) == 0);
            QVERIFY(::chown(QFile::encodeName(left).constData(), 65534, 65534) == 0);
            start({}, {});
            QVERIFY(prompter_->shown.isEmpty());
        }
        QCOMPARE(copies().size(), 2);
    }

    // A second window is told who has the book open and opens it only on Yes; once that
    // window is killed its lock is stale and nobody is asked.
    void aBookOpenInAnotherWindow() {
        const QString book = writeFile(QStringLiteral("book.tlw"), kBook);
        QProcess child;
        startChild(child, kOpenSwitch, book);
        QVERIFY(!tryStart({book}, {Prompter::Answer::No}));
        QCOMPARE(prompter_->shown.size(), 1);
        const LockHolder self = ThisProcess();
        QCOMPARE(
            prompter_->shown[0].text,
            QStringLiteral("このアドレス帳は別のウィンドウで開かれています (%1, %2)。開きますか?")
                .arg(QString::fromStdString(self.user), QString::fromStdString(self.host)));
        QVERIFY(app_->document().pathName().isEmpty());
        start({book}, {Prompter::Answer::Yes});
        QCOMPARE(app_->document().pathName(), book);
        closeApp();
        child.kill();
        QVERIFY(child.waitForFinished());
        start({book}, {});
        QVERIFY(prompter_->shown.isEmpty());
    }

    // A lock from another host asks whatever runs here; one whose process id is not a
    // positive number is no lock at all.
    void onlyWholeLocksAsk() {
        const QString book = writeFile(QStringLiteral("book.tlw"), kBook);
        for (const auto& [pid, asks] : {std::pair{"4242", true},
                                        {"4242x", false},
                                        {"0", false},
                                        {"-4242", false},
                                        {"", false}}) {
            writeFile(QStringLiteral(".book.tlw.tellwick-lock"),
                      QByteArray("tellwick lock 1\nsomeone\nelsewhere.invalid\n") + pid + '\n');
            start({book}, {Prompter::Answer::Yes});
            QCOMPARE(prompter_->shown.size(), asks ? 1 : 0);
            QCOMPARE(app_->document().pathName(), book);
            closeApp();
        }
    }

    // The locks follow the book through a save, which gives it a new file, and go with it.
    void locksGoWithTheBook() {
        open(kBook);
        QCOMPARE(locks().size(), 2);
        const QStringList before = locks();
        RenameFirstAddress(app_->document());
        QVERIFY(app_->router().execute(ID_FILE_SAVE));
        QCOMPARE(locks().size(), 2);
        QVERIFY(locks() != before); // the runtime lock is keyed by the new inode
        closeApp();
        QVERIFY(locks().isEmpty());
    }
};

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc == 4 && (qstrcmp(argv[1], kEditSwitch) == 0 || qstrcmp(argv[1], kOpenSwitch) == 0))
        return OpenAndHang(QFile::decodeName(argv[2]), QFile::decodeName(argv[3]),
                           qstrcmp(argv[1], kEditSwitch) == 0);
    TestUnsavedWork test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_unsavedwork.moc"
