#include "framework/ProfileFile.h"
#include "framework/RecentFileList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

const QString recent = QStringLiteral("Recent File List");

struct LoadOutcome {
    bool returned = false;
    bool loaded = false;
    QString error;
};

constexpr unsigned loadTimeoutSeconds = 10;

// Root reads files whatever their mode; nobody does not.
bool dropRoot() {
    constexpr uid_t nobody = 65534;
    return ::geteuid() != 0 ||
           (::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0);
}

// Loads in a child process, so that a load that blocks ends in a failure, not a hung test.
LoadOutcome loadInChild(const QString& path, bool asNobody) {
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return {};
    }
    if (pid == 0) {
        ::close(fds[0]);
        if (asNobody && !dropRoot())
            _exit(3);
        ::alarm(loadTimeoutSeconds);
        ProfileFile profile;
        const bool loaded = profile.load(path);
        const QByteArray report = (loaded ? "1" : "0") + profile.loadError().toUtf8();
        _exit(::write(fds[1], report.constData(), report.size()) == report.size() ? 0 : 4);
    }
    ::close(fds[1]);
    QByteArray report;
    char buffer[512];
    for (ssize_t got; (got = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, got);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || report.isEmpty())
        return {};
    return {true, report.startsWith('1'), QString::fromUtf8(report.sliced(1))};
}

bool isFifo(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISFIFO(info.st_mode);
}

bool makeFifo(const QString& path) {
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

QStringList pathsOf(const RecentFileList& list) {
    QStringList paths;
    for (int i = 0; i < list.count(); ++i)
        paths.append(list.path(i));
    return paths;
}

} // namespace

class TestProfile : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;

    QString tempPath(const QString& name) const { return m_home.filePath(name); }

    // The bytes a profile holding `original` writes after `change`.
    template <typename Change> QByteArray rewritten(const QByteArray& original, Change change) {
        writeFile(tempPath("in.INI"), original);
        ProfileFile profile;
        if (!profile.load(tempPath("in.INI")))
            return "<load failed>";
        change(profile);
        if (!profile.save(tempPath("out.INI")))
            return "<save failed>";
        return readFile(tempPath("out.INI"));
    }

private slots:
    void initTestCase() {
        // Keep every path, the default one included, away from the real profile.
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath("config")));
    }

    void defaultPathFollowsXdgConfigHome_data() {
        QTest::addColumn<QByteArray>("xdgConfigHome");
        QTest::addColumn<bool>("unset");
        QTest::addColumn<QString>("expected");
        const QString fallback = m_home.path() + "/.config/tellwick.INI";
        QTest::newRow("absolute") << QByteArray("/srv/cfg/") << false << "/srv/cfg/tellwick.INI";
        QTest::newRow("unset") << QByteArray() << true << fallback;
        QTest::newRow("empty") << QByteArray("") << false << fallback;
        QTest::newRow("relative") << QByteArray("cfg") << false << fallback;
    }
    void defaultPathFollowsXdgConfigHome() {
        QFETCH(QByteArray, xdgConfigHome);
        QFETCH(bool, unset);
        QFETCH(QString, expected);
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        if (unset)
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", xdgConfigHome);
        const QString path = ProfileFile::defaultPath();
        qputenv("XDG_CONFIG_HOME", saved);
        QCOMPARE(path, expected);
    }

    void missingFileIsAnEmptyProfile() {
        ProfileFile profile;
        writeFile(tempPath("old.INI"), "[Settings]\nPreviewPages=3\n");
        QVERIFY(profile.load(tempPath("old.INI")));
        QVERIFY(profile.load(tempPath("missing.INI")));
        QCOMPARE(profile.loadError(), QString());
        QCOMPARE(profile.value("Settings", "PreviewPages", "none"), QString("none"));
        QCOMPARE(profile.intValue("Settings", "PreviewPages", 7), 7);
    }

    void readsHandWrittenFile() {
        writeFile(tempPath("hand.INI"), "\xEF\xBB\xBF"
                                        "; written by hand\r\n"
                                        "\r\n"
                                        "  [ recent file LIST ]  \r\n"
                                        "file1 =  /home/u/a b.tlw \t\r\n"
                                        "\tFile2=\"  /home/u/edge.tlw \"\r\n"
                                        "File1=/second/duplicate.tlw\r\n"
                                        "not an entry\r\n"
                                        "[Settings]\r\n"
                                        "PreviewPages = 2\r\n"
                                        "Name=\xE5\x90\x8D\xE5\x89\x8D\xE3\x80\x80\r\n"
                                        "Equation=a=b\r\n"
                                        "Mid=a\rb");
        ProfileFile profile;
        QVERIFY(profile.load(tempPath("hand.INI")));
        QCOMPARE(profile.value(recent, "File1"), QString("/home/u/a b.tlw"));
        QCOMPARE(profile.value(recent, "FILE2"), QString("  /home/u/edge.tlw "));
        QCOMPARE(profile.intValue("settings", "previewpages"), 2);
        QCOMPARE(profile.value("Settings", "Name"), QString("名前\u3000"));
        QCOMPARE(profile.value("Settings", "Equation"), QString("a=b"));
        QCOMPARE(profile.value("Settings", "Mid"), QString("a\rb"));
        QCOMPARE(profile.value(recent, "not an entry", "-"), QString("-"));
        QCOMPARE(profile.value("Recent", "File1", "-"), QString("-"));
    }

    void keepsUnknownDataOnSave() {
        const QByteArray original = "; comment before any section\r\n"
                                    "[Other Program]\r\n"
                                    "Odd Key  =  kept as is  \r\n"
                                    "Latin1=\xE9t\xE9\r\n"
                                    "[Recent File List]\r\n"
                                    "File1=/a.tlw\r\n"
                                    "Future=1\r\n"
                                    "\r\n"
                                    "[Newer Version]\r\n"
                                    "Flag=on\r\n"
                                    "[]\r\n"
                                    "Nameless=1\r\n";
        const QByteArray written = rewritten(original, [](ProfileFile& profile) {
            // An existing key keeps its spelling; a new one is written as given.
            QVERIFY(profile.setValue(recent, "file1", "/b.tlw"));
            QVERIFY(profile.setValue(recent, "File2", "/c.tlw"));
            QVERIFY(profile.setValue("Settings", "PreviewPages", "4"));
        });
        QCOMPARE(written, QByteArray("; comment before any section\r\n"
                                     "[Other Program]\r\n"
                                     "Odd Key  =  kept as is  \r\n"
                                     "Latin1=\xE9t\xE9\r\n"
                                     "[Recent File List]\r\n"
                                     "File1=/b.tlw\r\n"
                                     "Future=1\r\n"
                                     "File2=/c.tlw\r\n"
                                     "\r\n"
                                     "[Newer Version]\r\n"
                                     "Flag=on\r\n"
                                     "[]\r\n"
                                     "Nameless=1\r\n"
                                     "[Settings]\r\n"
                                     "PreviewPages=4\r\n"));
    }

    void unchangedProfileIsRewrittenByteForByte_data() {
        QTest::addColumn<QByteArray>("original");
        QTest::newRow("hand-edited, CR LF") << QByteArray("\xEF\xBB\xBF"
                                                          "; kept by hand\r\n"
                                                          "\r\n"
                                                          "[Other Program]\r\n"
                                                          "  Odd Key  =  spaced  \r\n"
                                                          "\r\n"
                                                          "[Recent File List]\r\n"
                                                          "File1 = /a.tlw\r\n"
                                                          "File2=\"/b.tlw\"\r\n"
                                                          "\r\n"
                                                          "[Settings]\r\n"
                                                          "PreviewPages=99999999999\r\n"
                                                          "Last=no line end");
        QTest::newRow("LF, blank lines") << QByteArray("\n[Recent File List]\n\nFile1=/a.tlw\n\n");
        QTest::newRow("mixed line ends") << QByteArray("[Recent File List]\nFile1=/a.tlw\r\n\n"
                                                       "[Settings]\r\nPreviewPages=2\n");
        QTest::newRow("last line ends in CR") << QByteArray("[Recent File List]\r\nFile1=/a.tlw\r");
        QTest::newRow("byte order mark only") << QByteArray("\xEF\xBB\xBF");
    }
    void unchangedProfileIsRewrittenByteForByte() {
        QFETCH(QByteArray, original);
        const QByteArray written = rewritten(original, [](ProfileFile& profile) {
            RecentFileList list;
            list.read(profile);
            list.write(profile);
            const QString first = profile.value(recent, "File1");
            if (!first.isEmpty())
                QVERIFY(profile.setValue(recent, "file1", first));
        });
        QCOMPARE(written, original);
    }

    void changedEntryChangesOnlyItsLine_data() {
        QTest::addColumn<QByteArray>("original");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray bomAndCrLf = "\xEF\xBB\xBF[Recent File List]\r\n"
                                      "File1 = /a.tlw\r\n"
                                      "\r\n"
                                      "[Settings]\r\n"
                                      "PreviewPages=2\r\n";
        QTest::newRow("changed entry") << bomAndCrLf << recent << "File1"
                                       << "/b.tlw"
                                       << QByteArray("\xEF\xBB\xBF[Recent File List]\r\n"
                                                     "File1=/b.tlw\r\n"
                                                     "\r\n"
                                                     "[Settings]\r\n"
                                                     "PreviewPages=2\r\n");
        QTest::newRow("new entry before blank lines")
            << bomAndCrLf << recent << "File2"
            << "/c.tlw"
            << QByteArray("\xEF\xBB\xBF[Recent File List]\r\n"
                          "File1 = /a.tlw\r\n"
                          "File2=/c.tlw\r\n"
                          "\r\n"
                          "[Settings]\r\n"
                          "PreviewPages=2\r\n");
        QTest::newRow("same value")
            << QByteArray("[Recent File List]\r\nFile1 = \"/a.tlw\"  ") << recent << "FILE1"
            << "/a.tlw" << QByteArray("[Recent File List]\r\nFile1 = \"/a.tlw\"  ");
        QTest::newRow("new section in an LF file")
            << QByteArray("[A]\nK=1\r\n") << "Settings"
            << "PreviewPages"
            << "3" << QByteArray("[A]\nK=1\r\n[Settings]\nPreviewPages=3\n");
        QTest::newRow("after a last line without line end")
            << QByteArray("[A]\r\nK=1") << "Settings"
            << "PreviewPages"
            << "3" << QByteArray("[A]\r\nK=1\r\n[Settings]\r\nPreviewPages=3\r\n");
        QTest::newRow("after a last line ending in CR")
            << QByteArray("[A]\r\nK=1\r") << "A"
            << "L"
            << "2" << QByteArray("[A]\r\nK=1\r\nL=2\r\n");
        QTest::newRow("changed last line without line end")
            << QByteArray("[Recent File List]\r\nFile1=/a.tlw") << recent << "File1"
            << "/b.tlw" << QByteArray("[Recent File List]\r\nFile1=/b.tlw\r\n");
        QTest::newRow("new file") << QByteArray() << "Settings"
                                  << "PreviewPages"
                                  << "3" << QByteArray("[Settings]\nPreviewPages=3\n");
    }
    void changedEntryChangesOnlyItsLine() {
        QFETCH(QByteArray, original);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, expected);
        const QByteArray written = rewritten(original, [&](ProfileFile& profile) {
            QVERIFY(profile.setValue(section, key, value));
        });
        QCOMPARE(written, expected);
    }

    void unreadableProfileFailsToLoadPromptly_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no permission") << "secret.INI"
                                       << "Permission denied";
        QTest::newRow("FIFO") << "fifo.INI"
                              << "not a regular file";
        QTest::newRow("symbolic link to a FIFO") << "fifolink.INI"
                                                 << "not a regular file";
        QTest::newRow("directory") << "dir.INI"
                                   << "Is a directory";
        QTest::newRow("symbolic link loop") << "loop.INI"
                                            << "Too many levels of symbolic links";
        QTest::newRow("larger than 1 MiB") << "huge.INI"
                                           << "larger than 1 MiB";
    }
    void unreadableProfileFailsToLoadPromptly() {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        const QString path = tempPath(name);
        QDir(m_home.path()).mkdir("dir.INI");
        if (!QFile::exists(tempPath("fifo.INI")))
            QVERIFY(makeFifo(tempPath("fifo.INI")));
        QFile::link(tempPath("fifo.INI"), tempPath("fifolink.INI"));
        QFile::link(tempPath("loop.INI"), tempPath("loop.INI"));
        writeFile(tempPath("huge.INI"), QByteArray(ProfileFile::maxFileSize + 1, ';'));
        writeFile(tempPath("secret.INI"), "[Settings]\nPreviewPages=2\n");
        QVERIFY(QFile::setPermissions(tempPath("secret.INI"), {}));
        // Nobody must reach the files in the test's directory.
        QVERIFY(QFile::setPermissions(m_home.path(), QFile::permissions(m_home.path()) |
                                                         QFile::ExeOther | QFile::ReadOther));
        const LoadOutcome outcome = loadInChild(path, true);
        QVERIFY2(outcome.returned, "load did not return, or the child failed");
        QVERIFY(!outcome.loaded);
        QCOMPARE(outcome.error, "cannot read '" + path + "': " + reason);
    }

    void saveNeverReplacesWhatIsNotAFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("saved");
        QTest::newRow("FIFO") << "savefifo.INI" << false;
        QTest::newRow("symbolic link to a FIFO") << "linktofifo.INI" << false;
        QTest::newRow("symbolic link to a file") << "linktofile.INI" << true;
        QTest::newRow("dangling symbolic link") << "dangling.INI" << true;
    }
    void saveNeverReplacesWhatIsNotAFile() {
        QFETCH(QString, name);
        QFETCH(bool, saved);
        if (!QFile::exists(tempPath("savefifo.INI")))
            QVERIFY(makeFifo(tempPath("savefifo.INI")));
        QFile::link(tempPath("savefifo.INI"), tempPath("linktofifo.INI"));
        writeFile(tempPath("target.INI"), "[A]\nK=1\n");
        QFile::link(tempPath("target.INI"), tempPath("linktofile.INI"));
        QFile::remove(tempPath("absent/target.INI"));
        QFile::link(tempPath("absent/target.INI"), tempPath("dangling.INI"));
        const QString path = tempPath(name);
        const QString linkTarget = QFileInfo(path).symLinkTarget();
        ProfileFile profile;
        QVERIFY(profile.setValue("Settings", "PreviewPages", "1"));
        QCOMPARE(profile.save(path), saved);
        QCOMPARE(QFileInfo(path).symLinkTarget(), linkTarget);
        QVERIFY(isFifo(tempPath("savefifo.INI")));
        if (saved)
            QCOMPARE(readFile(path), QByteArray("[Settings]\nPreviewPages=1\n"));
    }

    void refusesWhatCouldNotBeReadBack_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("LF in value") << recent << "File1"
                                     << "/a\n[Evil]";
        QTest::newRow("CR in value") << recent << "File1"
                                     << "/a\r";
        QTest::newRow("NUL in value") << recent << "File1" << QString::fromUtf8("/a\0b", 4);
        QTest::newRow("empty key") << recent << ""
                                   << "/a";
        QTest::newRow("= in key") << recent << "File=1"
                                  << "/a";
        QTest::newRow("blank around key") << recent << "File1 "
                                          << "/a";
        QTest::newRow("key like a header") << recent << "[File1"
                                           << "/a";
        QTest::newRow("key like a comment") << recent << ";File1"
                                            << "/a";
        QTest::newRow("LF in key") << recent << "File\n1"
                                   << "/a";
        QTest::newRow("empty section") << ""
                                       << "File1"
                                       << "/a";
        QTest::newRow("] in section") << "Recent]"
                                      << "File1"
                                      << "/a";
        QTest::newRow("LF in section") << "Recent\n"
                                       << "File1"
                                       << "/a";
    }
    void refusesWhatCouldNotBeReadBack() {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QByteArray original = "[Recent File List]\nFile1=/old.tlw\n";
        const QByteArray written = rewritten(original, [&](ProfileFile& profile) {
            QVERIFY(!profile.setValue(section, key, value));
            QCOMPARE(profile.value(recent, "File1"), QString("/old.tlw"));
        });
        QCOMPARE(written, original);
    }

    void valuesReadBackAsWritten_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("empty") << "";
        QTest::newRow("spaces and ampersand") << "/home/u/a b&c/x y.tlw";
        QTest::newRow("japanese") << "/home/ユーザー/住所録 (家族).tlw";
        QTest::newRow("blanks at the ends") << " \t/tmp/a.tlw  ";
        QTest::newRow("quoted") << "\"quoted\"";
        QTest::newRow("lone quote") << "\"";
        QTest::newRow("equals and brackets") << "a=b [c] ;d";
        QTest::newRow("ideographic space at the end") << "/tmp/名前\u3000";
    }
    void valuesReadBackAsWritten() {
        QFETCH(QString, value);
        ProfileFile profile;
        QVERIFY(profile.setValue("Section", "Key", value));
        QVERIFY(profile.save(tempPath("round.INI")));
        ProfileFile reread;
        QVERIFY(reread.load(tempPath("round.INI")));
        QCOMPARE(reread.value("Section", "Key", "<missing>"), value);
    }

    void removeDropsEveryDuplicate() {
        const QByteArray written =
            rewritten("[A]\nKey=1\nOther=2\nKEY=3\n[B]\nKey=4\n", [](ProfileFile& profile) {
                profile.remove("a", "key");
                profile.remove("Missing", "Key");
                QCOMPARE(profile.value("A", "Key", "gone"), QString("gone"));
            });
        QCOMPARE(written, QByteArray("[A]\nOther=2\n[B]\nKey=4\n"));
    }

    void intValueTakesLeadingInteger_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("expected");
        QTest::newRow("plain") << QByteArray("N=12") << 12;
        QTest::newRow("signed") << QByteArray("N= -7 ") << -7;
        QTest::newRow("plus") << QByteArray("N=+3") << 3;
        QTest::newRow("trailing text") << QByteArray("N=12abc") << 12;
        QTest::newRow("no digits") << QByteArray("N=abc") << 0;
        QTest::newRow("empty") << QByteArray("N=") << 99;
        QTest::newRow("missing") << QByteArray("M=5") << 99;
        QTest::newRow("too large") << QByteArray("N=99999999999999999999") << INT_MAX;
        QTest::newRow("too small") << QByteArray("N=-99999999999") << INT_MIN;
    }
    void intValueTakesLeadingInteger() {
        QFETCH(QByteArray, line);
        QFETCH(int, expected);
        writeFile(tempPath("int.INI"), "[Settings]\n" + line + "\n");
        ProfileFile profile;
        QVERIFY(profile.load(tempPath("int.INI")));
        QCOMPARE(profile.intValue("Settings", "N", 99), expected);
    }

    void saveCreatesTheDirectory() {
        const QString path = tempPath("new/nested/tellwick.INI");
        ProfileFile profile;
        QVERIFY(profile.setValue("Settings", "PreviewPages", "1"));
        QVERIFY(profile.save(path));
        QCOMPARE(readFile(path), QByteArray("[Settings]\nPreviewPages=1\n"));
    }

    void saveFailsWhereNoDirectoryCanBe() {
        writeFile(tempPath("plainfile"), "x");
        ProfileFile profile;
        QVERIFY(profile.setValue("Settings", "PreviewPages", "1"));
        QVERIFY(!profile.save(tempPath("plainfile/tellwick.INI")));
        QCOMPARE(readFile(tempPath("plainfile")), QByteArray("x"));
    }

    void recentListKeepsMostRecentFirst() {
        RecentFileList list;
        for (const char* path : {"/a.tlw", "/b.tlw", "/c.tlw", "/d.tlw", "/e.tlw"})
            QVERIFY(list.add(path));
        QCOMPARE(pathsOf(list), QStringList({"/e.tlw", "/d.tlw", "/c.tlw", "/b.tlw"}));
        QVERIFY(list.add("/x/../c.tlw"));
        QCOMPARE(pathsOf(list), QStringList({"/c.tlw", "/e.tlw", "/d.tlw", "/b.tlw"}));
        QVERIFY(list.add("/E.tlw"));
        QCOMPARE(pathsOf(list), QStringList({"/E.tlw", "/c.tlw", "/e.tlw", "/d.tlw"}));
        list.remove(1);
        list.remove(-1);
        list.remove(3);
        QCOMPARE(pathsOf(list), QStringList({"/E.tlw", "/e.tlw", "/d.tlw"}));
        QCOMPARE(list.path(3), QString());
    }

    void recentListRefusesUnstorablePaths_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("empty") << "";
        QTest::newRow("LF") << "/home/u/a\nb.tlw";
        QTest::newRow("CR") << "/home/u/a\rb.tlw";
        QTest::newRow("tab") << "/home/u/a\tb.tlw";
        QTest::newRow("escape") << "/home/u/\x1b[31m.tlw";
        QTest::newRow("DEL") << "/home/u/a\x7f.tlw";
        QTest::newRow("C1 control") << "/home/u/a\u0085b.tlw";
    }
    void recentListRefusesUnstorablePaths() {
        QFETCH(QString, path);
        RecentFileList list;
        QVERIFY(list.add("/kept.tlw"));
        QVERIFY(!list.add(path));
        QCOMPARE(list.count(), 1);
        QCOMPARE(list.path(0), QString("/kept.tlw"));
    }

    void recentListReadsProfile() {
        writeFile(tempPath("recent.INI"), "[Settings]\r\n"
                                          "File1=/not/this.tlw\r\n"
                                          "[recent file list]\r\n"
                                          "File1 = /home/u/one.tlw\r\n"
                                          "File2=\r\n"
                                          "File3=/home/u/broken\rline.tlw\r\n"
                                          "file4=/home/u/./four.tlw\r\n"
                                          "File5=/home/u/five.tlw\r\n");
        ProfileFile profile;
        QVERIFY(profile.load(tempPath("recent.INI")));
        RecentFileList list;
        QVERIFY(list.add("/replaced.tlw"));
        list.read(profile);
        QCOMPARE(list.count(), 2);
        QCOMPARE(list.path(0), QString("/home/u/one.tlw"));
        QCOMPARE(list.path(1), QString("/home/u/four.tlw"));
    }

    void recentListWritesExactContent() {
        const QByteArray original = "[Settings]\nPreviewPages=2\n"
                                    "[Recent File List]\nFile4=/stale.tlw\n";
        const QByteArray written = rewritten(original, [](ProfileFile& profile) {
            RecentFileList list;
            QVERIFY(list.add("/home/u/x.tlw"));
            QVERIFY(list.add("/home/u/a b&c/名前.tlw"));
            list.write(profile);
        });
        QCOMPARE(written, QByteArray("[Settings]\nPreviewPages=2\n"
                                     "[Recent File List]\n"
                                     "File1=/home/u/a b&c/\xE5\x90\x8D\xE5\x89\x8D.tlw\n"
                                     "File2=/home/u/x.tlw\n"));
    }

    void recentListRoundTrip() {
        RecentFileList list;
        const QStringList paths{"/tmp/trailing space.tlw ", "/home/u/R&D/a&b.tlw",
                                "/home/ユーザー/住所録.tlw", "/srv/\"quoted\""};
        for (const QString& path : paths)
            QVERIFY(list.add(path));
        ProfileFile profile;
        list.write(profile);
        QVERIFY(profile.save(tempPath("roundtrip.INI")));
        ProfileFile reread;
        QVERIFY(reread.load(tempPath("roundtrip.INI")));
        RecentFileList restored;
        restored.read(reread);
        QCOMPARE(restored.count(), paths.size());
        for (int i = 0; i < restored.count(); ++i)
            QCOMPARE(restored.path(i), list.path(i));
    }

    void displayNameFitsTheMenu_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("currentDir");
        QTest::addColumn<QString>("expected");
        const QString smile = QStringLiteral("\U0001F600");
        QTest::newRow("in current dir") << "/home/u/R&D a.tlw"
                                        << "/home/u/"
                                        << "R&&D a.tlw";
        QTest::newRow("in root dir") << "/a.tlw"
                                     << "/"
                                     << "a.tlw";
        QTest::newRow("in a subdirectory") << "/home/u/sub/a.tlw"
                                           << "/home/u"
                                           << "/home/u/sub/a.tlw";
        QTest::newRow("no current dir") << "/home/u/a.tlw"
                                        << ""
                                        << "/home/u/a.tlw";
        QTest::newRow("exactly 30") << "/home/user/docs/abcdefghij.tlw"
                                    << "/"
                                    << "/home/user/docs/abcdefghij.tlw";
        QTest::newRow("31") << "/home/user/docs/abcdefghijk.tlw"
                            << "/"
                            << "/home/user/.../abcdefghijk.tlw";
        QTest::newRow("long") << "/home/user/documents/books/2024/family/addresses.tlw"
                              << "/"
                              << "/home/user/.../addresses.tlw";
        QTest::newRow("japanese") << "/home/ユーザー/ドキュメント/住所録/家族の名前.tlw"
                                  << "/"
                                  << "/home/ユーザー/.../家族の名前.tlw";
        QTest::newRow("ampersands doubled after cutting") << "/R&D/projects/2024/archive/a&b.tlw"
                                                          << "/"
                                                          << "/R&&D/projects/2024/.../a&&b.tlw";
        QTest::newRow("only the name fits") << "/home/abcdefghijklmnopqrstuvwx.tlw"
                                            << "/"
                                            << "abcdefghijklmnopqrstuvwx.tlw";
        QTest::newRow("name too long") << "/home/a-very-long-file-name-for-the-family-book.tlw"
                                       << "/"
                                       << "a-very-long-f...amily-book.tlw";
        QTest::newRow("name too long in current dir")
            << "/home/a-very-long-file-name-for-the-family-book.tlw"
            << "/home"
            << "a-very-long-f...amily-book.tlw";
        QTest::newRow("japanese name too long")
            << "/家族と友人と仕事関係の皆さんの住所をまとめた大事な一覧表です.tlw"
            << "/home"
            << "家族と友人と仕事関係の皆さ...めた大事な一覧表です.tlw";
        QTest::newRow("30 characters outside the basic plane")
            << "/home/" + smile.repeated(20) + ".tlw"
            << "/"
            << "/home/" + smile.repeated(20) + ".tlw";
        QTest::newRow("cut outside the basic plane")
            << "/home/" + smile.repeated(40) + ".tlw"
            << "/" << smile.repeated(13) + "..." + smile.repeated(10) + ".tlw";
    }
    void displayNameFitsTheMenu() {
        QFETCH(QString, path);
        QFETCH(QString, currentDir);
        QFETCH(QString, expected);
        RecentFileList list;
        QVERIFY(list.add(path));
        QCOMPARE(list.displayName(0, currentDir), expected);
    }

    void menuTextNumbersEntries() {
        RecentFileList list(10);
        for (int i = 10; i >= 1; --i)
            QVERIFY(list.add(QStringLiteral("/home/u/R&D %1.tlw").arg(i)));
        QCOMPARE(list.menuText(0, "/home/u"), QString("&1 R&&D 1.tlw"));
        QCOMPARE(list.menuText(1, "/srv"), QString("&2 /home/u/R&&D 2.tlw"));
        QCOMPARE(list.menuText(9, "/home/u"), QString("&0 R&&D 10.tlw"));
    }
};

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
