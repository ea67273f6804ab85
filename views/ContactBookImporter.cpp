#include "ContactBookImporter.h"

#include "IncomingBook.h"
#include "document/TellwickDoc.h"

bool ContactBookImporter::imports(const QString& path) {
    return IsContactFile(path);
}

QList<FileFilter> ContactBookImporter::filters() const {
    return ContactFileFilters();
}

DocumentImporter::Outcome ContactBookImporter::importFile(const QString& path,
                                                          QWidget* dialogParent) {
    EntryTree incoming;
    switch (ReadIncomingBook(path, incoming, prompter_, dialogParent)) {
    case IncomingRead::Read:
        document_.TakeBook(incoming);
        return Outcome::Imported;
    case IncomingRead::Declined:
        return Outcome::Declined;
    case IncomingRead::Failed:
        return Outcome::Failed;
    }
    return Outcome::Failed;
}
