#include "app/CommandLine.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using ShellCommand = CommandLineInfo::ShellCommand;
Q_DECLARE_METATYPE(CommandLineInfo::ShellCommand)

// Readable names in failure messages; found by QCOMPARE through argument-dependent lookup.
char* toString(ShellCommand command) {
    static const char* const names[] = {"New", "Open", "Print", "PrintTo", "Dde"};
    return qstrdup(names[static_cast<int>(command)]);
}

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The rows below rely on these root-level names existing or not.
        QVERIFY(QFileInfo::exists("/tmp"));
        for (const char* name : {"/p", "/P", "/pt", "/dde", "/zz"})
            QVERIFY2(!QFileInfo::exists(name), name);
    }

    void parses_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<ShellCommand>("command");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("printer");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("port");

        const auto row = [](const char* name, const QStringList& args, ShellCommand command,
                            const QString& file = {}, const QString& printer = {},
                            const QString& driver = {}, const QString& port = {}) {
            QTest::newRow(name) << args << command << file << printer << driver << port;
        };
        row("no arguments", {}, ShellCommand::New);
        row("one file", {"book.tlw"}, ShellCommand::Open, "book.tlw");
        row("second file ignored", {"a.tlw", "b.tlw"}, ShellCommand::Open, "a.tlw");
        row("upper-case P is no switch", {"/P", "a.tlw"}, ShellCommand::Open, "a.tlw");
        row("print", {"/p", "a.tlw"}, ShellCommand::Print, "a.tlw");
        row("print switch last", {"a.tlw", "-p"}, ShellCommand::Print, "a.tlw");
        row("print without file", {"-p"}, ShellCommand::Print);
        row("print to", {"-pt", "a.tlw", "prn", "drv", "port"}, ShellCommand::PrintTo, "a.tlw",
            "prn", "drv", "port");
        row("print to with slash", {"/pt", "a.tlw", "prn"}, ShellCommand::PrintTo, "a.tlw", "prn");
        row("print to, fifth parameter ignored", {"-pt", "a", "prn", "drv", "port", "more"},
            ShellCommand::PrintTo, "a", "prn", "drv", "port");
        row("file before print to", {"a.tlw", "-pt", "prn", "drv", "port"}, ShellCommand::PrintTo,
            "a.tlw", "prn", "drv", "port");
        row("parameter before print to ignored", {"a.tlw", "b", "-pt", "prn"},
            ShellCommand::PrintTo, "a.tlw", "prn");
        row("later switch wins", {"-p", "-pt", "a.tlw", "prn"}, ShellCommand::PrintTo, "a.tlw",
            "prn");
        row("absolute path that does not exist", {"/home/nobody/x.tlw"}, ShellCommand::Open,
            "/home/nobody/x.tlw");
        row("existing root entry", {"/tmp"}, ShellCommand::Open, "/tmp");
        row("dde", {"/dde"}, ShellCommand::Dde);
        row("dde keeps a file name", {"-dde", "a.tlw"}, ShellCommand::Dde, "a.tlw");
        row("Embedding", {"-Embedding", "a.tlw"}, ShellCommand::Open, "a.tlw");
        row("Automation", {"/Automation"}, ShellCommand::New);
        row("unknown switch", {"-zz", "a.tlw"}, ShellCommand::Open, "a.tlw");
        row("unknown slash switch", {"/zz"}, ShellCommand::New);
        row("bare dash", {"-", "a.tlw"}, ShellCommand::Open, "a.tlw");
        row("empty argument fills no slot", {"", "a.tlw"}, ShellCommand::Open, "a.tlw");
    }
    void parses() {
        QFETCH(QStringList, args);
        QFETCH(ShellCommand, command);
        const CommandLineInfo info = parseCommandLine(args);
        QCOMPARE(info.shellCommand, command);
        QTEST(info.fileName, "file");
        QTEST(info.printerName, "printer");
        QTEST(info.driverName, "driver");
        QTEST(info.portName, "port");
    }

    // Names starting with "-" are files when they exist and are no known switch; unknown
    // switches are listed for the user.
    void dashNamesAndUnknownSwitches() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const auto back = qScopeGuard([&] { QDir::setCurrent(old); });
        for (const char* name : {"-dash.tlw", "-p"})
            QVERIFY(QFile(name).open(QIODevice::WriteOnly));

        CommandLineInfo info = parseCommandLine({"-dash.tlw", "-zz", "/Q"});
        QCOMPARE(info.shellCommand, ShellCommand::Open);
        QCOMPARE(info.fileName, QStringLiteral("-dash.tlw"));
        QCOMPARE(info.unknownSwitches, (QStringList{"-zz", "/Q"}));

        info = parseCommandLine({"-p", "a.tlw", "-Embedding"});
        QCOMPARE(info.shellCommand, ShellCommand::Print);
        QCOMPARE(info.fileName, QStringLiteral("a.tlw"));
        QVERIFY(info.unknownSwitches.isEmpty());
    }

    void findsHelpAndVersion() {
        using Request = InformationRequest;
        QCOMPARE(findInformationRequest({}), Request::None);
        QCOMPARE(findInformationRequest({"--help"}), Request::Help);
        QCOMPARE(findInformationRequest({"book.tlw", "--version"}), Request::Version);
        QCOMPARE(findInformationRequest({"--version", "-p", "--help"}), Request::Help);
        QCOMPARE(findInformationRequest({"--", "--help"}), Request::None); // a file's name
        QCOMPARE(findInformationRequest({"-help", "/help", "-version", "--Help"}), Request::None);
    }

    // The real program answers without a window: a platform that cannot start proves it.
    void theProgramPrintsHelpAndVersionWithoutADisplay_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("start");
        QTest::newRow("help") << "--help"
                              << "Usage: tellwick [BOOK.tlw]\n";
        QTest::newRow("version") << "--version"
                                 << "tellwick " TELLWICK_VERSION "\n";
    }
    void theProgramPrintsHelpAndVersionWithoutADisplay() {
        QFETCH(QString, argument);
        QFETCH(QString, start);
        QProcess tellwick;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        tellwick.setProcessEnvironment(environment);
        tellwick.start(QStringLiteral(TELLWICK_PATH), {"book.tlw", argument});
        QVERIFY(tellwick.waitForFinished(60000));
        QCOMPARE(tellwick.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tellwick.exitCode(), 0);
        QVERIFY(QString::fromUtf8(tellwick.readAllStandardOutput()).startsWith(start));
        QVERIFY(tellwick.readAllStandardError().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
