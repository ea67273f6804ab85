// The hidden start's request server, driven by real local-socket clients against the real
// application object.
#include "app/ShellRequestQueue.h"
#include "app/ShellServer.h"
#include "app/ShellSocketPlace.h"
#include "app/TellwickApp.h"
#include "document/TellwickDoc.h"
#include "tests/support/ScriptedPrompter.h"

#include <QDialog>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

// Every box runs a nested event loop for a while, as a real modal box does, and records
// how deeply boxes were stacked.
class ModalPrompter : public ScriptedPrompter {
public:
    int modalMs = 0;
    int depth = 0;
    int deepest = 0;

    Answer ask(QWidget* parent, const QString& caption, const QString& text, Buttons buttons,
               Icon icon, Answer defaultAnswer) override {
        deepest = std::max(deepest, ++depth);
        QEventLoop loop;
        QTimer::singleShot(modalMs, &loop, &QEventLoop::quit);
        loop.exec();
        --depth;
        return ScriptedPrompter::ask(parent, caption, text, buttons, icon, defaultAnswer);
    }
};

QString ServerName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QByteArray OpenRequest(const QString& path) {
    return QStringLiteral("[open(\"%1\")]").arg(path).toUtf8();
}

// A client that sends its bytes, then closes after closeAfterMs.
void SendAndClose(const QByteArray& bytes, int closeAfterMs = 0) {
    auto* client = new QLocalSocket;
    client->connectToServer(ShellSocketPath(ServerName()));
    if (!client->waitForConnected(2000)) {
        delete client;
        QFAIL("cannot connect to the request server");
    }
    client->write(bytes);
    client->waitForBytesWritten(2000);
    QTimer::singleShot(closeAfterMs, client, [client] {
        client->disconnectFromServer();
        client->deleteLater();
    });
}

// Sets the folders the socket place is chosen from while it lives.
class SocketPlaceEnvironment {
public:
    SocketPlaceEnvironment(const QString& temporary, const QString& runtime) {
        set("TMPDIR", temporary);
        set("XDG_RUNTIME_DIR", runtime);
    }
    ~SocketPlaceEnvironment() {
        for (const auto& [name, value] : saved_) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }
    SocketPlaceEnvironment(const SocketPlaceEnvironment&) = delete;
    SocketPlaceEnvironment& operator=(const SocketPlaceEnvironment&) = delete;

private:
    void set(const char* name, const QString& value) {
        saved_.emplace_back(name, qEnvironmentVariableIsSet(name)
                                      ? std::optional<QByteArray>(qgetenv(name))
                                      : std::nullopt);
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, QFile::encodeName(value));
    }
    std::vector<std::pair<const char*, std::optional<QByteArray>>> saved_;
};

QString OwnFolderName() {
    return QStringLiteral("tellwick-%1").arg(::geteuid());
}

// Runs work in a child process as the user nobody; its exit status, or -1.
int RunAsNobody(const std::function<bool()>& work) {
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::setgroups(0, nullptr) == 0 &&
                             ::setresgid(65534, 65534, 65534) == 0 &&
                             ::setresuid(65534, 65534, 65534) == 0;
        ::_exit(dropped && work() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

class TestShellServer : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::unique_ptr<ModalPrompter> prompter_;
    std::unique_ptr<CTellwickApp> app_;

    QString missing(int n) const { return dir_.filePath(QStringLiteral("missing-%1.tlw").arg(n)); }

    CTellwickApp& startHidden(int modalMs) {
        prompter_ = std::make_unique<ModalPrompter>();
        prompter_->modalMs = modalMs;
        app_ = std::make_unique<CTellwickApp>(*prompter_, dir_.filePath("tellwick.INI"));
        [&] { QVERIFY(app_->initInstance({QStringLiteral("-dde")})); }();
        return *app_;
    }

    // Boxes shown so far that name the file.
    int boxesAbout(const QString& path) const {
        return int(prompter_->texts().filter(path).size());
    }

    // The server still takes requests: a request for a missing file is reported.
    void verifyStillServing(int marker) {
        SendAndClose(OpenRequest(missing(marker)) + '\n');
        QTRY_COMPARE(boxesAbout(missing(marker)), 1);
    }

private slots:
    void init() { QVERIFY(dir_.isValid()); }
    void cleanup() {
        app_.reset();
        prompter_.reset();
    }

    void failingRequestsOfClosedClientsRunOneAtATime() {
        startHidden(300);
        SendAndClose(OpenRequest(missing(1)) + '\n', 200);
        SendAndClose(OpenRequest(missing(2)) + '\n', 200);
        QTRY_COMPARE_WITH_TIMEOUT(prompter_->shown.size(), 2, 5000);
        QCOMPARE(boxesAbout(missing(1)), 1);
        QCOMPARE(boxesAbout(missing(2)), 1);
        QCOMPARE(prompter_->deepest, 1);
        verifyStillServing(3);
    }

    void aFloodIsRefusedNotObeyed() {
        startHidden(0);
        QByteArray flood;
        for (int i = 0; i < 3000; ++i)
            flood += OpenRequest(missing(1000 + i)) + '\n';
        SendAndClose(flood);
        // The flood's own boxes are few and never stacked; the server lives on.
        QTest::qWait(500);
        verifyStillServing(4);
        QVERIFY2(prompter_->shown.size() <= 100,
                 qPrintable(QString::number(prompter_->shown.size())));
        QCOMPARE(prompter_->deepest, 1);
    }

    void aFinalRequestWithoutLineBreakIsTaken() {
        startHidden(0);
        SendAndClose(OpenRequest(missing(5)));
        QTRY_COMPARE(boxesAbout(missing(5)), 1);
    }

    void anOverlongLineIsRefusedWhole() {
        startHidden(0);
        // Its tail is a request of its own if the line is cut at the length limit.
        const QByteArray line = QByteArray(64 * 1024 - 1, 'x') + OpenRequest(missing(6));
        SendAndClose(line + '\n' + OpenRequest(missing(7)) + '\n');
        QTRY_COMPARE(boxesAbout(missing(7)), 1);
        QCOMPARE(boxesAbout(missing(6)), 0);
    }

    void keepsListeningWhenDescriptorsRunOut() {
        startHidden(0);
        // A client waits in the backlog while the process has no descriptor left. Its end
        // is counted by a plain function: sanitizers check a first virtual call with a pipe,
        // which cannot be made while descriptors are out.
        int dropped = 0;
        auto client = std::make_unique<QLocalSocket>();
        client->connectToServer(ShellSocketPath(ServerName()));
        QVERIFY(client->waitForConnected(2000));
        connect(client.get(), &QLocalSocket::disconnected, this, [&dropped] { ++dropped; });
        std::vector<int> hogs;
        int fd = -1;
        while ((fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0)
            hogs.push_back(fd);
        const int exhausted = errno;
        {
            const auto release = qScopeGuard([&] {
                for (int hog : hogs)
                    ::close(hog);
            });
            QCOMPARE(exhausted, EMFILE);
            // The server meets EMFILE when it accepts now; it drops the client instead of
            // leaving it hanging or waking up again and again.
            QTRY_COMPARE_WITH_TIMEOUT(dropped, 1, 2000);
        }
        client.reset();
        verifyStillServing(8);
    }

    // Started with standard input closed, as a desktop may start it, the server holds its
    // spare descriptor as 0, and still gives it up for the waiting client.
    void dropsTheWaitingClientWithStandardInputClosed() {
        const int savedInput = ::fcntl(0, F_DUPFD_CLOEXEC, 3);
        QVERIFY(savedInput >= 0);
        ::close(0);
        const auto restoreInput = qScopeGuard([savedInput] {
            ::dup2(savedInput, 0);
            ::close(savedInput);
        });
        ShellRequestQueue queue([](const ShellRequest&) {});
        ShellServer server(queue);
        QCOMPARE(QFile::symLinkTarget(QStringLiteral("/proc/self/fd/0")), "/dev/null");
        QVERIFY(server.listen(dir_.filePath("stdin-closed")));
        int dropped = 0;
        QLocalSocket client;
        client.connectToServer(server.socketPath());
        QVERIFY(client.waitForConnected(2000));
        connect(&client, &QLocalSocket::disconnected, this, [&dropped] { ++dropped; });
        std::vector<int> hogs;
        for (int fd = -1; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            hogs.push_back(fd);
        const auto release = qScopeGuard([&] {
            for (int hog : hogs)
                ::close(hog);
        });
        QTRY_COMPARE_WITH_TIMEOUT(dropped, 1, 2000);
    }

    void openConnectionsAreBounded() {
        QList<ShellRequest> served;
        ShellRequestQueue queue([&](const ShellRequest& request) { served << request; });
        ShellServer server(queue);
        QVERIFY(server.listen(dir_.filePath("bounded")));
        std::vector<std::unique_ptr<QLocalSocket>> idle;
        for (int i = 0; i < 200; ++i) {
            idle.push_back(std::make_unique<QLocalSocket>());
            idle.back()->connectToServer(server.socketPath());
            if (i % 20 == 19)
                QTest::qWait(20); // lets the server accept, so the backlog never fills
        }
        QTest::qWait(200);
        QCOMPARE(server.openConnections(), ShellServer::kMaxConnections);
        // A client behind the idle ones is served once they are gone.
        QLocalSocket late;
        late.connectToServer(server.socketPath());
        QVERIFY(late.waitForConnected(2000));
        late.write(OpenRequest("late") + '\n');
        late.flush();
        idle.clear();
        QTRY_COMPARE(served, (QList<ShellRequest>{{ShellRequest::Verb::Open, {"late"}}}));
    }

    // While a dialog of the user's is open the queue waits on one retry timer, however
    // many requests arrive: each would otherwise start a wake-up chain of its own.
    void requestsWaitingOnADialogShareOneWakeUp() {
        int runs = 0;
        ShellRequestQueue queue([&](const ShellRequest&) { ++runs; });
        int wakeUps = 0; // a queued call to the queue is how it schedules itself at once
        struct Counter : QObject {
            int* count;
            explicit Counter(int* c) : count(c) {}
            bool eventFilter(QObject*, QEvent* event) override {
                *count += event->type() == QEvent::MetaCall;
                return false;
            }
        } counter(&wakeUps);
        queue.installEventFilter(&counter);
        QDialog dialog;
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.show();
        QVERIFY(QApplication::activeModalWidget());
        for (int i = 0; i < 4; ++i) {
            QVERIFY(queue.enqueue({ShellRequest::Verb::Open, {QString::number(i)}}));
            QTest::qWait(ShellRequestQueue::kModalRetryMs / 4);
        }
        QCOMPARE(wakeUps, 1);
        QCOMPARE(runs, 0);
        dialog.hide();
        QTRY_COMPARE(runs, 4);
    }

    // The socket lives in $XDG_RUNTIME_DIR when that is the user's private folder, else
    // in a private folder of the user's made in the temporary folder.
    void theSocketLivesInAPrivateFolder_data() {
        QTest::addColumn<int>("runtimeMode"); // 0: no XDG_RUNTIME_DIR
        QTest::addColumn<bool>("inRuntime");
        QTest::newRow("private runtime folder") << 0700 << true;
        QTest::newRow("runtime folder open to others") << 0755 << false;
        QTest::newRow("no runtime folder") << 0 << false;
    }
    void theSocketLivesInAPrivateFolder() {
        QFETCH(int, runtimeMode);
        QFETCH(bool, inRuntime);
        QTemporaryDir place;
        const QString runtime = place.filePath("run");
        QVERIFY(QDir().mkdir(runtime));
        QCOMPARE(::chmod(QFile::encodeName(runtime).constData(), mode_t(runtimeMode)), 0);
        const SocketPlaceEnvironment environment(place.path(), runtimeMode ? runtime : QString());
        ShellRequestQueue queue([](const ShellRequest&) {});
        auto server = std::make_unique<ShellServer>(queue);
        QVERIFY2(server->listen(QStringLiteral("served")), qPrintable(server->errorString()));
        const QString folder = inRuntime ? runtime : place.filePath(OwnFolderName());
        QCOMPARE(server->socketPath(), folder + QStringLiteral("/served"));
        QCOMPARE(server->socketPath(), ShellSocketPath(QStringLiteral("served")));
        QCOMPARE(PrivateFolderProblem(folder), QString());
        QLocalSocket client;
        client.connectToServer(server->socketPath());
        QVERIFY(client.waitForConnected(2000));
        // The server takes its socket file away when it stops.
        const QString socket = server->socketPath();
        server.reset();
        QVERIFY(!QFileInfo::exists(socket));
    }

    // A folder of that name that is not the user's private one is refused, with the cause:
    // nothing is made or served in it.
    void aFolderNotPrivateIsRefused_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("told");
        QTest::newRow("open to others") << "open"
                                        << "mode 0755";
        QTest::newRow("symbolic link") << "link"
                                       << "symbolic link";
        QTest::newRow("a file") << "file"
                                << "not a folder";
        QTest::newRow("another user's") << "nobody"
                                        << "another user";
    }
    void aFolderNotPrivateIsRefused() {
        QFETCH(QString, kind);
        QTemporaryDir place;
        // A shared temporary folder, as /tmp is: anyone may make a name there first.
        QCOMPARE(::chmod(QFile::encodeName(place.path()).constData(), 01777), 0);
        const QString folder = place.filePath(OwnFolderName());
        const QByteArray bytes = QFile::encodeName(folder);
        if (kind == "open") {
            QCOMPARE(::mkdir(bytes.constData(), 0700), 0);
            QCOMPARE(::chmod(bytes.constData(), 0755), 0);
        } else if (kind == "link") {
            QVERIFY(QDir().mkdir(place.filePath("elsewhere")));
            QCOMPARE(::chmod(QFile::encodeName(place.filePath("elsewhere")).constData(), 0700), 0);
            QCOMPARE(::symlink("elsewhere", bytes.constData()), 0);
        } else if (kind == "file") {
            QFile file(folder);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else {
            if (::geteuid() != 0)
                QSKIP("making the folder as another user needs root");
            QCOMPARE(RunAsNobody([&] { return ::mkdir(bytes.constData(), 0700) == 0; }), 0);
        }
        const SocketPlaceEnvironment environment(place.path(), QString());
        ShellRequestQueue queue([](const ShellRequest&) {});
        ShellServer server(queue);
        QVERIFY(!server.listen(QStringLiteral("served")));
        QFETCH(QString, told);
        QVERIFY2(server.errorString().contains(told) && server.errorString().contains(folder),
                 qPrintable(server.errorString()));
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/served")));
    }

    // A socket path fits in the address with its terminating zero byte, or is refused.
    void theSocketPathMustFit_data() {
        QTest::addColumn<int>("length");
        QTest::newRow("fits") << int(sizeof sockaddr_un::sun_path) - 1;
        QTest::newRow("one byte over") << int(sizeof sockaddr_un::sun_path);
    }
    void theSocketPathMustFit() {
        QFETCH(int, length);
        QTemporaryDir place;
        const QString name = QStringLiteral("served");
        const int used =
            int(QFile::encodeName(place.path()).size() + OwnFolderName().size() + name.size()) +
            3; // three slashes
        QVERIFY(length > used);
        const QString deep = place.filePath(QString(length - used, u'd'));
        QVERIFY(QDir().mkdir(deep));
        const SocketPlaceEnvironment environment(deep, QString());
        ShellRequestQueue queue([](const ShellRequest&) {});
        ShellServer server(queue);
        const bool fits = length < int(sizeof sockaddr_un::sun_path);
        QCOMPARE(server.listen(name), fits);
        QCOMPARE(QFile::encodeName(server.socketPath()).size(), length);
        if (!fits)
            QVERIFY2(server.errorString().contains("too long"), qPrintable(server.errorString()));
    }

    // Every failure to listen names its cause; the program says it on standard error.
    void aFailureToListenIsReportedWithItsCause() {
        QTemporaryDir place;
        const QString deep = place.filePath(QString(100, u'd'));
        QVERIFY(QDir().mkdir(deep));
        const SocketPlaceEnvironment environment(place.path(), QString());
        ShellRequestQueue queue([](const ShellRequest&) {});
        ShellServer first(queue);
        QVERIFY(first.listen(QStringLiteral("served")));
        ShellServer second(queue);
        QVERIFY(!second.listen(QStringLiteral("served")));
        QVERIFY2(second.errorString().contains("in use"), qPrintable(second.errorString()));

        QProcess tellwick;
        QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
        variables.insert(QStringLiteral("TMPDIR"), deep);
        variables.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        variables.insert(QStringLiteral("XDG_CONFIG_HOME"), place.path());
        tellwick.setProcessEnvironment(variables);
        tellwick.start(QStringLiteral(TELLWICK_PATH), {QStringLiteral("-dde")});
        QVERIFY(tellwick.waitForFinished(10000));
        QCOMPARE(tellwick.exitCode(), 1);
        const QString error = QString::fromLocal8Bit(tellwick.readAllStandardError());
        QVERIFY2(error.contains("too long"), qPrintable(error));
    }

    void aStaleSocketFileDoesNotStopTheServer() {
        // What a killed instance leaves behind: a socket file nobody listens on.
        const QString path = ShellSocketPath(ServerName());
        QFile::remove(path);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
        QVERIFY(QFileInfo::exists(path));
        startHidden(0);
        verifyStillServing(10);
    }
};

QTEST_MAIN(TestShellServer)
#include "tst_shellserver.moc"
