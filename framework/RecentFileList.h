#pragma once

#include <QString>
#include <QStringList>

class ProfileFile;

// The most recently used files, most recent first, as kept in the profile section
// "Recent File List" under the keys File1, File2, ...
class RecentFileList {
public:
    static constexpr int maxDisplayLength = 30;

    explicit RecentFileList(int maxSize = 4);

    // Puts the file at the front, moving an equal entry there and dropping the oldest beyond
    // maxSize(). Refuses (false) an empty path or one holding a control character, which
    // could not be stored in the profile.
    bool add(const QString& absolutePath);
    void remove(int index);
    // -1 when the path is not in the list.
    int indexOf(const QString& path) const { return int(m_paths.indexOf(path)); }
    int count() const { return static_cast<int>(m_paths.size()); }
    int maxSize() const { return m_maxSize; }
    QString path(int index) const { return m_paths.value(index); }

    // The bare file name for a file directly in currentDir, otherwise the path; either cut
    // to maxDisplayLength characters around "..." and with every "&" doubled for a menu.
    QString displayName(int index, const QString& currentDir) const;
    // "&1 name" ... "&9 name", "&0 name" for the tenth.
    QString menuText(int index, const QString& currentDir) const;

    void read(const ProfileFile& profile);
    void write(ProfileFile& profile) const;

private:
    int m_maxSize;
    QStringList m_paths;
};
