#pragma once

#include "Prompter.h"

#include <QList>
#include <QString>

class QWidget;

// Reads files of other kinds as the document's contents. The file manager makes what it read
// a new untitled document, so that a save asks for a name instead of writing the document's
// format over the file it came from.
class DocumentImporter {
public:
    enum class Outcome { Imported, Declined, Failed };

    virtual ~DocumentImporter() = default;

    // Whether the file at path is to be imported rather than opened.
    virtual bool imports(const QString& path) = 0;
    // The types offered in the open dialog beside the document's own.
    virtual QList<FileFilter> filters() const = 0;
    // Replaces the document's contents with what the file holds. Every failure is reported
    // here; unless Imported, the contents are as they were.
    virtual Outcome importFile(const QString& path, QWidget* dialogParent) = 0;
};
