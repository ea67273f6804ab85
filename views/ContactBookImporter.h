#pragma once

#include "framework/DocumentImporter.h"

class CTellwickDoc;
class Prompter;

// Opens contact files (vCard, CSV) as a new book through the contact importer, with the same
// question about text a book cannot hold, and the same reports, as reading them in at the
// selection.
class ContactBookImporter : public DocumentImporter {
public:
    ContactBookImporter(CTellwickDoc& document, Prompter& prompter)
        : document_(document), prompter_(prompter) {}

    bool imports(const QString& path) override;
    QList<FileFilter> filters() const override;
    Outcome importFile(const QString& path, QWidget* dialogParent) override;

private:
    CTellwickDoc& document_;
    Prompter& prompter_;
};
