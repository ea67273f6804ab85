#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A settings (INI) file of "[Section]" and "Key=Value" lines.
// QSettings cannot stand in: it writes "[Recent File List]" as "[Recent%20File%20List]".
// Section and key names compare case-insensitively but are written as given. Lines this
// class did not change are written back byte for byte, line ends, blank lines and a UTF-8
// byte order mark included, so data of other programs and hand edits survive.
class ProfileFile {
public:
    // Anything larger is not a profile; reading it would only waste memory.
    static constexpr qsizetype maxFileSize = 1024 * 1024;

    // $XDG_CONFIG_HOME/tellwick.INI; ~/.config stands in for an unset, empty or relative
    // $XDG_CONFIG_HOME.
    static QString defaultPath();

    // A missing file is an empty profile; false, leaving the profile empty, when an existing
    // file cannot be read: no permission, not a regular file (never blocks on a FIFO), a read
    // error, or larger than maxFileSize.
    bool load(const QString& path);
    // Why the last load failed, as "cannot read 'PATH': REASON" in English; empty after a
    // successful one.
    QString loadError() const { return m_loadError; }
    // Atomic: on failure the old file stays as it was. Creates the directory if missing.
    // Writes through symbolic links to their target; refuses a target that exists but is not
    // a regular file.
    bool save(const QString& path) const;

    // The profile held in bytes, as load() reads them from a file.
    void loadFromBytes(const QByteArray& bytes);
    // The bytes save() writes: those loaded, with only the lines set or removed since changed.
    QByteArray toBytes() const;

    QString value(const QString& section, const QString& key,
                  const QString& defaultValue = QString()) const;
    // The leading decimal integer of the value (clamped to int), 0 when it has no digits,
    // defaultValue when the key is missing or empty.
    int intValue(const QString& section, const QString& key, int defaultValue = 0) const;
    // False, changing nothing, when the value holds CR, LF or NUL or a name could not be
    // read back as given. Setting the value already stored leaves the line as it was.
    bool setValue(const QString& section, const QString& key, const QString& value);
    void remove(const QString& section, const QString& key);

private:
    // One line of the file as read, or as written since the program set it.
    struct Line {
        QString key; // empty for comments, blank lines and other lines that are not entries
        QString value;
        QByteArray text; // without the line end
        QByteArray end;  // "\r\n", "\n", or empty (or "\r") for a last line without one
    };
    struct Section {
        QString name;
        Line header; // text null for the lines before the first header
        QList<Line> lines;
    };

    void parseLine(const QByteArray& text, const QByteArray& end);
    // -1 when absent
    qsizetype sectionIndex(const QString& name) const;
    static qsizetype lineIndex(const Section& section, const QString& key);
    // Where a new entry goes: after the section's last line that is not blank.
    static qsizetype insertionIndex(const Section& section);

    QByteArray m_byteOrderMark;
    QByteArray m_lineEnd = "\n"; // the file's first line end, used for lines written anew
    QList<Section> m_sections;
    QString m_loadError;
};
