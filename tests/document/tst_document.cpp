#include "document/TellwickDoc.h"
#include "file/BookFormat.h"
#include "framework/FileErrors.h"
#include "framework/PathNames.h"
#include "storage/SafeFiles.h"

#include <QtTest>

#include <QCryptographicHash>
#include <QDataStream>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <malloc.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>

char* toString(FileResult::Status status) {
    static const char* const kNames[] = {"Ok", "OpenFailed", "ReadFailed", "CreateFailed",
                                         "WriteFailed"};
    return qstrdup(kNames[static_cast<int>(status)]);
}

namespace {

constexpr uid_t kNobody = 65534;
constexpr int kSkipExit = 77;

QByteArray ErrnoText(int error) {
    return QByteArray::number(error) + " (" + std::strerror(error) + ")";
}

QByteArray Digest(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(12);
}

// A book with groups whose every line depends on seed, so two books differ throughout.
std::string BookText(int entries, char seed) {
    std::string text;
    for (int i = 0; i < entries; ++i) {
        const std::string n = std::string(1, seed) + std::to_string(i);
        if (i % 50 == 0) {
            if (i > 0)
                text += "END GROUP\r\n";
            text += "GROUP group-" + n + "\r\n";
        }
        text += "  name-" + n + ": " + n + "@example.org," + n + "@example.net\r\n";
    }
    if (entries > 0)
        text += "END GROUP\r\n";
    return text;
}

void SetBook(CTellwickDoc& doc, const std::string& text) {
    EntryTree incoming;
    std::istringstream in(text);
    ReadBook(in, incoming);
    doc.tree.Swap(incoming);
}

QByteArray TreeBytes(const EntryTree& tree) {
    std::ostringstream out;
    WriteBook(out, tree);
    const std::string bytes = out.str();
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QByteArray BookBytes(int entries, char seed) {
    EntryTree tree;
    std::istringstream in(BookText(entries, seed));
    ReadBook(in, tree);
    return TreeBytes(tree);
}

// Everything a failed open or save must leave as it was.
struct State {
    QByteArray book;
    QString path;
    QString title;
    bool modified = false;
    bool changedOnDisk = false;
    bool operator==(const State&) const = default;
};

State StateOf(const CTellwickDoc& doc) {
    return {TreeBytes(doc.tree), doc.pathName(), doc.title(), doc.isModified(),
            doc.fileChangedOnDisk()};
}

char* toString(const State& s) {
    return qstrdup(QStringLiteral("book of %1 bytes [%2], path \"%3\", title \"%4\", "
                                  "modified %5, changed on disk %6")
                       .arg(s.book.size())
                       .arg(QString::fromLatin1(Digest(s.book)), s.path, s.title)
                       .arg(s.modified)
                       .arg(s.changedOnDisk)
                       .toUtf8()
                       .constData());
}

QDataStream& operator<<(QDataStream& out, const State& s) {
    return out << s.book << s.path << s.title << s.modified << s.changedOnDisk;
}
QDataStream& operator>>(QDataStream& in, State& s) {
    return in >> s.book >> s.path >> s.title >> s.modified >> s.changedOnDisk;
}

// One name under a directory: its type, permission bits and bytes (a link: its target).
struct DiskEntry {
    char type = '?';
    uint mode = 0;
    QByteArray data;
    bool operator==(const DiskEntry&) const = default;
};

// A directory tree as seen on disk, so a failure that touched any name in it shows.
struct DiskState {
    QMap<QString, DiskEntry> entries;
    bool operator==(const DiskState& other) const { return entries == other.entries; }
};

char* toString(const DiskState& disk) {
    QStringList lines;
    for (auto it = disk.entries.cbegin(); it != disk.entries.cend(); ++it) {
        const DiskEntry& e = it.value();
        lines << QStringLiteral("%1 %2 %3 %4 bytes [%5]")
                     .arg(it.key(), QChar::fromLatin1(e.type))
                     .arg(e.mode, 4, 8, QLatin1Char('0'))
                     .arg(e.data.size())
                     .arg(e.type == 'l' ? QString::fromLocal8Bit(e.data)
                                        : QString::fromLatin1(Digest(e.data)));
    }
    return qstrdup(("{" + lines.join(QStringLiteral("; ")) + "}").toUtf8().constData());
}

QDataStream& operator<<(QDataStream& out, const DiskState& disk) {
    out << qint32(disk.entries.size());
    for (auto it = disk.entries.cbegin(); it != disk.entries.cend(); ++it)
        out << it.key() << qint8(it.value().type) << it.value().mode << it.value().data;
    return out;
}
QDataStream& operator>>(QDataStream& in, DiskState& disk) {
    qint32 count = 0;
    in >> count;
    for (qint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        QString name;
        qint8 type = 0;
        DiskEntry entry;
        in >> name >> type >> entry.mode >> entry.data;
        entry.type = static_cast<char>(type);
        disk.entries.insert(name, entry);
    }
    return in;
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable: " + file.errorString().toUtf8() + ">";
    return file.readAll();
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
}

QString ModeOf(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return "<missing: " + QString::fromLocal8Bit(std::strerror(errno)) + ">";
    return QString::number(info.st_mode & 07777, 8);
}

// Names as bytes: QDir would not list a name that is not UTF-8 as it is.
QList<QByteArray> NamesIn(const QString& folder) {
    QList<QByteArray> names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    while (dirent* entry = dir ? ::readdir(dir) : nullptr) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names << entry->d_name;
    }
    if (dir)
        ::closedir(dir);
    return names;
}

bool IsFifo(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

DiskState ScanDisk(const QString& top) {
    DiskState disk;
    QStringList pending{QString()};
    while (!pending.isEmpty()) {
        const QString relative = pending.takeLast();
        const QString dirPath = relative.isEmpty() ? top : top + '/' + relative;
        DIR* dir = ::opendir(QFile::encodeName(dirPath).constData());
        if (!dir) {
            disk.entries.insert(relative + "/<unreadable>", {});
            continue;
        }
        while (const dirent* d = ::readdir(dir)) {
            const QString name = QFile::decodeName(d->d_name);
            if (name == "." || name == "..")
                continue;
            const QString key = relative.isEmpty() ? name : relative + '/' + name;
            const QString full = top + '/' + key;
            struct stat info {};
            DiskEntry entry;
            if (::lstat(QFile::encodeName(full).constData(), &info) == 0) {
                entry.mode = info.st_mode & 07777;
                if (S_ISLNK(info.st_mode)) {
                    entry.type = 'l';
                    char target[4096];
                    const ssize_t length =
                        ::readlink(QFile::encodeName(full).constData(), target, sizeof target);
                    entry.data = QByteArray(target, length > 0 ? length : 0);
                } else if (S_ISDIR(info.st_mode)) {
                    entry.type = 'd';
                    pending << key;
                } else if (S_ISREG(info.st_mode)) {
                    entry.type = 'f';
                    entry.data = ReadBytes(full);
                }
            }
            disk.entries.insert(key, entry);
        }
        ::closedir(dir);
    }
    return disk;
}

// What a child process saw: the outcome of one open or save, the document afterwards, and
// the disk before and after where only the child could see it.
struct Report {
    FileResult result;
    State state;
    DiskState before;
    DiskState after;
};

QByteArray Encode(const Report& report) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << qint32(report.result.status) << qint32(report.result.error) << report.state
        << report.before << report.after;
    return bytes;
}

bool Decode(const QByteArray& bytes, Report& report) {
    QDataStream in(bytes);
    qint32 status = 0;
    qint32 error = 0;
    in >> status >> error >> report.state >> report.before >> report.after;
    report.result = {static_cast<FileResult::Status>(status), error};
    return in.status() == QDataStream::Ok && in.atEnd();
}

bool WriteAll(int fd, const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QByteArray ReadAll(int fd) {
    QByteArray bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return bytes;
        bytes.append(chunk, n);
    }
}

int WaitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

QStringList ListDir(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System |
                                  QDir::Hidden);
}

struct ChildOutcome {
    enum Kind { Done, Skipped, Failed } kind = Failed;
    QByteArray data; // the child's bytes when done, else a message
};

// Runs body in a forked child. body fills its bytes and returns 0, or returns kSkipExit
// with the reason in them. The child ends with _exit: no exit handlers, no leak check, no
// second flush of buffers it inherited.
template <typename Body> ChildOutcome RunInChild(Body body) {
    int fds[2];
    if (::pipe(fds) != 0)
        return {ChildOutcome::Failed, "pipe: " + ErrnoText(errno)};
    const pid_t pid = ::fork();
    if (pid < 0)
        return {ChildOutcome::Failed, "fork: " + ErrnoText(errno)};
    if (pid == 0) {
        ::close(fds[0]);
        QByteArray bytes;
        const int code = body(bytes);
        _exit(WriteAll(fds[1], bytes) ? code : 3);
    }
    ::close(fds[1]);
    const QByteArray bytes = ReadAll(fds[0]);
    ::close(fds[0]);
    const int status = WaitFor(pid);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return {ChildOutcome::Done, bytes};
    if (WIFEXITED(status) && WEXITSTATUS(status) == kSkipExit)
        return {ChildOutcome::Skipped, bytes};
    return {ChildOutcome::Failed,
            "child ended with wait status " + QByteArray::number(status) + ": " + bytes};
}

// A rewrite in place keeps its record in the user's state folder; root's is not nobody's.
constexpr char kNobodyStateFolder[] = "/tmp/tellwick-tests-nobody-state";

// Root ignores permission bits; become nobody so that they apply. Empty when that worked.
QByteArray DropRoot() {
    if (::geteuid() != 0)
        return {};
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
        return "cannot drop root privileges: " + ErrnoText(errno);
    if (::setuid(0) == 0)
        return "root privileges came back after setuid(65534)";
    ::setenv("XDG_STATE_HOME", kNobodyStateFolder, 1);
    return {};
}

// Runs one file operation on doc as nobody in a child and sends back its result and the
// book's state afterwards.
template <typename Operation> ChildOutcome RunAsNobody(const CTellwickDoc& doc, Operation op) {
    return RunInChild([&](QByteArray& out) {
        out = DropRoot();
        if (!out.isEmpty())
            return kSkipExit;
        Report report;
        report.result = op();
        report.state = StateOf(doc);
        out = Encode(report);
        return 0;
    });
}

bool WriteProcFile(const char* path, const QByteArray& text) {
    const int fd = ::open(path, O_WRONLY);
    if (fd < 0)
        return false;
    const bool ok = WriteAll(fd, text);
    ::close(fd);
    return ok;
}

// Gives this process a mount namespace of its own, so that a mount vanishes with it and
// never reaches the host. Empty when that worked.
QByteArray PrivateMountNamespace() {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWNS) != 0) {
        // Without CAP_SYS_ADMIN, a user namespace grants it over a new mount namespace.
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return "cannot create a mount namespace: " + ErrnoText(errno);
        if (!WriteProcFile("/proc/self/setgroups", "deny") ||
            !WriteProcFile("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1") ||
            !WriteProcFile("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1"))
            return "cannot map ids in a user namespace: " + ErrnoText(errno);
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return "cannot make mounts private: " + ErrnoText(errno);
    return {};
}

// Returns some bytes in small reads and then fails, as a disk read error part way would;
// with failAtEnd false it ends normally instead.
class FailingDevice : public QIODevice {
public:
    FailingDevice(QByteArray head, bool failAtEnd)
        : head_(std::move(head)), failAtEnd_(failAtEnd) {}
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        if (offset_ == head_.size()) {
            if (!failAtEnd_)
                return 0;
            setErrorString(QStringLiteral("injected read error"));
            return -1;
        }
        const qint64 n = qMin<qint64>(qMin<qint64>(maxSize, 4096), head_.size() - offset_);
        std::memcpy(data, head_.constData() + offset_, static_cast<std::size_t>(n));
        offset_ += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray head_;
    bool failAtEnd_;
    qsizetype offset_ = 0;
};

} // namespace

class TestDocument : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;

    QString path(const QString& name) const { return dir_->filePath(name); }

    // Opens a book from disk and then changes it in memory, so that a failure touching the
    // contents, the path, the title or the flag shows.
    bool openAndChange(CTellwickDoc& doc) {
        if (!WriteBytes(path("old.tlw"), BookBytes(20, 'o')) ||
            !doc.openDocument(path("old.tlw")).ok())
            return false;
        doc.tree.AppendEntry(MakeEntry(doc.tree, "added: added@example.org", LineKind::Address),
                             nullptr, false);
        doc.setModifiedFlag(true);
        return doc.isModified() && TreeBytes(doc.tree) != BookBytes(20, 'o');
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        // Children that drop root must be able to reach the files made here.
        QVERIFY(::chmod(QFile::encodeName(dir_->path()).constData(), 0755) == 0);
    }

    void cleanup() {
        // Without root, a read-only directory would keep its files from being removed.
        QDirIterator it(dir_->path(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            ::chmod(QFile::encodeName(it.next()).constData(), 0755);
        dir_.reset();
    }

    void openEmptyFileGivesEmptyBook() {
        CTellwickDoc doc;
        QVERIFY(openAndChange(doc));
        QVERIFY(WriteBytes(path("empty.tlw"), {}));

        const FileResult result = doc.openDocument(path("empty.tlw"));

        QCOMPARE(result.status, FileResult::Status::Ok);
        QVERIFY(doc.tree.first == nullptr);
        QCOMPARE(doc.title(), QStringLiteral("empty.tlw"));
        QCOMPARE(doc.pathName(), QFileInfo(path("empty.tlw")).absoluteFilePath());
        QVERIFY(!doc.isModified());
        QVERIFY(!doc.fileChangedOnDisk());
        QCOMPARE(ReadBytes(path("empty.tlw")), QByteArray());
    }

    // A name without a directory is saved in the current one and kept as a full path.
    void saveGivenARelativePath() {
        CTellwickDoc doc;
        SetBook(doc, "x: 1\r\n");
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_->path()));
        const FileResult result = doc.saveDocument(QStringLiteral("relative.tlw"));
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(result.status, FileResult::Status::Ok);
        QCOMPARE(doc.pathName(), path("relative.tlw"));
        QCOMPARE(ReadBytes(path("relative.tlw")), QByteArray("x: 1\r\n"));
        QVERIFY(!doc.fileChangedOnDisk());
    }

    void openFailureLeavesBookAlone_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("expectedError");
        QTest::newRow("missing file") << "missing" << ENOENT;
        QTest::newRow("directory") << "directory" << EISDIR;
        QTest::newRow("link to a directory") << "link to directory" << EISDIR;
        QTest::newRow("file without read permission") << "unreadable" << EACCES;
    }

    void openFailureLeavesBookAlone() {
        QFETCH(QString, kind);
        QFETCH(int, expectedError);
        CTellwickDoc doc;
        QVERIFY(openAndChange(doc));
        QString target = path("target.tlw");
        if (kind == "directory" || kind == "link to directory") {
            QVERIFY(QDir(dir_->path()).mkdir("folder.tlw"));
            QVERIFY(WriteBytes(path("folder.tlw/inside.tlw"), BookBytes(3, 'i')));
            target = path("folder.tlw");
            if (kind == "link to directory") {
                QVERIFY(QFile::link("folder.tlw", path("link.tlw")));
                target = path("link.tlw");
            }
        } else if (kind == "unreadable") {
            QVERIFY(WriteBytes(target, BookBytes(3, 'u')));
            QVERIFY(::chmod(QFile::encodeName(target).constData(), 0200) == 0);
        }
        const State before = StateOf(doc);
        const DiskState diskBefore = ScanDisk(dir_->path());

        Report report;
        if (kind == "unreadable") {
            const ChildOutcome child = RunAsNobody(doc, [&] { return doc.openDocument(target); });
            if (child.kind == ChildOutcome::Skipped)
                QSKIP(child.data.constData());
            QVERIFY2(child.kind == ChildOutcome::Done, child.data.constData());
            QVERIFY(Decode(child.data, report));
        } else {
            report.result = doc.openDocument(target);
            report.state = StateOf(doc);
        }

        QCOMPARE(report.result.status, FileResult::Status::OpenFailed);
        QCOMPARE(ErrnoText(report.result.error), ErrnoText(expectedError));
        QCOMPARE(report.state, before);
        QCOMPARE(ScanDisk(dir_->path()), diskBefore);
    }

    void readErrorPartWayLeavesBookAlone_data() {
        QTest::addColumn<int>("headBytes");
        QTest::addColumn<bool>("fails");
        const int whole = static_cast<int>(BookBytes(2000, 'r').size());
        QTest::newRow("fails at once") << 0 << true;
        QTest::newRow("fails after whole lines") << 500 << true;
        QTest::newRow("fails inside a line") << 517 << true;
        QTest::newRow("fails after several buffers") << whole - 1000 << true;
        QTest::newRow("fails after the last byte") << whole << true;
        // The same device without the error loads: the failures above are the error's doing.
        QTest::newRow("no error: loads") << whole << false;
    }

    void readErrorPartWayLeavesBookAlone() {
        QFETCH(int, headBytes);
        QFETCH(bool, fails);
        CTellwickDoc doc;
        QVERIFY(openAndChange(doc));
        const State before = StateOf(doc);
        const QByteArray whole = BookBytes(2000, 'r');
        QVERIFY(headBytes <= whole.size());
        FailingDevice device(whole.left(headBytes), fails);
        QVERIFY(device.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
        const DiskState diskBefore = ScanDisk(dir_->path());

        const FileResult result = doc.loadFromDevice(device, path("incoming.tlw"));

        if (!fails) {
            QCOMPARE(result.status, FileResult::Status::Ok);
            QCOMPARE(TreeBytes(doc.tree), whole);
            QCOMPARE(doc.pathName(), QFileInfo(path("incoming.tlw")).absoluteFilePath());
            QCOMPARE(doc.title(), QStringLiteral("incoming.tlw"));
            QVERIFY(!doc.isModified());
            return;
        }
        QCOMPARE(result.status, FileResult::Status::ReadFailed);
        QCOMPARE(ErrnoText(result.error), ErrnoText(EIO));
        QCOMPARE(StateOf(doc), before);
        QCOMPARE(ScanDisk(dir_->path()), diskBefore);
    }

    void saveEmptyBookWritesNoBytes_data() {
        QTest::addColumn<bool>("fileExists");
        QTest::newRow("over a book") << true;
        QTest::newRow("new file") << false;
    }

    void saveEmptyBookWritesNoBytes() {
        QFETCH(bool, fileExists);
        if (fileExists)
            QVERIFY(WriteBytes(path("book.tlw"), BookBytes(10, 'b')));
        CTellwickDoc doc;
        QVERIFY(doc.onNewDocument());
        doc.setModifiedFlag(true);

        const FileResult result = doc.saveDocument(path("book.tlw"));

        QCOMPARE(result.status, FileResult::Status::Ok);
        QCOMPARE(QFileInfo(path("book.tlw")).size(), 0);
        QCOMPARE(
            QDir(dir_->path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden),
            QStringList{"book.tlw"});
        QCOMPARE(doc.pathName(), QFileInfo(path("book.tlw")).absoluteFilePath());
        QCOMPARE(doc.title(), QStringLiteral("book.tlw"));
        QVERIFY(!doc.isModified());
        QVERIFY(!doc.fileChangedOnDisk());
    }

    void saveReplacesFileAtomicallyKeepingMode_data() {
        QTest::addColumn<uint>("mode");
        QTest::newRow("0640") << 0640u;
        QTest::newRow("0600") << 0600u;
        QTest::newRow("0666, wider than the umask allows") << 0666u;
        QTest::newRow("0444, read-only file") << 0444u;
    }

    void saveReplacesFileAtomicallyKeepingMode() {
        QFETCH(uint, mode);
        if (!(mode & 0200) && ::geteuid() != 0)
            QSKIP("only root may replace a read-only file; saveWithoutWritePermission... checks "
                  "the refusal");
        const QString file = path("book.tlw");
        const QByteArray old = BookBytes(10, 'o');
        QVERIFY(WriteBytes(file, old));
        QVERIFY(::chmod(QFile::encodeName(file).constData(), mode) == 0);
        // A descriptor kept on the old file shows whether its bytes were rewritten in place.
        const int oldFd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(oldFd >= 0);
        const auto closeOld = qScopeGuard([oldFd] { ::close(oldFd); });
        const quint64 oldInode = DiskStamp::of(file).inode;
        CTellwickDoc doc;
        SetBook(doc, BookText(300, 'n'));
        doc.setModifiedFlag(true);
        const QByteArray book = TreeBytes(doc.tree);

        const FileResult result = doc.saveDocument(file);

        QCOMPARE(result.status, FileResult::Status::Ok);
        QCOMPARE(ReadBytes(file), book);
        QCOMPARE(ModeOf(file), QString::number(mode, 8));
        QVERIFY(DiskStamp::of(file).inode != oldInode);
        QCOMPARE(ReadAll(::dup(oldFd)), old);
        QCOMPARE(
            QDir(dir_->path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden),
            (QStringList{"book.tlw"}));
        QCOMPARE(TreeBytes(doc.tree), book);
        QCOMPARE(doc.pathName(), QFileInfo(file).absoluteFilePath());
        QCOMPARE(doc.title(), QStringLiteral("book.tlw"));
        QVERIFY(!doc.isModified());
        QVERIFY(!doc.fileChangedOnDisk());
    }

    void saveAsRootKeepsOwner() {
        if (::geteuid() != 0)
            QSKIP("only root can save over another user's file and keep its owner");
        const QString file = path("book.tlw");
        QVERIFY(WriteBytes(file, BookBytes(10, 'o')));
        QVERIFY(::chown(QFile::encodeName(file).constData(), kNobody, kNobody) == 0);
        QVERIFY(::chmod(QFile::encodeName(file).constData(), 0600) == 0);
        CTellwickDoc doc;
        SetBook(doc, BookText(30, 'n'));

        QCOMPARE(doc.saveDocument(file).status, FileResult::Status::Ok);

        struct stat info {};
        QVERIFY(::stat(QFile::encodeName(file).constData(), &info) == 0);
        // Owned by root with mode 0600, the book would be lost to its owner.
        QCOMPARE(info.st_uid, kNobody);
        QCOMPARE(info.st_gid, gid_t(kNobody));
        QCOMPARE(ModeOf(file), QStringLiteral("600"));
        QCOMPARE(ReadBytes(file), TreeBytes(doc.tree));
    }

    void saveThroughSymbolicLinkWritesTarget_data() {
        QTest::addColumn<QString>("targetName");
        QTest::addColumn<QString>("linkText");
        QTest::newRow("relative link, same directory") << "target.tlw"
                                                       << "target.tlw";
        QTest::newRow("relative link, other directory") << "elsewhere/target.tlw"
                                                        << "elsewhere/target.tlw";
        QTest::newRow("link to a link") << "target.tlw"
                                        << "middle.tlw";
    }

    void saveThroughSymbolicLinkWritesTarget() {
        QFETCH(QString, targetName);
        QFETCH(QString, linkText);
        QVERIFY(QDir(dir_->path()).mkpath("elsewhere"));
        const QString target = path(targetName);
        QVERIFY(WriteBytes(target, BookBytes(5, 'o')));
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0640) == 0);
        if (linkText == "middle.tlw")
            QVERIFY(::symlink(QFile::encodeName(targetName).constData(),
                              QFile::encodeName(path("middle.tlw")).constData()) == 0);
        const QString link = path("link.tlw");
        QVERIFY(::symlink(QFile::encodeName(linkText).constData(),
                          QFile::encodeName(link).constData()) == 0);
        CTellwickDoc doc;
        SetBook(doc, BookText(30, 'n'));
        doc.setModifiedFlag(true);
        DiskState expected = ScanDisk(dir_->path());
        expected.entries[targetName].data = TreeBytes(doc.tree);

        const FileResult result = doc.saveDocument(link);

        QCOMPARE(result.status, FileResult::Status::Ok);
        // Links unchanged, the target holds the book with its mode, nothing else appeared.
        QCOMPARE(ScanDisk(dir_->path()), expected);
        QCOMPARE(doc.pathName(), QFileInfo(link).absoluteFilePath());
        QCOMPARE(doc.title(), QStringLiteral("link.tlw"));
        QVERIFY(!doc.isModified());
        QVERIFY(!doc.fileChangedOnDisk());
    }

    void saveWithoutWritePermissionChangesNothing_data() {
        QTest::addColumn<uint>("dirMode");
        QTest::addColumn<uint>("fileMode");
        // A read-only file is refused even where its folder would let it be replaced.
        QTest::newRow("writable directory, read-only file") << 0755u << 0444u;
        QTest::newRow("read-only directory, read-only file") << 0555u << 0444u;
    }

    void saveWithoutWritePermissionChangesNothing() {
        QFETCH(uint, dirMode);
        QFETCH(uint, fileMode);
        QVERIFY(QDir(dir_->path()).mkdir("locked"));
        const QString file = path("locked/book.tlw");
        QVERIFY(WriteBytes(file, BookBytes(5, 'o')));
        // Both belong to the user who saves, so only the permission bits decide.
        if (::geteuid() == 0) {
            QVERIFY(::chown(QFile::encodeName(file).constData(), kNobody, kNobody) == 0);
            QVERIFY(::chown(QFile::encodeName(path("locked")).constData(), kNobody, kNobody) == 0);
        }
        QVERIFY(::chmod(QFile::encodeName(file).constData(), fileMode) == 0);
        QVERIFY(::chmod(QFile::encodeName(path("locked")).constData(), dirMode) == 0);
        CTellwickDoc doc;
        QVERIFY(openAndChange(doc));
        const State before = StateOf(doc);
        const DiskState diskBefore = ScanDisk(dir_->path());

        const ChildOutcome child = RunAsNobody(doc, [&] { return doc.saveDocument(file); });
        if (child.kind == ChildOutcome::Skipped)
            QSKIP(child.data.constData());
        QVERIFY2(child.kind == ChildOutcome::Done, child.data.constData());
        Report report;
        QVERIFY(Decode(child.data, report));

        QCOMPARE(report.result.status, FileResult::Status::CreateFailed);
        QCOMPARE(ErrnoText(report.result.error), ErrnoText(EACCES));
        QCOMPARE(report.state, before);
        QCOMPARE(ScanDisk(dir_->path()), diskBefore);
    }

    void saveOnFullDiskChangesNothing() {
        QVERIFY(QDir(dir_->path()).mkdir("small"));
        const QString mountPoint = path("small");
        const QString file = path("small/book.tlw");
        const QByteArray oldBook = BookBytes(5, 'o');
        CTellwickDoc doc;
        QVERIFY(openAndChange(doc));
        SetBook(doc, BookText(3000, 'n'));
        QVERIFY(TreeBytes(doc.tree).size() > 2 * 64 * 1024);
        const State before = StateOf(doc);

        // The small file system lives in the child's own mount namespace: the host never
        // sees it, and it goes away with the child whatever happens.
        const ChildOutcome child = RunInChild([&](QByteArray& out) {
            out = PrivateMountNamespace();
            if (!out.isEmpty())
                return kSkipExit;
            const QByteArray target = QFile::encodeName(mountPoint);
            if (::mount("tmpfs", target.constData(), "tmpfs", 0, "size=64k,mode=0755") != 0) {
                out = "cannot mount a 64 KiB tmpfs: " + ErrnoText(errno);
                return kSkipExit;
            }
            Report report;
            if (!WriteBytes(file, oldBook) || ::chmod(target.constData(), 0755) != 0 ||
                ::chmod(QFile::encodeName(file).constData(), 0640) != 0) {
                out = "cannot prepare the small file system";
                return 2;
            }
            report.before = ScanDisk(mountPoint);
            report.result = doc.saveDocument(file);
            report.state = StateOf(doc);
            report.after = ScanDisk(mountPoint);
            if (::umount(target.constData()) != 0) {
                out = "umount: " + ErrnoText(errno);
                return 2;
            }
            out = Encode(report);
            return 0;
        });
        if (child.kind == ChildOutcome::Skipped)
            QSKIP(child.data.constData());
        QVERIFY2(child.kind == ChildOutcome::Done, child.data.constData());
        Report report;
        QVERIFY(Decode(child.data, report));

        QCOMPARE(report.before.entries.keys(), QStringList{"book.tlw"});
        QCOMPARE(report.before.entries["book.tlw"].data, oldBook);
        QCOMPARE(report.result.status, FileResult::Status::WriteFailed);
        QCOMPARE(ErrnoText(report.result.error), ErrnoText(ENOSPC));
        QCOMPARE(report.after, report.before);
        QCOMPARE(report.state, before);
        QVERIFY(QDir(mountPoint).isEmpty());
    }

    void saveOntoDirectoryChangesNothing_data() {
        QTest::addColumn<bool>("throughLink");
        QTest::newRow("directory") << false;
        QTest::newRow("link to a directory") << true;
    }

    void saveOntoDirectoryChangesNothing() {
        QFETCH(bool, throughLink);
        QVERIFY(QDir(dir_->path()).mkdir("folder.tlw"));
        QVERIFY(WriteBytes(path("folder.tlw/inside.tlw"), BookBytes(3, 'i')));
        QString target = path("folder.tlw");
        if (throughLink) {
            QVERIFY(QFile::link("folder.tlw", path("link.tlw")));
            target = path("link.tlw");
        }
        CTellwickDoc doc;
        QVERIFY(openAndChange(doc));
        const State before = StateOf(doc);
        const DiskState diskBefore = ScanDisk(dir_->path());

        const FileResult result = doc.saveDocument(target);

        QCOMPARE(result.status, FileResult::Status::CreateFailed);
        QCOMPARE(ErrnoText(result.error), ErrnoText(EISDIR));
        QCOMPARE(StateOf(doc), before);
        QCOMPARE(ScanDisk(dir_->path()), diskBefore);
    }

    void saveKilledPartWayLeavesOneWholeBook_data() {
        QTest::addColumn<bool>("named");
        QTest::newRow("new content unnamed until complete") << false;
        QTest::newRow("named temporaries") << true;
    }

    // A killed save leaves the old or the new book, and at most a whole book under a name
    // that carries its process id, which the next save removes.
    void saveKilledPartWayLeavesOneWholeBook() {
        QFETCH(bool, named);
        const QString file = path("book.tlw");
        CTellwickDoc bookA;
        CTellwickDoc bookB;
        SetBook(bookA, BookText(6000, 'a'));
        SetBook(bookB, BookText(6000, 'b'));
        const QByteArray bytesA = TreeBytes(bookA.tree);
        const QByteArray bytesB = TreeBytes(bookB.tree);
        QVERIFY(bytesA.size() > 200 * 1024 && bytesB.size() > 200 * 1024);
        QVERIFY(bookA.saveDocument(file).ok());
        QCOMPARE(ReadBytes(file), bytesA);

        int savesDone = 0;
        int endedAsB = 0;
        QSet<QString> strays;
        QStringList killedPrefixes;
        for (int round = 0; round < 20; ++round) {
            int fds[2];
            QVERIFY(::pipe(fds) == 0);
            const pid_t pid = ::fork();
            QVERIFY(pid >= 0);
            if (pid == 0) {
                ::close(fds[0]);
                UseNamedTemporariesForTesting(named);
                // One byte a save: 'S' once started, then 'A' or 'B' per save, 'X' on failure.
                bool ok = WriteAll(fds[1], "S");
                for (;;) {
                    ok = ok && WriteAll(fds[1], bookA.saveDocument(file).ok() ? "A" : "X");
                    ok = ok && WriteAll(fds[1], bookB.saveDocument(file).ok() ? "B" : "X");
                    if (!ok)
                        _exit(2);
                }
            }
            ::close(fds[1]);
            bool reaped = false;
            // Never leave the child saving when a check below fails; once reaped, its id
            // may belong to someone else and must not be signalled.
            auto reap = qScopeGuard([&] {
                if (!reaped) {
                    ::kill(pid, SIGKILL);
                    WaitFor(pid);
                }
                ::close(fds[0]);
            });
            char started = 0;
            QCOMPARE(::read(fds[0], &started, 1), ssize_t(1));
            const int delayMs = QRandomGenerator::global()->bounded(1, 40);
            ::usleep(static_cast<useconds_t>(delayMs) * 1000);
            QCOMPARE(::kill(pid, SIGKILL), 0);
            const int status = WaitFor(pid);
            reaped = true;
            QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL,
                     qPrintable(QStringLiteral("round %1: the saving child ended by itself, "
                                               "wait status %2")
                                    .arg(round)
                                    .arg(status)));
            const QByteArray marks = ReadAll(fds[0]);
            QVERIFY2(!marks.contains('X'),
                     qPrintable(QStringLiteral("round %1: a save failed").arg(round)));
            savesDone += static_cast<int>(marks.size());

            const QByteArray now = ReadBytes(file);
            QVERIFY2(now == bytesA || now == bytesB,
                     qPrintable(QStringLiteral("round %1, killed after %2 ms: the file holds "
                                               "%3 bytes that are neither book")
                                    .arg(round)
                                    .arg(delayMs)
                                    .arg(now.size())));
            endedAsB += now == bytesB;

            killedPrefixes.append(".tlw-" + QString::number(pid) + "-");
            for (const QString& name : ListDir(dir_->path())) {
                if (name == "book.tlw")
                    continue;
                strays.insert(name);
                const auto killed = [&name](const QString& prefix) {
                    return name.startsWith(prefix);
                };
                QVERIFY2(std::any_of(killedPrefixes.begin(), killedPrefixes.end(), killed),
                         qPrintable("round " + QString::number(round) + ": left " + name));
                const QByteArray stray = ReadBytes(path(name));
                if (!named)
                    QVERIFY2(stray == bytesA || stray == bytesB,
                             qPrintable("round " + QString::number(round) + ": " + name +
                                        " was named before it was complete"));
            }
        }
        // Named temporaries stay after about every other kill; an unnamed file has a name only
        // between its link and its rename, a sliver of each save.
        if (!named)
            QVERIFY2(strays.size() <= 3, qPrintable(QString::number(strays.size()) +
                                                    " of 20 kills left a file beside the book"));
        QVERIFY(bookA.saveDocument(file).ok());
        QCOMPARE(ListDir(dir_->path()), QStringList{"book.tlw"});
        // Kills that all landed before the first save would have tested nothing.
        QVERIFY2(savesDone > 0, "no save finished before any kill");
        qInfo("%d saves finished across the rounds; the file held book B after %d of 20 kills; "
              "%d files were left beside it",
              savesDone, endedAsB, int(strays.size()));
    }

    // Every open gives its descriptor back.
    void openingManyTimesKeepsNoDescriptor() {
        const QString file = path("book.tlw");
        QVERIFY(WriteBytes(file, BookBytes(5, 'o')));
        CTellwickDoc doc;
        QVERIFY(doc.openDocument(file).ok());
        const qsizetype before = ListDir("/proc/self/fd").size();
        for (int i = 0; i < 50; ++i)
            QVERIFY(doc.openDocument(file).ok());
        QCOMPARE(ListDir("/proc/self/fd").size(), before);
    }

    void fileChangedOnDiskFollowsOtherWriters_data() {
        QTest::addColumn<QString>("change");
        QTest::newRow("rewritten in place, same size, new mtime") << "in place";
        QTest::newRow("replaced by rename, same size and mtime") << "replaced";
        QTest::newRow("grown in place, same mtime") << "grown";
    }

    void fileChangedOnDiskFollowsOtherWriters() {
        QFETCH(QString, change);
        const QString file = path("book.tlw");
        QVERIFY(WriteBytes(file, BookBytes(10, 'o')));
        CTellwickDoc doc;
        QVERIFY(!doc.fileChangedOnDisk());
        QVERIFY(doc.openDocument(file).ok());
        QVERIFY(!doc.fileChangedOnDisk());
        SetBook(doc, BookText(12, 'n'));
        QVERIFY(doc.saveDocument(file).ok());
        QVERIFY(!doc.fileChangedOnDisk());

        // Another process rewrites the file; each row leaves only one of size, mtime and
        // identity changed, independent of the clock's granularity.
        const ChildOutcome child = RunInChild([&](QByteArray& out) {
            const QByteArray name = QFile::encodeName(file);
            struct stat info {};
            if (::stat(name.constData(), &info) != 0) {
                out = "stat: " + ErrnoText(errno);
                return 2;
            }
            QByteArray other = ReadBytes(file);
            other.replace('n', 'm');
            timespec times[2] = {info.st_atim, info.st_mtim};
            bool ok = false;
            if (change == "in place") {
                times[1].tv_sec += 2;
                const int fd = ::open(name.constData(), O_WRONLY);
                ok = fd >= 0 && WriteAll(fd, other) && ::futimens(fd, times) == 0;
                ::close(fd);
            } else if (change == "replaced") {
                const QByteArray fresh = QFile::encodeName(path("fresh.tlw"));
                ok = WriteBytes(path("fresh.tlw"), other) &&
                     ::utimensat(AT_FDCWD, fresh.constData(), times, 0) == 0 &&
                     ::rename(fresh.constData(), name.constData()) == 0;
            } else {
                const int fd = ::open(name.constData(), O_WRONLY | O_APPEND);
                ok = fd >= 0 && WriteAll(fd, "x: y\r\n") && ::futimens(fd, times) == 0;
                ::close(fd);
            }
            out = ok ? QByteArray() : "rewriting failed: " + ErrnoText(errno);
            return ok ? 0 : 2;
        });
        QVERIFY2(child.kind == ChildOutcome::Done, child.data.constData());

        QVERIFY(doc.fileChangedOnDisk());
        // A failed save writes nothing, so the other writer's change is still unseen.
        QVERIFY(QDir(dir_->path()).mkdir("folder"));
        QVERIFY(!doc.saveDocument(path("folder")).ok());
        QVERIFY(doc.fileChangedOnDisk());
        QVERIFY(doc.saveDocument(file).ok());
        QVERIFY(!doc.fileChangedOnDisk());
        QCOMPARE(ReadBytes(file), TreeBytes(doc.tree));
    }

    void openRefusesWhatIsNotARegularFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO without a writer") << "fifo";
        QTest::newRow("link to a FIFO") << "link to fifo";
        QTest::newRow("endless character device") << "/dev/zero";
    }

    void openRefusesWhatIsNotARegularFile() {
        QFETCH(QString, kind);
        const QByteArray fifo = QFile::encodeName(path("pipe.tlw"));
        QCOMPARE(::mkfifo(fifo.constData(), 0644), 0);
        QVERIFY(::symlink(fifo.constData(), QFile::encodeName(path("link.tlw")).constData()) == 0);
        const QString target = kind == "fifo"           ? path("pipe.tlw")
                               : kind == "link to fifo" ? path("link.tlw")
                                                        : kind;
        CTellwickDoc doc;
        QVERIFY(openAndChange(doc));
        const State before = StateOf(doc);

        const FileResult result = doc.openDocument(target);

        QCOMPARE(result.status, FileResult::Status::OpenFailed);
        QCOMPARE(result.error, kNotRegularFileError);
        QCOMPARE(StateOf(doc), before);
    }

    void openReadsAFileThatReportsNoSize() {
        struct stat info {};
        QVERIFY(::stat("/proc/self/status", &info) == 0 && info.st_size == 0);
        CTellwickDoc doc;

        QCOMPARE(doc.openDocument("/proc/self/status").status, FileResult::Status::Ok);

        // Its "Name:" line reads as an address entry.
        QVERIFY(doc.tree.first);
        QCOMPARE(doc.tree.first->Name(), std::string_view("Name"));
    }

    void saveRefusesWhatIsNotARegularFile() {
        const QByteArray fifo = QFile::encodeName(path("pipe.tlw"));
        QCOMPARE(::mkfifo(fifo.constData(), 0644), 0);
        CTellwickDoc doc;
        QVERIFY(openAndChange(doc));
        const State before = StateOf(doc);

        const FileResult result = doc.saveDocument(path("pipe.tlw"));

        QCOMPARE(result.status, FileResult::Status::CreateFailed);
        QCOMPARE(result.error, kNotRegularFileError);
        QCOMPARE(StateOf(doc), before);
        QVERIFY(IsFifo(path("pipe.tlw")));
    }

    // Replacing the file would split its names, or could not be done by this user, or
    // would give it to this user: the file is rewritten in place instead.
    void saveInPlaceKeepsWhatReplacingWouldLose_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("book with a second name") << "hard link";
        QTest::newRow("writable book in a read-only folder") << "read-only folder";
        QTest::newRow("group-shared book saved by a member") << "shared";
    }

    void saveInPlaceKeepsWhatReplacingWouldLose() {
        QFETCH(QString, kind);
        constexpr gid_t kSharedGroup = 54321;
        if (kind != "hard link" && ::geteuid() != 0)
            QSKIP("needs root to set up another user's files");
        QVERIFY(QDir(dir_->path()).mkdir("folder"));
        const QString file = path("folder/book.tlw");
        const QByteArray folderName = QFile::encodeName(path("folder"));
        const QByteArray fileName = QFile::encodeName(file);
        QVERIFY(WriteBytes(file, BookBytes(40, 'o')));
        if (kind == "hard link") {
            QVERIFY(::link(fileName.constData(),
                           QFile::encodeName(path("second.tlw")).constData()) == 0);
        } else if (kind == "read-only folder") {
            QVERIFY(::chown(fileName.constData(), kNobody, kNobody) == 0);
            QVERIFY(::chown(folderName.constData(), kNobody, kNobody) == 0);
            QVERIFY(::chmod(folderName.constData(), 0555) == 0);
        } else {
            QVERIFY(::chown(fileName.constData(), 0, kSharedGroup) == 0);
            QVERIFY(::chmod(fileName.constData(), 0664) == 0);
            QVERIFY(::chmod(folderName.constData(), 0777) == 0);
        }
        struct stat old {};
        QVERIFY(::stat(fileName.constData(), &old) == 0);
        CTellwickDoc doc;
        SetBook(doc, BookText(10, 'n'));
        doc.setModifiedFlag(true);

        const ChildOutcome child = RunInChild([&](QByteArray& out) {
            if (kind == "shared" && (::setgroups(1, &kSharedGroup) != 0 || ::setgid(kNobody) != 0 ||
                                     ::setuid(kNobody) != 0)) {
                out = "cannot become a member of the group: " + ErrnoText(errno);
                return kSkipExit;
            }
            if (kind == "shared")
                ::setenv("XDG_STATE_HOME", kNobodyStateFolder, 1);
            if (kind == "read-only folder" && !(out = DropRoot()).isEmpty())
                return kSkipExit;
            Report report;
            report.result = doc.saveDocument(file);
            report.state = StateOf(doc);
            out = Encode(report);
            return 0;
        });
        if (child.kind == ChildOutcome::Skipped)
            QSKIP(child.data.constData());
        QVERIFY2(child.kind == ChildOutcome::Done, child.data.constData());
        Report report;
        QVERIFY(Decode(child.data, report));

        QCOMPARE(report.result.status, FileResult::Status::Ok);
        QCOMPARE(ReadBytes(file), TreeBytes(doc.tree));
        struct stat now {};
        QVERIFY(::stat(fileName.constData(), &now) == 0);
        QCOMPARE(now.st_ino, old.st_ino);
        QCOMPARE(now.st_nlink, old.st_nlink);
        QCOMPARE(now.st_uid, old.st_uid);
        QCOMPARE(now.st_gid, old.st_gid);
        QCOMPARE(now.st_mode, old.st_mode);
        if (kind == "hard link")
            QCOMPARE(ReadBytes(path("second.tlw")), TreeBytes(doc.tree));
        QCOMPARE(
            QDir(path("folder")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"book.tlw"});
    }

    void saveRefusesABookTooBigForTheDisk() {
        // Indentation grows with the square of the depth: this book would need about 2 TB.
        std::string deep;
        for (int i = 0; i < 1'000'000; ++i)
            deep += "GROUP g\r\n";
        const QString file = path("deep.tlw");
        QVERIFY(WriteBytes(file, BookBytes(5, 'o')));
        CTellwickDoc doc;
        SetBook(doc, deep);
        doc.setModifiedFlag(true);
        const DiskState diskBefore = ScanDisk(dir_->path());

        const FileResult result = doc.saveDocument(file);

        QCOMPARE(result.status, FileResult::Status::WriteFailed);
        QCOMPARE(ErrnoText(result.error), ErrnoText(ENOSPC));
        QVERIFY(doc.isModified());
        QCOMPARE(ScanDisk(dir_->path()), diskBefore);
    }

    void opensAndSavesNamesThatAreNotUtf8() {
        // テスト.tlw in Shift-JIS, as copied from an old Japanese system.
        const QByteArray name = "\x83\x65\x83\x58\x83\x67.tlw";
        const QByteArray bytesPath = QFile::encodeName(dir_->path()) + '/' + name;
        QVERIFY(WriteAll(::open(bytesPath.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644),
                         BookBytes(5, 'o')));
        const QString file = DecodePathBytes(bytesPath);
        CTellwickDoc doc;

        QCOMPARE(doc.openDocument(file).status, FileResult::Status::Ok);
        QCOMPARE(doc.title(), QStringLiteral("テスト.tlw"));
        QCOMPARE(TreeBytes(doc.tree), BookBytes(5, 'o'));
        SetBook(doc, BookText(7, 'n'));
        QCOMPARE(doc.saveDocument(doc.pathName()).status, FileResult::Status::Ok);
        QCOMPARE(NamesIn(dir_->path()), QList<QByteArray>{name});
        const int fd = ::open(bytesPath.constData(), O_RDONLY | O_CLOEXEC);
        QCOMPARE(ReadAll(fd), TreeBytes(doc.tree));
        ::close(fd);

        // Where the name already lost its bytes, the cause says so.
        const FileResult lost =
            doc.openDocument(dir_->path() + QStringLiteral("/\uFFFD\uFFFD.tlw"));
        QCOMPARE(lost.status, FileResult::Status::OpenFailed);
        QCOMPARE(lost.error, kUnreadableNameError);
    }

    void newBookReturnsTheMemoryOfABigOne() {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer holds freed memory back, so the resident size tells nothing");
#endif
        const auto residentMb = [] {
            const QList<QByteArray> fields = ReadBytes("/proc/self/statm").split(' ');
            return fields.value(1).toDouble() * double(::sysconf(_SC_PAGESIZE)) / 1e6;
        };
        // Written from text, never from a tree, so no book was in memory before the first.
        QVERIFY(WriteBytes(path("big.tlw"), QByteArray::fromStdString(BookText(300'000, 'b'))));
        CTellwickDoc doc;
        // Heap the tests before this one freed would otherwise hide the book's growth.
        ::malloc_trim(0);
        const double before = residentMb();
        QVERIFY(doc.openDocument(path("big.tlw")).ok());
        const double peak = residentMb();

        QVERIFY(doc.onNewDocument());

        const double after = residentMb();
        const QByteArray figures = QStringLiteral("resident MB before %1, peak %2, after %3")
                                       .arg(before, 0, 'f', 1)
                                       .arg(peak, 0, 'f', 1)
                                       .arg(after, 0, 'f', 1)
                                       .toUtf8();
        QVERIFY2(peak - before > 20, figures.constData());
        QVERIFY2(after < before + (peak - before) / 4, figures.constData());
    }
};

QTEST_GUILESS_MAIN(TestDocument)
#include "tst_document.moc"
