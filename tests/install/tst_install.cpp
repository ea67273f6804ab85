// Installs the build into a temporary prefix, then checks it the way a desktop and its tools
// read it: the desktop entry, the MIME type of books, the icon theme and the manual pages.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <map>

namespace {

struct Finished {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Finished Run(const QString& program, const QStringList& arguments,
             const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Finished finished;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        finished.err = program.toUtf8() + " did not finish: " + process.errorString().toUtf8();
        return finished;
    }
    finished.exitCode = process.exitCode();
    finished.out = process.readAllStandardOutput();
    finished.err = process.readAllStandardError();
    return finished;
}

bool HaveTool(const QString& name) {
    return !QStandardPaths::findExecutable(name).isEmpty();
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The [Desktop Entry] group as key -> value, localized keys kept as written ("Name[ja]").
std::map<QString, QString> DesktopEntry(const QString& path) {
    std::map<QString, QString> entry;
    const QStringList lines = QString::fromUtf8(ReadAll(path)).split(u'\n');
    bool inEntry = false;
    for (const QString& line : lines) {
        if (line.startsWith(u'['))
            inEntry = line == u"[Desktop Entry]";
        const qsizetype equals = line.indexOf(u'=');
        if (inEntry && equals > 0)
            entry[line.left(equals)] = line.sliced(equals + 1);
    }
    return entry;
}

struct MimeDefinition {
    QString type;
    QStringList globs;
    QString error;
};

// The one type a shared-mime-info package file declares, with its glob patterns.
MimeDefinition ReadMimeDefinition(const QString& path) {
    static const QString kNamespace =
        QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info");
    MimeDefinition definition;
    QXmlStreamReader xml(ReadAll(path));
    int types = 0;
    while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
        if (!xml.isStartElement())
            continue;
        if (xml.namespaceUri() != kNamespace) {
            definition.error = QStringLiteral("element outside the shared-mime-info namespace");
            return definition;
        }
        if (xml.name() == u"mime-type") {
            ++types;
            definition.type = xml.attributes().value(QLatin1String("type")).toString();
        } else if (xml.name() == u"glob") {
            definition.globs << xml.attributes().value(QLatin1String("pattern")).toString();
        }
    }
    if (xml.hasError())
        definition.error = xml.errorString();
    else if (types != 1)
        definition.error = QStringLiteral("%1 mime-type elements").arg(types);
    return definition;
}

// Roff source as a reader sees it: escaped hyphens and font changes gone.
QString ManPageText(const QString& path) {
    QString text = QString::fromUtf8(ReadAll(path));
    text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    text.remove(QRegularExpression(QStringLiteral(R"(\\f[BIRP])")));
    return text;
}

// Whether a manual page describes NAME in a tagged paragraph of its own.
bool DescribesItem(const QString& page, const QString& name) {
    const QRegularExpression item(QStringLiteral(R"(\n\.TP\n\.[A-Z]+ [^\n]*(?<![\w-])%1(?![\w-]))")
                                      .arg(QRegularExpression::escape(name)));
    return page.contains(item);
}

// The switches a --help text lists in its option table: "  -p BOOK", "  -Embedding, ...".
QStringList SwitchesListed(const QString& help) {
    QStringList switches;
    static const QRegularExpression option(QStringLiteral(R"(^ {2}(-[^ ,\n]+)(, (-[^ ,\n]+))?)"),
                                           QRegularExpression::MultilineOption);
    for (const QRegularExpressionMatch& match : option.globalMatch(help)) {
        switches << match.captured(1);
        if (match.hasCaptured(3))
            switches << match.captured(3);
    }
    return switches;
}

// The commands of a "Usage: PROGRAM COMMAND ..." text, one a line.
QStringList CommandsListed(const QString& program, const QString& usage) {
    QStringList commands;
    const QRegularExpression line(
        QStringLiteral(R"(^(?:Usage:)? *%1 ([a-z]+))").arg(QRegularExpression::escape(program)),
        QRegularExpression::MultilineOption);
    for (const QRegularExpressionMatch& match : line.globalMatch(usage))
        commands << match.captured(1);
    return commands;
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT

    QTemporaryDir prefix_;
    QTemporaryDir scratch_;

    QString installed(const QString& path) const { return prefix_.filePath(path); }

    QString bookType() const {
        return ReadMimeDefinition(installed("share/mime/packages/tellwick.xml")).type;
    }

    // The probe's answer for each name, under data directories that hold only SHARE.
    QStringList mimeTypesOf(const QString& share, const QStringList& names) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_DIRS", share);
        environment.insert("XDG_DATA_HOME", scratch_.filePath("no-data-home"));
        const Finished probe = Run(MIME_PROBE_PATH, names, environment);
        if (probe.exitCode != 0)
            return {QString::fromUtf8(probe.err)};
        return QString::fromUtf8(probe.out).split(u'\n', Qt::SkipEmptyParts);
    }

    // A data directory holding the book type as update-mime-database compiles it, the form
    // desktops read once the package is installed.
    Finished compileMimeShare(const QString& share) const {
        QDir().mkpath(share + "/mime/packages");
        QFile::copy(installed("share/mime/packages/tellwick.xml"),
                    share + "/mime/packages/tellwick.xml");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_DIRS", share); // else it warns that no one looks there
        return Run("update-mime-database", {share + "/mime"}, environment);
    }

private slots:
    void initTestCase() {
        QVERIFY(prefix_.isValid());
        QVERIFY(scratch_.isValid());
        const Finished install =
            Run(CMAKE_COMMAND_PATH, {"--install", TELLWICK_BUILD_DIR, "--prefix", prefix_.path()});
        QVERIFY2(install.exitCode == 0, install.err.constData());
    }

    void desktopEntryPassesTheValidator() {
        if (!HaveTool("desktop-file-validate"))
            QSKIP("desktop-file-validate is not installed (Debian: desktop-file-utils)");
        const Finished check =
            Run("desktop-file-validate", {installed("share/applications/tellwick.desktop")});
        QCOMPARE(check.exitCode, 0);
        QCOMPARE(check.out + check.err, QByteArray()); // warnings included
    }

    // The launcher starts the installed program with the book, shows the installed icon and
    // offers itself for the type the MIME definition gives books.
    void desktopEntryOpensBooksWithTheInstalledProgram() {
        auto entry = DesktopEntry(installed("share/applications/tellwick.desktop"));
        const QStringList exec = entry["Exec"].split(u' ');
        QCOMPARE(exec.size(), 2);
        QVERIFY(QFileInfo(installed("bin/" + exec[0])).isExecutable());
        QVERIFY(exec[1] == u"%f" || exec[1] == u"%F");
        QVERIFY(QFileInfo::exists(
            installed("share/icons/hicolor/48x48/apps/" + entry["Icon"] + ".png")));
        QVERIFY(!bookType().isEmpty());
        QCOMPARE(entry["MimeType"], bookType() + u';');
        QVERIFY(!entry["Name[ja]"].isEmpty());
        QVERIFY(!entry["Comment[ja]"].isEmpty());
    }

    void mimeDefinitionIsWellFormed() {
        const QString path = installed("share/mime/packages/tellwick.xml");
        if (HaveTool("xmllint")) {
            const Finished lint = Run("xmllint", {"--noout", path});
            QVERIFY2(lint.exitCode == 0 && lint.err.isEmpty(), lint.err.constData());
        }
        const MimeDefinition definition = ReadMimeDefinition(path);
        QVERIFY2(definition.error.isEmpty(), qPrintable(definition.error));
        QVERIFY(definition.type.startsWith("application/"));
        QCOMPARE(definition.globs, QStringList{"*.tlw"});
    }

    void booksGetTheBookType_data() {
        QTest::addColumn<QString>("form");
        QTest::newRow("package file") << "xml";
        QTest::newRow("compiled cache") << "cache";
    }

    // Any letter case of the extension is a book; a book is text for editors too.
    void booksGetTheBookType() {
        QFETCH(QString, form);
        QString share = installed("share");
        if (form == u"cache") {
            if (!HaveTool("update-mime-database"))
                QSKIP("update-mime-database is not installed (Debian: shared-mime-info)");
            share = scratch_.filePath("compiled");
            const Finished update = compileMimeShare(share);
            QVERIFY2(update.exitCode == 0 && update.err.isEmpty(), update.err.constData());
        }
        const QStringList books = {"x.tlw", "book.TLW", "住所録.Tlw", "/home/a/.b.tLw"};
        const QStringList others = {"x.tlw.bak", "tlw", "x.tl"};
        const QStringList answers = mimeTypesOf(share, books + others);
        QCOMPARE(answers.size(), books.size() + others.size());
        for (qsizetype i = 0; i < answers.size(); ++i) {
            const QStringList fields = answers[i].split(u'\t');
            QCOMPARE(fields.size(), 4);
            const bool isBook = i < books.size();
            QCOMPARE(fields[0] == bookType(), isBook);
            if (isBook) {
                QCOMPARE(fields[1], QString("1")); // a kind of text/plain
                QVERIFY(!fields[3].isEmpty());
                QVERIFY2(fields[2] != fields[3], "no Japanese comment");
            }
        }
    }

    void iconsHaveTheirSizes_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("size");
        for (const QString name : {"apps/tellwick", "mimetypes/application-x-tellwick-book"}) {
            for (int size : {16, 32, 48, 64, 256}) {
                const QString path =
                    QStringLiteral("share/icons/hicolor/%1x%1/%2.png").arg(size).arg(name);
                QTest::newRow(qPrintable(path)) << path << size;
            }
        }
    }

    void iconsHaveTheirSizes() {
        QFETCH(QString, path);
        QFETCH(int, size);
        const QImage icon(installed(path));
        QVERIFY2(!icon.isNull(), qPrintable(path));
        QCOMPARE(icon.size(), QSize(size, size));
        QVERIFY(icon.hasAlphaChannel());
    }

    void scalableIconsAreSvg() {
        for (const char* path : {"share/icons/hicolor/scalable/apps/tellwick.svg",
                                 "share/icons/hicolor/scalable/mimetypes/"
                                 "application-x-tellwick-book.svg"}) {
            QVERIFY2(ReadAll(installed(path)).startsWith("<svg "), path);
        }
    }

    void manPagesFormatWithoutWarnings_data() {
        QTest::addColumn<QString>("page");
        QTest::newRow("tellwick") << "tellwick.1";
        QTest::newRow("tellwick-book") << "tellwick-book.1";
    }

    void manPagesFormatWithoutWarnings() {
        QFETCH(QString, page);
        if (!HaveTool("groff"))
            QSKIP("groff is not installed (Debian: groff-base)");
        const Finished format =
            Run("groff", {"-man", "-Tutf8", "-ww", "-z", installed("share/man/man1/" + page)});
        QCOMPARE(format.exitCode, 0);
        QCOMPARE(format.err, QByteArray());
    }

    // Whatever the programs' own help lists, their manual pages describe too.
    void manPagesDescribeWhatTheProgramsOffer() {
        const Finished help = Run(installed("bin/tellwick"), {"--help"});
        QCOMPARE(help.exitCode, 0);
        const QStringList switches = SwitchesListed(QString::fromUtf8(help.out));
        QVERIFY(switches.contains("-dde"));
        const QString page = ManPageText(installed("share/man/man1/tellwick.1"));
        for (const QString& name : switches)
            QVERIFY2(DescribesItem(page, name), qPrintable(name));

        const Finished usage = Run(installed("bin/tellwick-book"), {"--help"});
        QCOMPARE(usage.exitCode, 0);
        const QStringList commands = CommandsListed("tellwick-book", QString::fromUtf8(usage.out));
        QVERIFY(commands.contains("normalize"));
        const QString bookPage = ManPageText(installed("share/man/man1/tellwick-book.1"));
        for (const QString& name : commands)
            QVERIFY2(DescribesItem(bookPage, name), qPrintable(name));
    }
};

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
