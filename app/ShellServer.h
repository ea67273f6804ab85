#pragma once

#include "ShellRequests.h"

#include <QObject>

#include <memory>
#include <vector>

class QSocketNotifier;
class ShellRequestQueue;

// Serves the shell's requests on a local socket named after the executable while the
// program runs hidden, started with the "dde" switch. Everything from a client is
// untrusted: lines are bounded, connections are bounded and time out, requests go to a
// bounded queue, and running out of file descriptors never stops the server.
class ShellServer : public QObject {
    Q_OBJECT

public:
    static constexpr int kMaxConnections = 16;
    static constexpr int kIdleTimeoutMs = 10'000;

    explicit ShellServer(ShellRequestQueue& queue, QObject* parent = nullptr);
    ~ShellServer() override;

    // Listens on the socket file of that name in this user's private folder (see
    // ShellSocketPath), or at that path when the name is absolute. False when another
    // instance serves it, or on failure, with the cause in errorString(). A socket file
    // left behind by an instance that died is replaced.
    bool listen(const QString& name);
    QString socketPath() const { return path_; }
    QString errorString() const { return error_; }
    int openConnections() const { return int(connections_.size()); }

private:
    class Connection;

    void acceptConnections();
    int acceptOne();
    bool dropWaitingClient();
    void pauseAccepting();
    void addConnection(int fd);
    void takeLine(const QByteArray& line);
    void closeConnection(Connection* connection);
    void removeSocketFile();
    bool refuse(const QString& cause);

    ShellRequestQueue& queue_;
    QString path_;
    QString error_;
    int listenFd_ = -1;
    int spareFd_ = -1; // given up to accept-and-drop a client when descriptors run out
    quint64 socketInode_ = 0;
    QSocketNotifier* notifier_ = nullptr;
    std::vector<std::unique_ptr<Connection>> connections_;
    std::vector<std::unique_ptr<Connection>> closing_;
    int refusedRequests_ = 0;
    bool acceptPaused_ = false;
};
