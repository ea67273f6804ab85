#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QStringList>

#include <optional>

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

// Cuts a connection's byte stream into request lines. A line ends with LF (a CR before it
// is dropped); a line longer than maxLineBytes is refused whole, up to its line break, so
// no part of it is ever taken as a request of its own. Memory stays within the bound.
class RequestFramer {
public:
    static constexpr qsizetype kMaxLineBytes = 64 * 1024; // a request names a few paths

    explicit RequestFramer(qsizetype maxLineBytes = kMaxLineBytes) : maxLine_(maxLineBytes) {}

    // The lines completed by these bytes.
    QList<QByteArray> feed(QByteArrayView bytes);
    // At the end of the stream: the last line when it had no line break.
    std::optional<QByteArray> finish();
    // How many overlong lines were refused so far.
    int refusedLines() const { return refused_; }

private:
    void takeLine(QByteArrayView tail, QList<QByteArray>& lines);
    void append(QByteArrayView bytes);

    qsizetype maxLine_;
    QByteArray pending_;
    bool overlong_ = false; // skipping the rest of a refused line
    int refused_ = 0;
};

// Decodes a request line: UTF-8, with bytes that are not UTF-8 kept as path bytes.
QString DecodeRequestLine(const QByteArray& line);
