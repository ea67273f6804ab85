#include "storage/SafeFiles.h"
#include "storage/SaveJournal.h"
#include "storage/StateRecords.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray Name(const QString& path) {
    return QFile::encodeName(path);
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

struct stat StatOf(const QString& path) {
    struct stat info {};
    ::stat(Name(path).constData(), &info);
    return info;
}

QStringList Listing(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

FileOutcome Save(const QString& path, const QByteArray& bytes) {
    return SaveFileSafely(Name(path).toStdString(), std::uint64_t(bytes.size()),
                          [&bytes](std::ostream& out) {
                              out.write(bytes.constData(), std::streamsize(bytes.size()));
                          });
}

// A process id that no process holds: a child's, once it is reaped.
pid_t DeadPid() {
    const pid_t pid = ::fork();
    if (pid == 0)
        _exit(0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return pid;
}

// Saves in a child whose kernel answers error to every open of an unnamed file, as older
// kernels and some file systems do; returns the child's exit status, the save's error.
int SaveWhereUnnamedFilesFail(const QString& path, const QByteArray& bytes, int error) {
    const pid_t child = ::fork();
    if (child == 0) {
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 3),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),
            BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, O_TMPFILE & ~O_DIRECTORY, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | std::uint32_t(error)),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        sock_fprog program{sizeof filter / sizeof filter[0], filter};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            ::_exit(255);
        ::_exit(Save(path, bytes).error);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

class TestSafeFiles : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString path(const QString& name) const { return dir_->filePath(name); }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }
    void cleanup() { UseNamedTemporariesForTesting(false); }

    // A rewrite in place killed at any moment leaves the file whole, old or new, or a record
    // of the cut save that puts either content back byte for byte; a finished rewrite leaves
    // no record.
    void aKilledRewriteInPlaceCanBeUndone() {
        const QByteArray state = Name(path(QStringLiteral("state")));
        qputenv("XDG_STATE_HOME", state);
        const auto restore = qScopeGuard([] { qunsetenv("XDG_STATE_HOME"); });
        const QString book = path(QStringLiteral("book.tlw"));
        const QByteArray oldBytes(24 << 20, 'o');
        const QByteArray newBytes((24 << 20) + 3, 'n');
        const auto twoNames = [&] {
            QVERIFY(WriteBytes(book, oldBytes));
            QFile::remove(path(QStringLiteral("other.tlw")));
            QCOMPARE(::link(Name(book).constData(), Name(path("other.tlw")).constData()), 0);
        };
        // Kill moments from when the file takes its new length, just before its bytes change.
        const auto grown = [&] { return StatOf(book).st_size == newBytes.size(); };
        int cut = 0;
        for (int moment = 0; moment < 16; ++moment) {
            twoNames();
            const pid_t pid = ::fork();
            if (pid == 0)
                _exit(Save(book, newBytes).ok() ? 0 : 1);
            for (int wait = 0; wait < 200000 && !grown(); ++wait)
                ::usleep(10);
            ::usleep(useconds_t(moment * 150));
            ::kill(pid, SIGKILL);
            int status = 0;
            ::waitpid(pid, &status, 0);
            const QByteArray now = ReadBytes(book);
            const std::vector<CutSave> saves = FindCutSaves();
            if (now == oldBytes || now == newBytes) {
                QVERIFY(saves.empty());
                continue;
            }
            ++cut;
            QCOMPARE(saves.size(), std::size_t(1));
            QCOMPARE(QString::fromStdString(saves[0].target), QString(Name(book)));
            QCOMPARE(PutBack(saves[0], saves[0].oldBytes), 0);
            QVERIFY(ReadBytes(path("other.tlw")) == oldBytes); // through the other name too
            QVERIFY(FindCutSaves().empty());
        }
        qInfo("%d of 16 kills cut the rewrite", cut);
        QVERIFY(Save(book, newBytes).ok());
        QVERIFY(ReadBytes(book) == newBytes);
        QVERIFY(Listing(QString::fromLocal8Bit(state) + "/tellwick/saves").isEmpty());
    }

    // $XDG_STATE_HOME when it is an absolute path, else ~/.local/state, with /tmp for a home
    // that is not set or empty.
    void saveRecordFolderFollowsTheStateHome_data() {
        QTest::addColumn<QByteArray>("state"); // null: not set
        QTest::addColumn<QByteArray>("home");
        QTest::addColumn<QString>("folder");
        QTest::newRow("state home") << QByteArray("/s") << QByteArray("/h") << "/s/tellwick/saves";
        QTest::newRow("relative state home")
            << QByteArray("s") << QByteArray("/h") << "/h/.local/state/tellwick/saves";
        QTest::newRow("empty home")
            << QByteArray() << QByteArray("") << "/tmp/.local/state/tellwick/saves";
        QTest::newRow("no home") << QByteArray() << QByteArray()
                                 << "/tmp/.local/state/tellwick/saves";
    }
    void saveRecordFolderFollowsTheStateHome() {
        QFETCH(QByteArray, state);
        QFETCH(QByteArray, home);
        QFETCH(QString, folder);
        const QByteArray oldHome = qgetenv("HOME");
        const auto restore = qScopeGuard([&] {
            qputenv("HOME", oldHome);
            qunsetenv("XDG_STATE_HOME");
        });
        const auto put = [](const char* name, const QByteArray& value) {
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
        };
        put("XDG_STATE_HOME", state);
        put("HOME", home);
        QCOMPARE(QString::fromStdString(SaveRecordFolder()), folder);
    }

    // A FIFO takes the bytes as they come, in place; an errno the writer left behind from a
    // call it got over is no failure of the save.
    void aFifoIsWrittenInPlace() {
        const QByteArray fifo = Name(path("fifo"));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        const auto closeReader = qScopeGuard([reader] { ::close(reader); });
        const auto write = [](std::ostream& out) {
            out << "book";
            errno = ENOENT;
        };
        QCOMPARE(SaveFileSafely(fifo.toStdString(), {}, write, SpecialFiles::WriteDirectly).error,
                 0);
        char bytes[8] = {};
        QCOMPARE(::read(reader, bytes, sizeof bytes), ssize_t(4));
        QCOMPARE(QByteArray(bytes, 4), QByteArray("book"));
    }

    void savedFileHoldsEveryByte_data() {
        QTest::addColumn<QString>("before"); // "none", "file" or "two names"
        QTest::addColumn<bool>("named");
        QTest::addColumn<int>("size");
        for (const bool named : {false, true}) {
            for (const char* before : {"none", "file", "two names"}) {
                for (const int size : {1, 65536, 200001}) {
                    QTest::addRow("%s, %s temporary, %d bytes", before, named ? "named" : "unnamed",
                                  size)
                        << before << named << size;
                }
            }
        }
    }

    // The last byte of every buffer and of the file counts, whichever way the file is written;
    // a rewrite in place keeps the file and its other name.
    void savedFileHoldsEveryByte() {
        QFETCH(QString, before);
        QFETCH(bool, named);
        QFETCH(int, size);
        UseNamedTemporariesForTesting(named);
        const QString file = path("book.tlw");
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i)
            bytes[i] = char('a' + i % 26);
        bytes[size - 1] = 'Z';
        QStringList names{"book.tlw"};
        if (before != "none") {
            QVERIFY(WriteBytes(file, QByteArray(300000, 'o')));
            QVERIFY(::chmod(Name(file).constData(), 0640) == 0);
        }
        if (before == "two names") {
            QVERIFY(::link(Name(file).constData(), Name(path("other.tlw")).constData()) == 0);
            names.append("other.tlw");
        }
        const ino_t inode = StatOf(file).st_ino;

        const FileOutcome outcome = Save(file, bytes);

        QCOMPARE(outcome.error, 0);
        QCOMPARE(ReadBytes(file), bytes);
        QCOMPARE(Listing(dir_->path()), names);
        if (before != "none")
            QCOMPARE(StatOf(file).st_mode & 07777, mode_t(0640));
        if (before == "two names") {
            QCOMPARE(StatOf(file).st_ino, inode);
            QCOMPARE(ReadBytes(path("other.tlw")), bytes);
        }
    }

    // Where unnamed files are not to be had the save makes a named one; any other failure
    // to create the file is the save's.
    void unnamedFilesRefusedFallBackToNamed_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("outcome");
        QTest::newRow("EOPNOTSUPP") << EOPNOTSUPP << 0;
        QTest::newRow("EISDIR") << EISDIR << 0;
        QTest::newRow("EINVAL") << EINVAL << 0;
        QTest::newRow("ENOSPC") << ENOSPC << ENOSPC;
    }
    void unnamedFilesRefusedFallBackToNamed() {
        QFETCH(int, error);
        QFETCH(int, outcome);
        const int saved = SaveWhereUnnamedFilesFail(path("book.tlw"), "book", error);
        if (saved == 255)
            QSKIP("this machine lets no process take a system call filter");
        QCOMPARE(saved, outcome);
        QCOMPARE(Listing(dir_->path()), outcome ? QStringList() : QStringList{"book.tlw"});
        if (!outcome)
            QCOMPARE(ReadBytes(path("book.tlw")), QByteArray("book"));
    }

    // A link named from the working folder points from its own folder, also when that
    // folder's name is a single letter.
    void aRelativeLinkCountsFromItsFolder() {
        QVERIFY(QDir(dir_->path()).mkpath("s/t"));
        QVERIFY(::symlink("t/book.tlw", Name(path("s/link.tlw")).constData()) == 0);
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_->path()));
        const FileOutcome outcome = Save("s/link.tlw", "book");
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(outcome.error, 0);
        QCOMPARE(ReadBytes(path("s/t/book.tlw")), QByteArray("book"));
    }

    // A process that ended but waits to be reaped left its records behind: it is gone.
    void anUnreapedProcessIsGone() {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(0);
        QVERIFY(child > 0);
        const auto reap = qScopeGuard([child] { ::waitpid(child, nullptr, 0); });
        QTRY_VERIFY(!ProcessRuns(child));
        QVERIFY(ProcessRuns(::getpid()));
    }

    // Only what a killed save of this user provably left is removed: this program's name
    // pattern, a regular file of this user, a process that is gone.
    void saveRemovesLeftoversOfDeadSaves() {
        const QByteArray dead = QByteArray::number(DeadPid());
        const QByteArray alive = QByteArray::number(::getppid());
        const QStringList kept{".tlw-" + alive + "-aB3xY9", ".tlw-" + dead + "-short", ".tlwX3b9Qz",
                               "tlw-" + dead + "-aB3xY9"};
        for (const QString& name : kept)
            QVERIFY(WriteBytes(path(name), "left"));
        QVERIFY(WriteBytes(path(".tlw-" + dead + "-aB3xY9"), "left"));
        QVERIFY(::symlink("book.tlw", Name(path(".tlw-" + dead + "-link00")).constData()) == 0);
        QStringList expected = kept + QStringList{".tlw-" + dead + "-link00"};
        if (::geteuid() == 0) {
            QVERIFY(WriteBytes(path(".tlw-" + dead + "-nobody"), "left"));
            QVERIFY(::chown(Name(path(".tlw-" + dead + "-nobody")).constData(), 65534, 65534) == 0);
            expected.append(".tlw-" + dead + "-nobody");
        }
        expected.append("book.tlw");
        expected.sort();

        QCOMPARE(Save(path("book.tlw"), "book").error, 0);

        QCOMPARE(Listing(dir_->path()), expected);
    }
};

QTEST_GUILESS_MAIN(TestSafeFiles)
#include "tst_safefiles.moc"
