#include "framework/RecentFileList.h"

#include "framework/ProfileFile.h"

#include <QDir>

#include <algorithm>
#include <string>

namespace {

const QString section = QStringLiteral("Recent File List");
// The menu reserves 16 command ids for the entries.
constexpr int largestSize = 16;

QString keyOf(int index) {
    return QStringLiteral("File%1").arg(index + 1);
}

bool hasControlCharacter(const QString& text) {
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

bool isStorable(const QString& path) {
    return !path.isEmpty() && !hasControlCharacter(path);
}

QString directoryOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : slash == 0 ? QStringLiteral("/") : path.first(slash);
}

QString fileNameOf(const QString& path) {
    return path.sliced(path.lastIndexOf(u'/') + 1);
}

// Works on code points so a cut never splits a surrogate pair.
using CodePoints = std::u32string;

CodePoints cutMiddle(const CodePoints& text, std::size_t limit) {
    const std::size_t tail = (limit - 3 + 1) / 2;
    const std::size_t head = limit - 3 - tail;
    return text.substr(0, head) + U"..." + text.substr(text.size() - tail);
}

// Keeps the file name whole after as many leading directories as fit: "/home/u/.../a.tlw".
CodePoints abbreviate(const CodePoints& path, std::size_t limit) {
    if (path.size() <= limit)
        return path;
    const std::size_t nameSlash = path.rfind(U'/');
    const CodePoints name = nameSlash == CodePoints::npos ? path : path.substr(nameSlash + 1);
    if (name.size() > limit)
        return cutMiddle(name, limit);
    const CodePoints gap = U".../";
    for (std::size_t slash = nameSlash; slash != 0 && slash != CodePoints::npos;) {
        slash = path.rfind(U'/', slash - 1);
        if (slash != CodePoints::npos && slash + 1 + gap.size() + name.size() <= limit)
            return path.substr(0, slash + 1) + gap + name;
    }
    return name;
}

} // namespace

RecentFileList::RecentFileList(int maxSize) : m_maxSize(std::clamp(maxSize, 1, largestSize)) {}

bool RecentFileList::add(const QString& absolutePath) {
    if (!isStorable(absolutePath))
        return false;
    const QString cleaned = QDir::cleanPath(absolutePath);
    m_paths.removeAll(cleaned);
    m_paths.prepend(cleaned);
    if (m_paths.size() > m_maxSize)
        m_paths.resize(m_maxSize);
    return true;
}

void RecentFileList::remove(int index) {
    if (index >= 0 && index < count())
        m_paths.removeAt(index);
}

QString RecentFileList::displayName(int index, const QString& currentDir) const {
    const QString full = path(index);
    const bool inCurrentDir =
        !currentDir.isEmpty() && directoryOf(full) == QDir::cleanPath(currentDir);
    const QString shown = inCurrentDir ? fileNameOf(full) : full;
    const CodePoints cut = abbreviate(shown.toStdU32String(), maxDisplayLength);
    return QString::fromStdU32String(cut).replace(u'&', QStringLiteral("&&"));
}

QString RecentFileList::menuText(int index, const QString& currentDir) const {
    return u'&' + QString::number((index + 1) % 10) + u' ' + displayName(index, currentDir);
}

void RecentFileList::read(const ProfileFile& profile) {
    m_paths.clear();
    for (int i = 0; i < m_maxSize; ++i) {
        const QString entry = profile.value(section, keyOf(i));
        if (isStorable(entry) && !m_paths.contains(QDir::cleanPath(entry)))
            m_paths.append(QDir::cleanPath(entry));
    }
}

void RecentFileList::write(ProfileFile& profile) const {
    for (int i = 0; i < m_maxSize; ++i) {
        if (i < count())
            profile.setValue(section, keyOf(i), m_paths[i]);
        else
            profile.remove(section, keyOf(i));
    }
}
