#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// One request of the desktop shell: open("file"), print("file") or
// printto("file","printer","driver","port").
struct ShellRequest {
    enum class Verb { Open, Print, PrintTo };
    Verb verb = Verb::Open;
    QStringList arguments;
    bool operator==(const ShellRequest&) const = default;
};

// Parses "[open("a")][print("b")]"; strings are double-quoted, a doubled quote stands for
// one. Malformed or unknown commands are skipped.
QList<ShellRequest> ParseShellRequests(const QString& text);

// Serves the shell's requests on a local socket named after the executable while the
// program runs hidden, started with the "dde" switch.
class ShellServer : public QObject {
    Q_OBJECT

public:
    explicit ShellServer(QObject* parent = nullptr);
    // False when another instance already serves that name.
    bool listen(const QString& name);

signals:
    void requested(const ShellRequest& request);

private:
    void acceptConnection();
    void readRequests(QLocalSocket* socket);

    QLocalServer* server_;
};
