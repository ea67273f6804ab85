#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A Windows-style private profile (INI) file of "[Section]" and "Key=Value" lines.
// QSettings cannot stand in: it writes "[Recent File List]" as "[Recent%20File%20List]".
// Section and key names compare case-insensitively but are written as given. Lines this
// class did not change are written back byte for byte, so data of other programs survives.
class ProfileFile {
public:
    // $XDG_CONFIG_HOME/tellwick.INI; ~/.config stands in for an unset, empty or relative
    // $XDG_CONFIG_HOME.
    static QString defaultPath();

    // A missing file is an empty profile; false only when an existing file cannot be read.
    bool load(const QString& path);
    // Atomic: on failure the old file stays as it was. Creates the directory if missing.
    bool save(const QString& path) const;

    QString value(const QString& section, const QString& key,
                  const QString& defaultValue = QString()) const;
    // The leading decimal integer of the value (clamped to int), 0 when it has no digits,
    // defaultValue when the key is missing or empty.
    int intValue(const QString& section, const QString& key, int defaultValue = 0) const;
    // False, changing nothing, when the value holds CR, LF or NUL or a name could not be
    // read back as given.
    bool setValue(const QString& section, const QString& key, const QString& value);
    void remove(const QString& section, const QString& key);

private:
    // One line of the file; raw holds the bytes read, written back while unchanged.
    struct Line {
        QString key; // empty for comments and other lines that are not entries
        QString value;
        QByteArray raw;
        bool changed = false;
    };
    struct Section {
        QString name;
        QByteArray rawHeader; // null for the lines before the first header
        QList<Line> lines;
    };

    void parseLine(const QByteArray& raw);
    // -1 when absent
    qsizetype sectionIndex(const QString& name) const;
    static qsizetype lineIndex(const Section& section, const QString& key);
    QByteArray serialize() const;

    QList<Section> m_sections;
};
