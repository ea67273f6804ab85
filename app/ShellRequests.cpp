#include "ShellRequests.h"

#include "framework/PathNames.h"

#include <utility>

namespace {

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

QList<QByteArray> RequestFramer::feed(QByteArrayView bytes) {
    QList<QByteArray> lines;
    while (!bytes.isEmpty()) {
        const qsizetype newline = bytes.indexOf('\n');
        if (newline < 0) {
            append(bytes);
            break;
        }
        takeLine(bytes.first(newline), lines);
        bytes = bytes.sliced(newline + 1);
    }
    return lines;
}

// Keeps the start of an unfinished line; beyond the bound the line is refused.
void RequestFramer::append(QByteArrayView bytes) {
    if (overlong_)
        return;
    if (pending_.size() + bytes.size() > maxLine_) {
        pending_.clear();
        pending_.squeeze();
        overlong_ = true;
        return;
    }
    pending_.append(bytes);
}

void RequestFramer::takeLine(QByteArrayView tail, QList<QByteArray>& lines) {
    append(tail);
    if (overlong_) {
        ++refused_;
        overlong_ = false;
        return;
    }
    if (pending_.endsWith('\r'))
        pending_.chop(1);
    lines.append(std::exchange(pending_, {}));
}

std::optional<QByteArray> RequestFramer::finish() {
    if (overlong_) {
        ++refused_;
        overlong_ = false;
        return std::nullopt;
    }
    if (pending_.isEmpty())
        return std::nullopt;
    return std::exchange(pending_, {});
}

QString DecodeRequestLine(const QByteArray& line) {
    return DecodePathBytes(line);
}
