#include "ShellServer.h"

#include "ShellRequestQueue.h"
#include "ShellSocketPlace.h"
#include "framework/PathNames.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

int OpenSpareDescriptor() {
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

bool MakeAddress(const QByteArray& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), path.size());
    return true;
}

int NewSocket() {
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

// Whether a live server answers on the socket file; a refused connection means a dead one.
bool SomeoneListens(const sockaddr_un& address) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool answered =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return answered;
}

quint64 InodeOf(const QByteArray& path) {
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0 ? info.st_ino : 0;
}

} // namespace

// One client: its bytes cut into lines, closed at its end, on error or when idle.
class ShellServer::Connection {
public:
    Connection(ShellServer& server, int fd)
        : server_(server), fd_(fd), notifier_(fd, QSocketNotifier::Read) {
        QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { readAvailable(); });
        idle_.setSingleShot(true);
        QObject::connect(&idle_, &QTimer::timeout, [this] { server_.closeConnection(this); });
        idle_.start(kIdleTimeoutMs);
    }
    ~Connection() {
        notifier_.setEnabled(false);
        ::close(fd_);
    }

private:
    // Reads what is there now; closes the connection at its end. Lines go to the queue
    // only: nothing is carried out from here.
    void readAvailable() {
        char buffer[16 * 1024];
        // A bounded share per wake-up: a fast writer cannot hold the event loop.
        for (int reads = 0; reads < 64; ++reads) {
            const ssize_t got = ::read(fd_, buffer, sizeof buffer);
            if (got > 0) {
                for (const QByteArray& line : framer_.feed(QByteArrayView(buffer, got)))
                    server_.takeLine(line);
                idle_.start(kIdleTimeoutMs);
                continue;
            }
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            if (auto last = framer_.finish())
                server_.takeLine(*last);
            server_.closeConnection(this);
            return;
        }
    }

public:
    void shutDown() {
        notifier_.setEnabled(false);
        idle_.stop();
    }

private:
    ShellServer& server_;
    int fd_;
    QSocketNotifier notifier_;
    QTimer idle_;
    RequestFramer framer_;
};

ShellServer::ShellServer(ShellRequestQueue& queue, QObject* parent)
    : QObject(parent), queue_(queue), spareFd_(OpenSpareDescriptor()) {}

ShellServer::~ShellServer() {
    connections_.clear();
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        removeSocketFile();
    }
    if (spareFd_ >= 0)
        ::close(spareFd_);
}

bool ShellServer::listen(const QString& name) {
    error_.clear();
    QString problem;
    path_ = name.startsWith(u'/') ? name : ShellSocketPath(name, &problem);
    if (path_.isEmpty())
        return refuse(problem);
    const QByteArray path = EncodePathBytes(path_);
    sockaddr_un address{};
    if (!MakeAddress(path, address))
        return refuse(QStringLiteral("the socket path is too long (%1 bytes, at most %2)")
                          .arg(path.size())
                          .arg(sizeof address.sun_path - 1));
    if (SomeoneListens(address))
        return refuse(QStringLiteral("the address is in use: another instance serves it"));
    // A dead instance's socket file goes; anything else there is not ours to remove.
    struct stat info {};
    if (::lstat(path.constData(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode))
            return refuse(QStringLiteral("something other than a socket is there"));
        if (::unlink(path.constData()) != 0)
            return refuse(QStringLiteral("cannot remove the old socket file: %1")
                              .arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    const int fd = NewSocket();
    if (fd < 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    // Only the user may connect: the socket's rights are set before anyone can use it.
    const mode_t oldMask = ::umask(0077);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::umask(oldMask);
    if (!bound || ::listen(fd, SOMAXCONN) != 0) {
        const int error = errno;
        ::close(fd);
        return refuse(QString::fromLocal8Bit(std::strerror(error)));
    }
    listenFd_ = fd;
    socketInode_ = InodeOf(path);
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ShellServer::acceptConnections);
    return true;
}

bool ShellServer::refuse(const QString& cause) {
    error_ = path_.isEmpty()
                 ? QStringLiteral("cannot serve shell requests: %1").arg(cause)
                 : QStringLiteral("cannot serve shell requests on %1: %2").arg(path_, cause);
    return false;
}

void ShellServer::acceptConnections() {
    while (openConnections() < kMaxConnections) {
        const int fd = acceptOne();
        if (fd == -EAGAIN)
            return;
        if (fd >= 0)
            addConnection(fd);
    }
}

// A descriptor, -EAGAIN when there is nothing more to accept now, or another negative
// value when this client was dropped or failed. Never gives up listening.
int ShellServer::acceptOne() {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0)
        return fd;
    const int error = errno;
    if (error == EAGAIN || error == EWOULDBLOCK)
        return -EAGAIN;
    if (error == EMFILE || error == ENFILE)
        return dropWaitingClient() ? -error : -EAGAIN;
    if (error == ENOBUFS || error == ENOMEM)
        pauseAccepting();
    return error == ENOBUFS || error == ENOMEM ? -EAGAIN : -error;
}

// Out of descriptors: gives up the spare to take the waiting client and close it, so the
// client is not left hanging and does not wake us again and again. The kernel reports
// EMFILE before it looks at the backlog, so an empty backlog only shows here.
bool ShellServer::dropWaitingClient() {
    if (spareFd_ < 0) {
        pauseAccepting();
        return false;
    }
    ::close(spareFd_);
    const int dropped = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    const int error = errno;
    if (dropped >= 0)
        ::close(dropped);
    spareFd_ = OpenSpareDescriptor();
    if (dropped < 0 && error != EAGAIN && error != EWOULDBLOCK)
        pauseAccepting();
    return dropped >= 0;
}

// Waits a moment before accepting again rather than spinning on a failing accept.
void ShellServer::pauseAccepting() {
    acceptPaused_ = true;
    notifier_->setEnabled(false);
    QTimer::singleShot(100, this, [this] {
        if (spareFd_ < 0)
            spareFd_ = OpenSpareDescriptor();
        acceptPaused_ = false;
        notifier_->setEnabled(openConnections() < kMaxConnections);
    });
}

// At the bound, further clients wait in the listen backlog (bounded by the kernel) until
// a connection ends or times out.
void ShellServer::addConnection(int fd) {
    connections_.push_back(std::make_unique<Connection>(*this, fd));
    if (openConnections() >= kMaxConnections)
        notifier_->setEnabled(false);
}

void ShellServer::takeLine(const QByteArray& line) {
    for (const ShellRequest& request : ParseShellRequests(DecodeRequestLine(line))) {
        if (!queue_.enqueue(request) && refusedRequests_++ == 0)
            std::fputs("tellwick: too many shell requests at once; the excess is ignored\n",
                       stderr);
    }
}

// Called from the connection's own notifier or timer: it is deleted from the event loop.
void ShellServer::closeConnection(Connection* connection) {
    const auto it = std::find_if(connections_.begin(), connections_.end(),
                                 [connection](const auto& c) { return c.get() == connection; });
    if (it == connections_.end())
        return;
    connection->shutDown();
    closing_.push_back(std::move(*it));
    connections_.erase(it);
    if (!acceptPaused_)
        notifier_->setEnabled(true);
    QTimer::singleShot(0, this, [this] { closing_.clear(); });
}

void ShellServer::removeSocketFile() {
    // Only our own socket file: another instance may have taken the name since.
    const QByteArray path = EncodePathBytes(path_);
    if (socketInode_ != 0 && InodeOf(path) == socketInode_)
        ::unlink(path.constData());
}
