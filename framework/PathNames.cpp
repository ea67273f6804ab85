#include "framework/PathNames.h"

#include "framework/Cp932.h"

#include <QDir>
#include <QUrl>

#include <algorithm>
#include <climits>
#include <unistd.h>

namespace {

constexpr char16_t kRawByteBase = 0xDC00;

// A lone low surrogate in U+DC80..U+DCFF; the low half of a real pair is text.
bool IsRawByteAt(const QString& path, qsizetype i) {
    const char16_t c = path[i].unicode();
    return c >= kRawByteBase + 0x80 && c <= kRawByteBase + 0xFF &&
           !(i > 0 && path[i - 1].isHighSurrogate());
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence starting at bytes[0], or 0 when there is none
// (overlong forms, surrogates and code points above U+10FFFF are not well-formed).
qsizetype WellFormedLength(QByteArrayView bytes) {
    const auto at = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() < length || at(1) < low || at(1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i) {
        if (!IsContinuation(at(i)))
            return 0;
    }
    return length;
}

// The code point of one well-formed sequence. Decoded here rather than by QString::fromUtf8,
// which drops a byte order mark at the start of what it is given.
char32_t CodePointOf(QByteArrayView sequence) {
    static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t code = static_cast<unsigned char>(sequence[0]) & kLeadBits[sequence.size()];
    for (qsizetype i = 1; i < sequence.size(); ++i)
        code = (code << 6) | (static_cast<unsigned char>(sequence[i]) & 0x3F);
    return code;
}

} // namespace

QString DecodePathBytes(QByteArrayView bytes) {
    QString path;
    path.reserve(bytes.size());
    while (!bytes.isEmpty()) {
        const qsizetype length = WellFormedLength(bytes);
        if (length == 0) {
            path += QChar(char16_t(kRawByteBase + static_cast<unsigned char>(bytes[0])));
            bytes = bytes.sliced(1);
        } else {
            path += QStringView(QChar::fromUcs4(CodePointOf(bytes.first(length))));
            bytes = bytes.sliced(length);
        }
    }
    return path;
}

QByteArray EncodePathBytes(const QString& path) {
    QByteArray bytes;
    bytes.reserve(path.size());
    qsizetype plainStart = 0;
    const auto flushPlain = [&](qsizetype end) {
        bytes += QStringView(path).sliced(plainStart, end - plainStart).toUtf8();
    };
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (IsRawByteAt(path, i)) {
            flushPlain(i);
            bytes += static_cast<char>(path[i].unicode() - kRawByteBase);
            plainStart = i + 1;
        }
    }
    flushPlain(path.size());
    return bytes;
}

bool HasRawPathBytes(const QString& path) {
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (IsRawByteAt(path, i))
            return true;
    }
    return false;
}

bool HasLostPathBytes(const QString& path) {
    return path.contains(QChar::ReplacementCharacter);
}

QString DisplayPathName(const QString& path) {
    if (!HasRawPathBytes(path))
        return path;
    const QByteArray bytes = EncodePathBytes(path);
    return QString::fromStdString(Cp932ToUtf8(std::string_view(bytes.data(), bytes.size())));
}

QString AbsolutePathName(const QString& path) {
    if (path.isEmpty())
        return path;
    if (path.startsWith(u'/'))
        return QDir::cleanPath(path);
    char cwd[PATH_MAX];
    const QString absolute =
        (::getcwd(cwd, sizeof cwd) ? DecodePathBytes(cwd) : QDir::currentPath()) + u'/' + path;
    return QDir::cleanPath(absolute);
}

QString LocalPathOfUrl(const QUrl& url) {
    const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
    return DecodePathBytes(QByteArray::fromPercentEncoding(encoded));
}
