#include "framework/ProfileFile.h"

#include "storage/SafeFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray byteOrderMark = "\xEF\xBB\xBF";
// More links than this in a row are taken for a loop.
constexpr int maxLinkHops = 40;

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// Only blanks and tabs: other Unicode spaces (U+3000 in Japanese names) are data.
QString trimBlanks(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toString();
}

bool isQuoted(const QString& text) {
    return text.size() >= 2 && text.startsWith(u'"') && text.endsWith(u'"');
}

// A value read between double quotes loses them, so that a hand-written value can keep
// blanks at its ends; writing quotes the values that would otherwise not read back as given.
QString unquote(const QString& text) {
    return isQuoted(text) ? text.sliced(1, text.size() - 2) : text;
}

QString quoteIfNeeded(const QString& value) {
    const bool edgeBlank = !value.isEmpty() && (isBlank(value.front()) || isBlank(value.back()));
    return edgeBlank || isQuoted(value) ? u'"' + value + u'"' : value;
}

bool breaksLine(const QString& text) {
    return text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(u'\0'));
}

bool readsBackAsGiven(const QString& name) {
    return !name.isEmpty() && !breaksLine(name) && trimBlanks(name) == name;
}

bool isValidSectionName(const QString& name) {
    return readsBackAsGiven(name) && !name.contains(u']');
}

bool isValidKey(const QString& key) {
    return readsBackAsGiven(key) && !key.contains(u'=') && !key.startsWith(u'[') &&
           !key.startsWith(u';');
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

int leadingInteger(const QString& text) {
    const QString trimmed = trimBlanks(text);
    qsizetype pos = 0;
    const bool negative = trimmed.startsWith(u'-');
    if (negative || trimmed.startsWith(u'+'))
        ++pos;
    qint64 result = 0;
    for (; pos < trimmed.size() && trimmed[pos] >= u'0' && trimmed[pos] <= u'9'; ++pos) {
        result = std::min<qint64>(result * 10 + (trimmed[pos].unicode() - u'0'),
                                  qint64(std::numeric_limits<int>::max()) + 1);
    }
    result = negative ? -result : result;
    return int(std::clamp<qint64>(result, std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::max()));
}

bool isBlankText(const QByteArray& text) {
    return std::all_of(text.cbegin(), text.cend(), [](char c) { return c == ' ' || c == '\t'; });
}

// Cuts the line end off a line and returns it: LF or CR LF, or a CR that ends the file.
QByteArray takeLineEnd(QByteArray& line) {
    const qsizetype lf = line.endsWith('\n') ? 1 : 0;
    const qsizetype cr = line.size() > lf && line[line.size() - lf - 1] == '\r' ? 1 : 0;
    const QByteArray end = line.last(lf + cr);
    line.chop(lf + cr);
    return end;
}

// The message names the cause in English whatever the locale, as strerror would not.
QString errnoText(int error) {
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return QString::fromLocal8Bit(cLocale ? ::strerror_l(error, cLocale) : std::strerror(error));
}

QString fileTypeProblem(mode_t mode) {
    if (S_ISREG(mode))
        return {};
    return S_ISDIR(mode) ? errnoText(EISDIR) : QStringLiteral("not a regular file");
}

// Reads until the end whatever size the file claims: it may grow, shrink or lie.
QString readToEnd(int fd, QByteArray& content) {
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            return {};
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errnoText(errno);
        if (content.size() + got > ProfileFile::maxFileSize)
            return QStringLiteral("larger than %1 MiB").arg(ProfileFile::maxFileSize >> 20);
        content.append(buffer, got);
    }
}

// Why the file could not be read; empty when it was read or does not exist.
QString readProfileBytes(const QString& path, QByteArray& content) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0)
        return errno == ENOENT ? QString() : errnoText(errno);
    if (!S_ISREG(info.st_mode))
        return fileTypeProblem(info.st_mode);
    // Without O_NONBLOCK a FIFO put in the file's place since the stat would block the open.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errnoText(errno);
    QString problem = ::fstat(fd, &info) != 0 ? errnoText(errno) : fileTypeProblem(info.st_mode);
    if (problem.isEmpty())
        problem = readToEnd(fd, content);
    ::close(fd);
    return problem;
}

// Saving writes to the file symbolic links lead to, so that the links survive. Empty for a
// loop.
QString linkTarget(const QString& path) {
    QFileInfo info(path);
    for (int hops = 0; info.isSymLink(); ++hops) {
        if (hops == maxLinkHops)
            return {};
        info.setFile(info.symLinkTarget());
    }
    return info.filePath();
}

// Only a regular file is replaced: a FIFO, device or directory stays what it is.
bool isReplaceable(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT;
    return S_ISREG(info.st_mode);
}

} // namespace

QString ProfileFile::defaultPath() {
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty() || QDir::isRelativePath(configHome))
        configHome = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(configHome + QStringLiteral("/tellwick.INI"));
}

bool ProfileFile::load(const QString& path) {
    QByteArray content;
    const QString problem = readProfileBytes(path, content);
    m_loadError.clear();
    if (!problem.isEmpty()) {
        m_loadError = QStringLiteral("cannot read '%1': %2").arg(path, problem);
        content.clear();
    }
    loadFromBytes(content);
    return problem.isEmpty();
}

void ProfileFile::loadFromBytes(const QByteArray& bytes) {
    m_sections.clear();
    m_byteOrderMark = bytes.startsWith(byteOrderMark) ? byteOrderMark : QByteArray();
    const qsizetype firstNewline = bytes.indexOf('\n');
    m_lineEnd = firstNewline > 0 && bytes[firstNewline - 1] == '\r' ? "\r\n" : "\n";
    for (qsizetype pos = m_byteOrderMark.size(); pos < bytes.size();) {
        const qsizetype newline = bytes.indexOf('\n', pos);
        const qsizetype next = newline < 0 ? bytes.size() : newline + 1;
        QByteArray text = bytes.sliced(pos, next - pos);
        const QByteArray end = takeLineEnd(text);
        parseLine(text, end);
        pos = next;
    }
}

void ProfileFile::parseLine(const QByteArray& text, const QByteArray& end) {
    const QString trimmed = trimBlanks(QString::fromUtf8(text));
    const qsizetype close = trimmed.lastIndexOf(u']');
    if (trimmed.startsWith(u'[') && close > 0) {
        m_sections.append({trimBlanks(trimmed.sliced(1, close - 1)), {{}, {}, text, end}, {}});
        return;
    }
    if (m_sections.isEmpty())
        m_sections.append(Section());
    Line line{{}, {}, text, end};
    const qsizetype equals = trimmed.indexOf(u'=');
    if (equals > 0 && !trimmed.startsWith(u';')) {
        line.key = trimBlanks(trimmed.first(equals));
        line.value = unquote(trimBlanks(trimmed.sliced(equals + 1)));
    }
    m_sections.last().lines.append(line);
}

bool ProfileFile::save(const QString& path) const {
    const QString target = linkTarget(path);
    if (target.isEmpty() || !isReplaceable(target))
        return false;
    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return false;
    const QByteArray content = toBytes();
    return SaveFileSafely(QFile::encodeName(target).toStdString(), std::uint64_t(content.size()),
                          [&content](std::ostream& out) {
                              out.write(content.constData(), std::streamsize(content.size()));
                          })
        .ok();
}

QByteArray ProfileFile::toBytes() const {
    QByteArray out = m_byteOrderMark;
    bool lastLineOpen = false; // the line written last had no line end
    const auto append = [&](const Line& line) {
        if (lastLineOpen)
            out += out.endsWith('\r') ? QByteArray("\n") : m_lineEnd;
        out += line.text + line.end;
        lastLineOpen = !line.end.endsWith('\n');
    };
    for (const Section& section : m_sections) {
        if (!section.header.text.isNull())
            append(section.header);
        for (const Line& line : section.lines)
            append(line);
    }
    return out;
}

QString ProfileFile::value(const QString& section, const QString& key,
                           const QString& defaultValue) const {
    const qsizetype s = sectionIndex(section);
    const qsizetype l = s < 0 ? -1 : lineIndex(m_sections[s], key);
    return l < 0 ? defaultValue : m_sections[s].lines[l].value;
}

int ProfileFile::intValue(const QString& section, const QString& key, int defaultValue) const {
    const QString text = value(section, key);
    return text.isEmpty() ? defaultValue : leadingInteger(text);
}

bool ProfileFile::setValue(const QString& section, const QString& key, const QString& value) {
    if (!isValidSectionName(section) || !isValidKey(key) || breaksLine(value))
        return false;
    qsizetype s = sectionIndex(section);
    if (s < 0) {
        m_sections.append({section, {{}, {}, (u'[' + section + u']').toUtf8(), m_lineEnd}, {}});
        s = m_sections.size() - 1;
    }
    Section& target = m_sections[s];
    qsizetype l = lineIndex(target, key);
    if (l >= 0 && target.lines[l].value == value)
        return true;
    if (l < 0) {
        l = insertionIndex(target);
        target.lines.insert(l, {key, {}, {}, {}});
    }
    Line& line = target.lines[l];
    line.value = value;
    line.text = (line.key + u'=' + quoteIfNeeded(value)).toUtf8();
    line.end = m_lineEnd;
    return true;
}

void ProfileFile::remove(const QString& section, const QString& key) {
    const qsizetype s = sectionIndex(section);
    if (s < 0 || key.isEmpty())
        return;
    // Every duplicate goes, or the next one would surface as the value.
    m_sections[s].lines.removeIf([&](const Line& line) { return sameName(line.key, key); });
}

qsizetype ProfileFile::sectionIndex(const QString& name) const {
    for (qsizetype i = 0; i < m_sections.size(); ++i) {
        if (!m_sections[i].header.text.isNull() && sameName(m_sections[i].name, name))
            return i;
    }
    return -1;
}

qsizetype ProfileFile::lineIndex(const Section& section, const QString& key) {
    for (qsizetype i = 0; !key.isEmpty() && i < section.lines.size(); ++i) {
        if (sameName(section.lines[i].key, key))
            return i;
    }
    return -1;
}

qsizetype ProfileFile::insertionIndex(const Section& section) {
    qsizetype index = section.lines.size();
    while (index > 0 && isBlankText(section.lines[index - 1].text))
        --index;
    return index;
}
