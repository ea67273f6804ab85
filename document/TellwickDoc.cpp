#include "TellwickDoc.h"

#include "document/MemoryRelease.h"
#include "file/BookFormat.h"

CTellwickDoc::CTellwickDoc(QObject* parent) : Document(parent) {
    static const bool hugePages = (UseHugePagesForBooks(), true);
    Q_UNUSED(hugePages);
    connect(&edits, &BookEdits::cleanChanged, this,
            [this](bool clean) { setModifiedFlag(!clean); });
}

CTellwickDoc::~CTellwickDoc() {
    clipList.clear();
    dragList.clear();
    tree.Clear();
}

FileResult CTellwickDoc::ReadOtherBook(const QString& path, EntryTree& into) {
    return ReadRegularFile(path, [&into](std::istream& in) {
        EntryTree incoming;
        ReadBook(in, incoming);
        into.Swap(incoming);
    });
}

void CTellwickDoc::TakeBook(EntryTree& incoming) {
    tree.Swap(incoming);
    edits.forget(true);
    incoming.Clear();
    ReleaseFreedMemory();
}

std::optional<quint64> CTellwickDoc::storedSize() const {
    return BookOutputSize(tree);
}

void CTellwickDoc::serialize(Archive& archive) {
    if (archive.isLoading()) {
        // Read into a fresh tree so that a failed read leaves the open book untouched.
        EntryTree incoming;
        ReadBook(archive.in(), incoming);
        TakeBook(incoming);
    } else {
        WriteBook(archive.out(), tree);
    }
}

void CTellwickDoc::deleteContents() {
    tree.Clear();
    edits.forget(true);
    ReleaseFreedMemory();
}

void CTellwickDoc::onSaved() {
    edits.markSaved();
}

// An imported book is not what any file holds: undoing back to it leaves it modified.
void CTellwickDoc::onImported() {
    edits.forget(false);
}
