#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const QString kTool = QStringLiteral(TELLWICK_BOOK_PATH);

// "名前" in CP932 and a digit, as in the worked example below.
QByteArray Name(char digit) {
    return QByteArray("\x96\xBC\x91\x4F") + digit;
}

QByteArray Lines(const QByteArrayList& lines, const QByteArray& lineEnd) {
    return lines.join(lineEnd) + lineEnd;
}

const QByteArrayList kExample = {"#memo",
                                 "GROUP " + Name('1'),
                                 "  " + Name('2') + ": addr1,addr2",
                                 "  SEPARATOR",
                                 "  GROUP " + Name('3'),
                                 "  END GROUP",
                                 "  " + Name('4') + ": addr3, addr4",
                                 "END GROUP",
                                 "",
                                 Name('5') + ":",
                                 "addr5"};
const QByteArray kExampleSaved =
    Lines(kExample.mid(1, 7) + QByteArrayList{Name('5') + ": ", ": addr5"}, "\r\n");

struct Result {
    int exitCode = -1; // also for a crash or a hang
    QByteArray out;
    QByteArray err;
};

Result Run(const QStringList& arguments, const QString& outputFile = {},
           const QString& program = kTool) {
    QProcess process;
    if (!outputFile.isEmpty())
        process.setStandardOutputFile(outputFile);
    process.start(program, arguments);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct stat StatOf(const QString& path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info;
}

struct stat LstatOf(const QString& path) {
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

// What a non-blocking reader can take now, up to the end or an empty pipe.
QByteArray ReadAvailable(int fd) {
    QByteArray bytes;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, n);
    return bytes;
}

QStringList Listing(const QString& directory) {
    return QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestTellwickBook : public QObject {
    Q_OBJECT

private slots:
    void init();
    void normalizeWritesWhatASaveWrites_data();
    void normalizeWritesWhatASaveWrites();
    void normalizeReplacesOutputAtomically();
    void normalizeFailureLeavesOutputAlone();
    void normalizeWritesThroughLinks();
    void normalizeWritesDevicesInPlace_data();
    void normalizeWritesDevicesInPlace();
    void normalizeOutputNamedNearTheLimit();
    void normalizeRefusesBookTooBigForTheDisk();
    void outputKeepsWhatASaveKeeps();
    void writeProtectedOutputIsRefused_data();
    void writeProtectedOutputIsRefused();
    void contactOutputRefusesTheOtherKind_data();
    void contactOutputRefusesTheOtherKind();
    void checkCountsAndListsChangedLines();
    void checkFindsNothingInASavedBook();
    void checkIsLinearOnLargeDeepBooks();
    void treeShowsDecodedStructure();
    void treeOfDeepBookNeedsLittleStack();
    void exportWritesContacts_data();
    void exportWritesContacts();
    void importRefusesTextABookCannotHold();
    void importReplacesWithTheFlag();
    void importOfMalformedInputIsOneLine_data();
    void importOfMalformedInputIsOneLine();
    void errorsAreOneLineAndStatusTwo_data();
    void errorsAreOneLineAndStatusTwo();
    void unreadableFileIsReported();
    void helpAndVersion();
    void findPrintsEachMatchWithItsLineAndGroups();
    void findExitsLikeGrep_data();
    void findExitsLikeGrep();
    void findShortensDeepPaths();

private:
    QString Path(const QString& name) const { return dir_->filePath(name); }
    QString Book(const QByteArray& bytes, const QString& name = "book.tlw") const {
        QFile file(Path(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
                   ? file.fileName()
                   : QString();
    }

    QTemporaryDir root_;               // for paths named in data functions
    std::optional<QTemporaryDir> dir_; // fresh for every test
};

void TestTellwickBook::init() {
    dir_.emplace();
    QVERIFY(root_.isValid() && dir_->isValid());
}

void TestTellwickBook::normalizeWritesWhatASaveWrites_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("worked example") << Lines(kExample, "\r\n") << kExampleSaved;
    QTest::newRow("LF only") << Lines(kExample, "\n") << kExampleSaved;
    QTest::newRow("CR only") << Lines(kExample, "\r") << kExampleSaved;
    QTest::newRow("no final line end") << Lines(kExample, "\n").chopped(1) << kExampleSaved;
    QTest::newRow("comments only") << QByteArray("# a\r\n\r\n  # b") << QByteArray();
}

void TestTellwickBook::normalizeWritesWhatASaveWrites() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, saved);
    const Result result = Run({"normalize", Book(input)});
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, saved);
}

void TestTellwickBook::normalizeReplacesOutputAtomically() {
    const QString input = Book(Lines(kExample, "\n"));
    const QString output = Book("old contents", "out.tlw");
    QVERIFY(::chmod(QFile::encodeName(output).constData(), 0640) == 0);
    const ino_t oldInode = StatOf(output).st_ino;

    const Result result = Run({"normalize", input, "-o", output});
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray());
    QCOMPARE(ReadFile(output), kExampleSaved);
    QCOMPARE(StatOf(output).st_mode & 07777, mode_t(0640));
    QVERIFY2(StatOf(output).st_ino != oldInode, "rewritten in place, not renamed over");
    QCOMPARE(Listing(dir_->path()), QStringList({"book.tlw", "out.tlw"}));

    // The input may be the output too.
    QCOMPARE(Run({"normalize", "-o", input, input}).exitCode, 0);
    QCOMPARE(ReadFile(input), kExampleSaved);
}

void TestTellwickBook::normalizeFailureLeavesOutputAlone() {
    const QString input = Book(Lines(kExample, "\r\n"));
    // A directory is no file to write, empty or not.
    const QString blocked = Path("blocked");
    QVERIFY(QDir().mkpath(blocked + "/inside"));
    const QStringList before = Listing(dir_->path());
    Result result = Run({"normalize", input, "-o", blocked});
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.err,
             "tellwick-book: cannot write '" + blocked.toUtf8() + "': Is a directory\n");
    QCOMPARE(Listing(dir_->path()), before);

    const QString missingDir = Path("nowhere/out.tlw");
    result = Run({"normalize", input, "-o", missingDir});
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.err, "tellwick-book: cannot write '" + missingDir.toUtf8() +
                             "': No such file or directory\n");

    result = Run({"normalize", input}, "/dev/full");
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.err, QByteArray("tellwick-book: cannot write standard output: No space left "
                                    "on device\n"));
}

// A save goes through links to the file they lead to, and the links stay.
void TestTellwickBook::normalizeWritesThroughLinks() {
    const QString input = Book(Lines(kExample, "\n"));
    const QString real = Book("old contents", "real.tlw");
    QVERIFY(::chmod(QFile::encodeName(real).constData(), 0640) == 0);
    QVERIFY(QDir(dir_->path()).mkdir("sub"));
    // Relative targets count from the link's folder, not from where the tool runs.
    QVERIFY(::symlink("../real.tlw", QFile::encodeName(Path("sub/inner.tlw")).constData()) == 0);
    QVERIFY(::symlink("sub/inner.tlw", QFile::encodeName(Path("outer.tlw")).constData()) == 0);
    const ino_t outerLink = LstatOf(Path("outer.tlw")).st_ino;
    const ino_t innerLink = LstatOf(Path("sub/inner.tlw")).st_ino;

    Result result = Run({"normalize", input, "-o", Path("outer.tlw")});
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(ReadFile(real), kExampleSaved);
    QCOMPARE(StatOf(real).st_mode & 07777, mode_t(0640));
    QVERIFY(S_ISLNK(LstatOf(Path("outer.tlw")).st_mode));
    QCOMPARE(LstatOf(Path("outer.tlw")).st_ino, outerLink);
    QCOMPARE(LstatOf(Path("sub/inner.tlw")).st_ino, innerLink);
    QCOMPARE(Listing(dir_->path()), QStringList({"book.tlw", "outer.tlw", "real.tlw", "sub"}));
    QCOMPARE(Listing(Path("sub")), QStringList({"inner.tlw"}));

    // A link to nothing yet makes the file it names.
    const QByteArray newFile = QFile::encodeName(Path("sub/new.tlw"));
    QVERIFY(::symlink(newFile.constData(), QFile::encodeName(Path("dangling.tlw")).constData()) ==
            0);
    result = Run({"normalize", input, "-o", Path("dangling.tlw")});
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.exitCode, 0);
    QVERIFY(S_ISLNK(LstatOf(Path("dangling.tlw")).st_mode));
    QCOMPARE(ReadFile(Path("sub/new.tlw")), kExampleSaved);

    // Links that go round lead nowhere to write.
    QVERIFY(::symlink("loop2", QFile::encodeName(Path("loop1")).constData()) == 0);
    QVERIFY(::symlink("loop1", QFile::encodeName(Path("loop2")).constData()) == 0);
    result = Run({"normalize", input, "-o", Path("loop1")});
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.err, "tellwick-book: cannot write '" + Path("loop1").toUtf8() +
                             "': Too many levels of symbolic links\n");
    QVERIFY(S_ISLNK(LstatOf(Path("loop1")).st_mode));
}

void TestTellwickBook::normalizeWritesDevicesInPlace_data() {
    QTest::addColumn<bool>("fifo");
    QTest::newRow("FIFO") << true;
    QTest::newRow("character device") << false;
}

// Nothing but the device itself can take the bytes: replacing it would break the system.
void TestTellwickBook::normalizeWritesDevicesInPlace() {
    QFETCH(bool, fifo);
    const QString input = Book(Lines(kExample, "\n"));
    QString target = Path("device");
    const QByteArray node = QFile::encodeName(target);
    int reader = -1;
    if (fifo) {
        QVERIFY(::mkfifo(node.constData(), 0600) == 0);
        reader = ::open(node.constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
    } else if (::geteuid() != 0) {
        target = "/dev/null"; // only root could replace it
    } else if (::mknod(node.constData(), S_IFCHR | 0666, ::makedev(1, 3)) != 0) {
        QSKIP("cannot make a device node, and root must not aim at the real /dev/null");
    } else if (const int fd = ::open(node.constData(), O_WRONLY); fd < 0) {
        QSKIP("the temporary folder's file system does not open device nodes");
    } else {
        ::close(fd);
    }
    const struct stat before = LstatOf(target);

    const Result result = Run({"normalize", input, "-o", target});
    const QByteArray piped = fifo ? ReadAvailable(reader) : QByteArray();
    if (reader >= 0)
        ::close(reader);
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.exitCode, 0);
    const struct stat after = LstatOf(target);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_rdev, before.st_rdev);
    if (fifo)
        QCOMPARE(piped, kExampleSaved);
    QCOMPARE(Listing(dir_->path()), QStringList{"book.tlw"}); // lists no device, no FIFO
}

// The temporary file beside the output must fit where a name near the longest fits.
void TestTellwickBook::normalizeOutputNamedNearTheLimit() {
    const QString input = Book(Lines(kExample, "\n"));
    const QString name = QString(246, 'n') + ".tlw";
    const Result result = Run({"normalize", input, "-o", Path(name)});
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(ReadFile(Path(name)), kExampleSaved);
    QCOMPARE(Listing(dir_->path()), QStringList({"book.tlw", name}));
}

// A book nested 60,000 deep writes about 7 GB. On a 1 MiB file system it is refused before a
// byte is written: the tool may not write even 4 KiB, or the file size limit kills it.
void TestTellwickBook::normalizeRefusesBookTooBigForTheDisk() {
    const QString unshare = QStandardPaths::findExecutable("unshare");
    if (unshare.isEmpty())
        QSKIP("needs unshare to mount a small file system out of the host's sight");
    QStringList privateMounts = {"--mount"};
    if (Run(privateMounts + QStringList{"true"}, {}, unshare).exitCode != 0)
        privateMounts.prepend("--map-root-user");
    if (Run(privateMounts + QStringList{"true"}, {}, unshare).exitCode != 0)
        QSKIP("cannot create a mount namespace here, not even in a user namespace");

    const QString input = Book(QByteArray("GROUP g\n").repeated(60000));
    const QString small = Path("small");
    QVERIFY(QDir(dir_->path()).mkdir("small"));
    const QString script = R"(
        mount -t tmpfs -o size=1m,mode=0755 tmpfs "$1" || exit 77
        printf 'old contents' > "$1/out.tlw" || exit 78
        (ulimit -f 8 && exec "$2" normalize "$3" -o "$1/out.tlw")
        status=$?
        ls -A "$1" && cat "$1/out.tlw"
        exit $status)";
    const Result result =
        Run(privateMounts + QStringList{"/bin/sh", "-c", script, "sh", small, kTool, input}, {},
            unshare);
    if (result.exitCode == 77)
        QSKIP(qPrintable("cannot mount a 1 MiB tmpfs: " + QString::fromUtf8(result.err)));
    QCOMPARE(result.err, "tellwick-book: cannot write '" + small.toUtf8() +
                             "/out.tlw': No space left on device\n");
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.out, QByteArray("out.tlw\nold contents"));
}

// The book keeps its inode, its other name, its owner and its group, as a save keeps them.
void TestTellwickBook::outputKeepsWhatASaveKeeps() {
    const QString book = Book(Lines(kExample, "\n"));
    const QString other = Path("other.tlw");
    QVERIFY(::link(QFile::encodeName(book).constData(), QFile::encodeName(other).constData()) == 0);
    const bool root = ::geteuid() == 0;
    if (root)
        QVERIFY(::chown(QFile::encodeName(book).constData(), 65534, 65534) == 0);
    QVERIFY(::chmod(QFile::encodeName(book).constData(), 0604) == 0);
    const struct stat before = StatOf(book);

    const Result result = Run({"normalize", book, "-o", book});

    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(ReadFile(book), kExampleSaved);
    QCOMPARE(ReadFile(other), kExampleSaved);
    const struct stat after = StatOf(book);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(Listing(dir_->path()), QStringList({"book.tlw", "other.tlw"}));
}

void TestTellwickBook::writeProtectedOutputIsRefused_data() {
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("output");
    QTest::newRow("normalize") << QStringList{"normalize"} << "ro.tlw";
    QTest::newRow("export") << QStringList{"export", "--format", "csv"} << "ro.csv";
}

// A read-only file stays as it is though its folder would let it be replaced, as the shell's
// '>' and the window leave it.
void TestTellwickBook::writeProtectedOutputIsRefused() {
    QFETCH(QStringList, command);
    QFETCH(QString, output);
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    if (::geteuid() == 0 && setpriv.isEmpty())
        QSKIP("needs setpriv to run the tool as an unprivileged user");
    const QString book = Book(Lines(kExample, "\r\n"));
    const QByteArray old = output.endsWith(".csv") ? "Group,Name,Addresses\r\n" : kExampleSaved;
    const QString target = Book(old, output);
    QVERIFY(::chmod(QFile::encodeName(target).constData(), 0444) == 0);
    QVERIFY(::chmod(QFile::encodeName(dir_->path()).constData(), 0777) == 0);
    if (::geteuid() == 0)
        QVERIFY(::chown(QFile::encodeName(target).constData(), 65534, 65534) == 0);
    const QStringList arguments = command + QStringList{book, "-o", target};
    const QStringList before = Listing(dir_->path());

    const Result result =
        ::geteuid() == 0
            ? Run(QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", kTool} +
                      arguments,
                  {}, setpriv)
            : Run(arguments);

    QCOMPARE(QString::fromUtf8(result.err),
             "tellwick-book: cannot write '" + target + "': Permission denied\n");
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(ReadFile(target), old);
    QCOMPARE(Listing(dir_->path()), before);
}

void TestTellwickBook::contactOutputRefusesTheOtherKind_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QByteArray>("held");
    QTest::addColumn<QString>("refusal"); // empty when the output is replaced
    const QByteArray book = kExampleSaved;
    const QByteArray card = "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:x\r\nEND:VCARD\r\n";
    const QByteArray rows = "Group,Name,Addresses\r\n,x,\r\n";
    QTest::newRow("export onto the book it reads")
        << "export csv"
        << "book.tlw" << book << "holds an address book, not CSV contacts";
    QTest::newRow("export onto an empty .tlw")
        << "export csv"
        << "out.tlw" << QByteArray() << "holds an address book, not CSV contacts";
    QTest::newRow("export onto a .csv holding a book")
        << "export csv"
        << "out.csv" << book << "holds an address book, not CSV contacts";
    QTest::newRow("export onto contacts of another format")
        << "export vcard"
        << "out.txt" << rows << "holds CSV contacts, not vCard contacts";
    QTest::newRow("export over its own kind") << "export vcard"
                                              << "out.vcf" << card << "";
    QTest::newRow("import onto a .vcf")
        << "import"
        << "out.vcf" << card << "holds vCard contacts, not an address book";
    QTest::newRow("import onto a .tlw holding contacts")
        << "import"
        << "out.tlw" << rows << "holds CSV contacts, not an address book";
    QTest::newRow("import over a book") << "import"
                                        << "out.tlw" << book << "";
}

// A mistyped -o never silently turns a book into contacts or contacts into a book.
void TestTellwickBook::contactOutputRefusesTheOtherKind() {
    QFETCH(QString, command);
    QFETCH(QString, output);
    QFETCH(QByteArray, held);
    QFETCH(QString, refusal);
    const QString input = command == "import"
                              ? Book("BEGIN:VCARD\r\nFN:y\r\nEND:VCARD\r\n", "in.vcf")
                              : Book(Lines(kExample, "\r\n"));
    const QString target = output == "book.tlw" ? input : Book(held, output);
    const QByteArray before = ReadFile(target);
    const QStringList arguments = command == "import"
                                      ? QStringList{"import", "--format", "vcard", input}
                                      : QStringList{"export", "--format", command.sliced(7), input};

    const Result result = Run(arguments + QStringList{"-o", target});

    if (refusal.isEmpty()) {
        QCOMPARE(result.err, QByteArray());
        QCOMPARE(result.exitCode, 0);
        QVERIFY(ReadFile(target) != before);
        return;
    }
    QCOMPARE(QString::fromUtf8(result.err),
             "tellwick-book: '" + target + "' " + refusal + " (give --force to replace it)\n");
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(ReadFile(target), before);
    const Result forced = Run(arguments + QStringList{"-o", target, "--force"});
    QCOMPARE(forced.err, QByteArray());
    QCOMPARE(forced.exitCode, 0);
    QVERIFY(ReadFile(target) != before);
}

void TestTellwickBook::checkCountsAndListsChangedLines() {
    const QByteArray book = Lines({"GROUPabc",        // 1: no space after GROUP
                                   "GROUP   spaced",  // 2: blanks after GROUP
                                   "\tGROUP\ttabbed", // 3: indentation is fine, the TAB not
                                   "name:  two",      // 4: two blanks before the address
                                   "name:\ttab",      // 5: a TAB before the address
                                   "name:x",          // 6: fine, the space is only added
                                   "name:   ",        // 7: fine, only blanks at the end
                                   "group lower",     // 8: keyword in lower case, no ':'
                                   "SEPARATOR  ",     // 9: fine, only blanks after it
                                   "SEPARATORx",      // 10: text after SEPARATOR
                                   "END GROUP  ",     // 11: fine, closes "tabbed"
                                   "END GROUPjunk",   // 12: text after END GROUP
                                   "",                // 13: blank
                                   "END GROUP",       // 14: closes "abc"
                                   "END GROUP x",     // 15: stray
                                   "  # note",        // 16: comment
                                   "GROUP ",          // 17: fine, empty name; left open
                                   "    GROUP open",  // 18: fine but left open
                                   "q: a,  b"},       // 19: fine, later blanks are kept
                                  "\r\n");
    const Result result = Run({"check", Book(book)});
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("groups: 5\n"
                                    "addresses: 6\n"
                                    "separators: 2\n"
                                    "deepest nesting: 3\n"
                                    "line 1: no space between GROUP and the name; one is added\n"
                                    "line 2: blanks between GROUP and the name become one space\n"
                                    "line 3: blanks between GROUP and the name become one space\n"
                                    "line 4: blanks before the first address become one space\n"
                                    "line 5: blanks before the first address become one space\n"
                                    "line 8: no ':', read as an address with an empty name "
                                    "(saved with ': ' in front)\n"
                                    "line 10: text after SEPARATOR is dropped\n"
                                    "line 12: text after END GROUP is dropped\n"
                                    "line 15: END GROUP with no open group is dropped\n"
                                    "line 16: comment, dropped on save\n"
                                    "line 17: group not closed; END GROUP will be added\n"
                                    "line 18: group not closed; END GROUP will be added\n"));
}

// What a save writes reads back unchanged: check lists none of its lines, counts stay.
void TestTellwickBook::checkFindsNothingInASavedBook() {
    const QByteArray book =
        Lines({"GROUPa", "b:  c", "GROUP\t", "x y", "SEPARATOR!", "END GROUP", "END GROUP x",
               "END GROUP", "GROUP d", "# c", "  GROUP e", "f:", "g:h,  i"},
              "\n");
    const Result original = Run({"check", Book(book)});
    const Result saved = Run({"normalize", Book(book)});
    const Result again = Run({"check", Book(saved.out, "saved.tlw")});
    QCOMPARE(again.exitCode, 0);
    QVERIFY(original.out.contains("line "));
    QCOMPARE(again.out, original.out.left(original.out.indexOf("line ")));
}

void TestTellwickBook::checkIsLinearOnLargeDeepBooks() {
    const int depth = 100000;
    const QByteArray book = QByteArray("GROUP g\n").repeated(depth) +
                            QByteArray("END GROUP\n").repeated(depth - 2) + "x\n";
    const Result result = Run({"check", Book(book)});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("groups: 100000\n"
                                    "addresses: 1\n"
                                    "separators: 0\n"
                                    "deepest nesting: 99999\n"
                                    "line 1: group not closed; END GROUP will be added\n"
                                    "line 2: group not closed; END GROUP will be added\n"
                                    "line 199999: no ':', read as an address with an empty "
                                    "name (saved with ': ' in front)\n"));
}

void TestTellwickBook::treeShowsDecodedStructure() {
    const QByteArray book = Lines({"GROUP " + Name('1'),
                                   "  \x96\xBC\x96: a\xFF"
                                   "b,\x81",
                                   "  SEPARATOR", "  GROUP \xB1", "  END GROUP", "END GROUP",
                                   "say \"hi\"\\: c:\\tmp", "tab\t:\x01"},
                                  "\r\n");
    const Result result = Run({"tree", Book(book)});
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(QString::fromUtf8(result.out),
             QString::fromUtf8("group \"名前1\"\n"
                               "  address \"名\uFFFD\": \"a\uFFFDb\", \"\uFFFD\"\n"
                               "  separator\n"
                               "  group \"ｱ\"\n"
                               "address \"say \\\"hi\\\"\\\\\": \"c:\\\\tmp\"\n"
                               "address \"tab\\x09\": \"\\x01\"\n"));
}

// A stack of 256 KiB holds no recursion over 25,000 levels.
void TestTellwickBook::treeOfDeepBookNeedsLittleStack() {
    const QString book = Book(QByteArray("GROUP g\n").repeated(25000) + "a: b\n");
    const Result result = Run({"-c", "ulimit -s 256 && exec \"$0\" tree \"$1\"", kTool, book},
                              QProcess::nullDevice(), "/bin/sh");
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.exitCode, 0);
}

void TestTellwickBook::exportWritesContacts_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("contacts");
    QTest::newRow("vcard") << "vcard"
                           << QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\n"
                                         "PRODID:-//Tellwick//Tellwick//EN\r\nFN:名前2\r\n"
                                         "CATEGORIES:名前1\r\nNOTE:addr1\r\nNOTE:addr2\r\n"
                                         "END:VCARD\r\n");
    QTest::newRow("csv") << "csv"
                         << QByteArray("Group,Name,Addresses\r\n名前1,名前2,\"addr1,addr2\"\r\n");
    QTest::newRow("ldif") << "ldif"
                          << QByteArray("dn:: Y2495ZCN5YmNMg==\nobjectclass: top\nobjectclass: "
                                        "person\nobjectclass: organizationalPerson\nobjectclass: "
                                        "inetOrgPerson\nobjectclass: mozillaAbPersonAlpha\ncn:: "
                                        "5ZCN5YmNMg==\ndescription:: YWRkcjEKYWRkcjI=\n\n");
}

void TestTellwickBook::exportWritesContacts() {
    QFETCH(QString, format);
    QFETCH(QByteArray, contacts);
    const QString book = Book(Lines(kExample.mid(0, 4), "\r\n"));
    const Result toStdout = Run({"export", "--format", format, book});
    QCOMPARE(toStdout.err, QByteArray());
    QCOMPARE(toStdout.exitCode, 0);
    QCOMPARE(toStdout.out, contacts);

    const QString output = Path("out.txt");
    const Result toFile = Run({"export", book, "-o", output, "--format", format});
    QCOMPARE(toFile.err, QByteArray());
    QCOMPARE(toFile.exitCode, 0);
    QCOMPARE(toFile.out, QByteArray());
    QCOMPARE(ReadFile(output), toStdout.out);
}

void TestTellwickBook::importRefusesTextABookCannotHold() {
    const QString cards = Book("BEGIN:VCARD\r\nFN:ok\r\nEND:VCARD\r\n"
                               "BEGIN:VCARD\r\nFN:a😀: b\r\nEMAIL:x\\ny😀\r\nEND:VCARD\r\n",
                               "cards.vcf");
    const QString output = Book("old", "out.tlw");
    const Result result = Run({"import", "--format", "vcard", cards, "-o", output});
    QCOMPARE(QString::fromUtf8(result.err),
             "card 2 (line 4): cannot be stored in CP932: 😀; cannot stand there in a book "
             "line: ':' '\\n'\n");
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.out, QByteArray());
    QCOMPARE(ReadFile(output), QByteArray("old"));
    QCOMPARE(Listing(dir_->path()), QStringList({"cards.vcf", "out.tlw"}));
}

void TestTellwickBook::importReplacesWithTheFlag() {
    const QString rows =
        Book("Group,Name,Addresses\r\n家族,山田 太郎,\"taro@example.jp,☎️\"\r\n"
             ",😀,\r\n",
             "rows.csv");
    const QString output = Path("new.tlw");
    const Result result =
        Run({"import", "--replace-unencodable", "--format", "csv", rows, "-o", output});
    QCOMPARE(QString::fromUtf8(result.err), "row 1 (line 2): cannot be stored in CP932: ☎️\n"
                                            "row 2 (line 3): cannot be stored in CP932: 😀\n");
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("imported 2 rows, replaced 3 characters with '?'\n"));
    QCOMPARE(ReadFile(output), QByteArray("GROUP \x89\xC6\x91\xB0\r\n"
                                          "  \x8E\x52\x93\x63 \x91\xBE\x98\x59: "
                                          "taro@example.jp,??\r\n"
                                          "END GROUP\r\n"
                                          "?: \r\n"));
}

void TestTellwickBook::importOfMalformedInputIsOneLine_data() {
    QTest::addColumn<QByteArray>("cards");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not UTF-8") << QByteArray("BEGIN:VCARD\r\nFN:\xFF\r\nEND:VCARD\r\n")
                               << "line 2: not UTF-8";
    // Its book would need indentation growing with the square of the depth.
    QTest::newRow("deep groups") << "BEGIN:VCARD\r\nCATEGORIES:" +
                                        QByteArray("g/").repeated(100000) + "g\r\nEND:VCARD\r\n"
                                 << "line 1: group path deeper than 256 levels";
}

void TestTellwickBook::importOfMalformedInputIsOneLine() {
    QFETCH(QByteArray, cards);
    QFETCH(QString, reason);
    const QString input = Book(cards, "bad.vcf");
    const QString output = Path("new.tlw");
    const Result result = Run({"import", "--format", "vcard", input, "-o", output});
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(QString::fromUtf8(result.err),
             "tellwick-book: cannot import '" + input + "': " + reason + "\n");
    QVERIFY(!QFile::exists(output));
}

void TestTellwickBook::errorsAreOneLineAndStatusTwo_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QString missing = root_.filePath("missing.tlw");
    QTest::newRow("missing file") << QStringList{"check", missing}
                                  << "cannot open '" + missing + "': No such file or directory";
    QTest::newRow("directory") << QStringList{"tree", root_.path()}
                               << "cannot read '" + root_.path() + "': Is a directory";
    QTest::newRow("unknown command")
        << QStringList{"sort", "x.tlw"} << "unknown command 'sort' (try --help)";
    QTest::newRow("-o without value")
        << QStringList{"normalize", "x.tlw", "-o"} << "option -o needs a value (try --help)";
    QTest::newRow("missing FILE") << QStringList{"tree"}
                                  << "missing FILE after 'tree' (try --help)";
    QTest::newRow("import without -o")
        << QStringList{"import", "--format", "csv", "x.csv"} << "import needs -o BOOK (try --help)";
    QTest::newRow("export without --format")
        << QStringList{"export", "x.tlw"} << "export needs --format (try --help)";
    QTest::newRow("unknown format") << QStringList{"export", "--format", "json", "x.tlw"}
                                    << "unknown format 'json' (try --help)";
    QTest::newRow("importing LDIF")
        << QStringList{"import", "--format", "ldif", "x.ldif", "-o", "x.tlw"}
        << "import reads vcard or csv, not ldif (try --help)";
    QTest::newRow("--format given twice")
        << QStringList{"export", "--format", "csv", "--format", "csv", "x.tlw"}
        << "option --format given twice (try --help)";
    QTest::newRow("replacing on export")
        << QStringList{"export", "--format", "csv", "--replace-unencodable", "x.tlw"}
        << "option --replace-unencodable works with import only (try --help)";
    QTest::newRow("-o with check") << QStringList{"check", "x.tlw", "-o", "y"}
                                   << "option -o works with normalize, export and import only "
                                      "(try --help)";
    QTest::newRow("--force with normalize")
        << QStringList{"normalize", "x.tlw", "--force"}
        << "option --force works with export and import only (try --help)";
    QTest::newRow("extra argument")
        << QStringList{"check", "x.tlw", "y.tlw"} << "unexpected argument 'y.tlw' (try --help)";
}

void TestTellwickBook::errorsAreOneLineAndStatusTwo() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Result result = Run(arguments);
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.out, QByteArray());
    QCOMPARE(QString::fromUtf8(result.err), "tellwick-book: " + message + "\n");
}

// Root reads anything, so the tool runs as nobody here.
void TestTellwickBook::unreadableFileIsReported() {
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    if (setpriv.isEmpty() || ::geteuid() != 0)
        QSKIP("needs root and setpriv to run the tool as an unprivileged user");
    const QString book = Book("a: b\n");
    QVERIFY(::chmod(QFile::encodeName(dir_->path()).constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(book).constData(), 0200) == 0);
    const Result result = Run(
        {"--reuid=65534", "--regid=65534", "--clear-groups", kTool, "check", book}, {}, setpriv);
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(QString::fromUtf8(result.err),
             "tellwick-book: cannot open '" + book + "': Permission denied\n");
}

void TestTellwickBook::helpAndVersion() {
    const Result help = Run({"check", "--help"});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.startsWith("Usage: tellwick-book normalize FILE [-o OUT]\n"));
    // The synopsis is what users copy: each option spelled as the parser takes it.
    QVERIFY(help.out.contains(
        "       tellwick-book export --format vcard|csv|ldif FILE [-o OUT [--force]]\n"
        "       tellwick-book import --format vcard|csv CONTACTS -o BOOK "
        "[--replace-unencodable]\n"));
    const Result version = Run({"--version"});
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, QByteArray("tellwick-book 1.0\n"));
}

// Lines that make no entry (comments, blanks, END GROUP) still count; the matching folds case,
// width and kana as the window's find bar does.
void TestTellwickBook::findPrintsEachMatchWithItsLineAndGroups() {
    const QString book = QString::fromUtf8("#ﾔﾏﾀﾞ in a comment\r\n"
                                           "GROUP 家族\r\n"
                                           "\r\n"
                                           "  GROUP 親戚\r\n"
                                           "    ﾔﾏﾀﾞ ﾀﾛｳ: TARO@EXAMPLE.JP,\"q\"\r\n"
                                           "  END GROUP\r\n"
                                           "  SEPARATOR\r\n"
                                           "END GROUP\r\n"
                                           "END GROUP\r\n"
                                           "GROUP やまだ会\r\n"
                                           "やまだ商店: shop@example.jp\r\n");
    QStringEncoder toCp932("windows-31j");
    const QString path = Book(toCp932.encode(book));
    const Result found = Run({"find", "ヤマダ", path});
    QCOMPARE(found.err, QByteArray());
    QCOMPARE(QString::fromUtf8(found.out),
             QString::fromUtf8("5: /\"家族\"/\"親戚\" address \"ﾔﾏﾀﾞ ﾀﾛｳ\": \"TARO@EXAMPLE.JP\", "
                               "\"\\\"q\\\"\"\n"
                               "10: / group \"やまだ会\"\n"
                               "11: /\"やまだ会\" address \"やまだ商店\": \"shop@example.jp\"\n"));
    QCOMPARE(found.exitCode, 0);
    QCOMPARE(Run({"find", "taro@example", path}).out.left(3), QByteArray("5: "));
}

void TestTellwickBook::findExitsLikeGrep_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    const QString missing = root_.filePath("missing.tlw");
    QTest::newRow("found") << QStringList{"find", "b"} << 0 << "";
    QTest::newRow("not found") << QStringList{"find", "zzz"} << 1 << "";
    QTest::newRow("separators never match") << QStringList{"find", "セパレータ"} << 1 << "";
    QTest::newRow("missing file") << QStringList{"find", "b", missing} << 2
                                  << "cannot open '" + missing + "': No such file or directory";
    QTest::newRow("no TEXT") << QStringList{"find"} << 2
                             << "missing TEXT after 'find' (try --help)";
    QTest::newRow("no FILE") << QStringList{"find", "b", "--"} << 2
                             << "missing FILE after 'find' (try --help)";
    QTest::newRow("empty TEXT") << QStringList{"find", ""} << 2 << "TEXT is empty (try --help)";
    QTest::newRow("extra argument")
        << QStringList{"find", "b"} << 2 << "unexpected argument 'extra' (try --help)";
}

void TestTellwickBook::findExitsLikeGrep() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    const QString book = Book("a: b\r\nSEPARATOR\r\n");
    if (arguments.size() == 2)
        arguments << book;
    if (QTest::currentDataTag() == QByteArrayLiteral("extra argument"))
        arguments << "extra";
    const Result result = Run(arguments);
    QCOMPARE(result.exitCode, status);
    QCOMPARE(QString::fromUtf8(result.err),
             message.isEmpty() ? QString() : "tellwick-book: " + message + "\n");
    QCOMPARE(result.out, status == 0 ? QByteArray("1: / address \"a\": \"b\"\n") : QByteArray());
    // A full disk under standard output is an error, not a success.
    if (status == 0)
        QCOMPARE(Run(arguments, "/dev/full").exitCode, 2);
}

// The outer levels of a deep path are counted, not printed, so the output stays linear; a
// stack of 256 KiB holds no recursion over 25,000 levels.
void TestTellwickBook::findShortensDeepPaths() {
    const QString book = Book(QByteArray("GROUP g\n").repeated(40) + "a: b\n");
    const Result result = Run({"find", "a", book});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, "41: /\u2026(8 groups)\u2026" + QByteArray("/\"g\"").repeated(32) +
                             " address \"a\": \"b\"\n");
    const QString deep = Book(QByteArray("GROUP g\n").repeated(25000) + "a: b\n", "deep.tlw");
    const Result deepResult = Run({"-c", "ulimit -s 256 && exec \"$0\" find g \"$1\"", kTool, deep},
                                  QProcess::nullDevice(), "/bin/sh");
    QCOMPARE(deepResult.err, QByteArray());
    QCOMPARE(deepResult.exitCode, 0);
}

QTEST_GUILESS_MAIN(TestTellwickBook)
#include "tst_tellwickbook.moc"
