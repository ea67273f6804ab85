// The hidden start's request server, driven by real local-socket clients against the real
// application object.
#include "app/ShellRequestQueue.h"
#include "app/ShellServer.h"
#include "app/TellwickApp.h"
#include "document/TellwickDoc.h"
#include "tests/support/ScriptedPrompter.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
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
    client->connectToServer(ServerName());
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
        // A client waits in the backlog while the process has no descriptor left.
        auto* client = new QLocalSocket(this);
        client->connectToServer(ServerName());
        QVERIFY(client->waitForConnected(2000));
        std::vector<int> hogs;
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            hogs.push_back(fd);
        QTest::qWait(200); // the server tries to accept now
        for (int fd : hogs)
            ::close(fd);
        delete client;
        verifyStillServing(8);
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

    void aStaleSocketFileDoesNotStopTheServer() {
        // What a killed instance leaves behind: a socket file nobody listens on.
        const QString path = QDir::tempPath() + '/' + ServerName();
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
