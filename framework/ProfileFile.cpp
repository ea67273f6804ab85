#include "framework/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <limits>

namespace {

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

// As Windows does, a value read between double quotes loses them; writing quotes the
// values that would otherwise not read back as given.
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

} // namespace

QString ProfileFile::defaultPath() {
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty() || QDir::isRelativePath(configHome))
        configHome = QDir::homePath() + QStringLiteral("/.config");
    return QDir::cleanPath(configHome + QStringLiteral("/tellwick.INI"));
}

bool ProfileFile::load(const QString& path) {
    m_sections.clear();
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray content = file.readAll();
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3);
    for (QByteArray line : content.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        parseLine(line);
    }
    return true;
}

void ProfileFile::parseLine(const QByteArray& raw) {
    const QString text = trimBlanks(QString::fromUtf8(raw));
    if (text.isEmpty())
        return;
    const qsizetype close = text.lastIndexOf(u']');
    if (text.startsWith(u'[') && close > 0) {
        m_sections.append({trimBlanks(text.sliced(1, close - 1)), raw, {}});
        return;
    }
    if (m_sections.isEmpty())
        m_sections.append(Section());
    Line line{{}, {}, raw};
    const qsizetype equals = text.indexOf(u'=');
    if (equals > 0 && !text.startsWith(u';')) {
        line.key = trimBlanks(text.first(equals));
        line.value = unquote(trimBlanks(text.sliced(equals + 1)));
    }
    m_sections.last().lines.append(line);
}

bool ProfileFile::save(const QString& path) const {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray content = serialize();
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QByteArray ProfileFile::serialize() const {
    QByteArray out;
    for (const Section& section : m_sections) {
        if (!section.rawHeader.isNull())
            out += section.rawHeader + '\n';
        for (const Line& line : section.lines) {
            out += line.changed ? (line.key + u'=' + quoteIfNeeded(line.value)).toUtf8() : line.raw;
            out += '\n';
        }
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
        m_sections.append({section, (u'[' + section + u']').toUtf8(), {}});
        s = m_sections.size() - 1;
    }
    QList<Line>& lines = m_sections[s].lines;
    qsizetype l = lineIndex(m_sections[s], key);
    if (l < 0) {
        lines.append({key, {}, {}});
        l = lines.size() - 1;
    }
    lines[l].value = value;
    lines[l].changed = true;
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
        if (!m_sections[i].rawHeader.isNull() && sameName(m_sections[i].name, name))
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
