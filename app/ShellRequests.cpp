#include "ShellServer.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {

constexpr qint64 kMaxRequestBytes = 64 * 1024; // a request names a few paths, no more

// Reads a quoted string starting at pos (on the opening quote); false if unterminated.
bool ReadQuoted(const QString& text, qsizetype& pos, QString& out) {
    out.clear();
    for (++pos; pos < text.size(); ++pos) {
        if (text[pos] != '"') {
            out += text[pos];
        } else if (pos + 1 < text.size() && text[pos + 1] == '"') {
            out += '"';
            ++pos;
        } else {
            ++pos;
            return true;
        }
    }
    return false;
}

std::optional<ShellRequest> MakeRequest(const QString& verb, const QStringList& args) {
    if (verb.compare(QLatin1String("open"), Qt::CaseInsensitive) == 0 && args.size() == 1)
        return ShellRequest{ShellRequest::Verb::Open, args};
    if (verb.compare(QLatin1String("print"), Qt::CaseInsensitive) == 0 && args.size() == 1)
        return ShellRequest{ShellRequest::Verb::Print, args};
    if (verb.compare(QLatin1String("printto"), Qt::CaseInsensitive) == 0 && args.size() == 4)
        return ShellRequest{ShellRequest::Verb::PrintTo, args};
    return std::nullopt;
}

// Parses one "verb(args)" between brackets; false when it is malformed.
bool ParseCommand(const QString& body, QString& verb, QStringList& args) {
    const qsizetype open = body.indexOf('(');
    if (open <= 0 || !body.endsWith(')'))
        return false;
    verb = body.left(open).trimmed();
    args.clear();
    qsizetype pos = open + 1;
    const qsizetype end = body.size() - 1;
    while (pos < end) {
        while (pos < end && body[pos].isSpace())
            ++pos;
        QString arg;
        if (pos >= end || body[pos] != '"' || !ReadQuoted(body, pos, arg))
            return false;
        args << arg;
        while (pos < end && body[pos].isSpace())
            ++pos;
        if (pos < end && body[pos++] != ',')
            return false;
    }
    return true;
}

} // namespace

QList<ShellRequest> ParseShellRequests(const QString& text) {
    QList<ShellRequest> requests;
    qsizetype pos = 0;
    while ((pos = text.indexOf('[', pos)) >= 0) {
        // Find the closing bracket outside quotes.
        bool quoted = false;
        qsizetype close = pos + 1;
        for (; close < text.size(); ++close) {
            if (text[close] == '"')
                quoted = !quoted;
            else if (text[close] == ']' && !quoted)
                break;
        }
        if (close >= text.size())
            break;
        QString verb;
        QStringList args;
        if (ParseCommand(text.mid(pos + 1, close - pos - 1), verb, args)) {
            if (auto request = MakeRequest(verb, args))
                requests << *request;
        }
        pos = close + 1;
    }
    return requests;
}

ShellServer::ShellServer(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &ShellServer::acceptConnection);
}

bool ShellServer::listen(const QString& name) {
    return server_->listen(name);
}

void ShellServer::acceptConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequests(socket); });
    }
}

// A request ends with a line break; one without it is taken when the peer closes.
void ShellServer::readRequests(QLocalSocket* socket) {
    while (socket->canReadLine()) {
        const QString line = QString::fromUtf8(socket->readLine(kMaxRequestBytes));
        for (const ShellRequest& request : ParseShellRequests(line))
            emit requested(request);
    }
    if (socket->bytesAvailable() > kMaxRequestBytes)
        socket->abort();
}
