#pragma once

#include "IncomingBook.h"

#include <QObject>
#include <QString>

#include <span>

class EntryTree;
class Prompter;
class QMimeData;
class QWidget;
struct EntryNode;

// Entries on the system clipboard, for this program and others: the book's own lines, so a
// paste keeps every byte; a vCard for contact programs; and plain text as mail programs take
// addresses. It tells whether what the clipboard holds now can be pasted as entries.
class EntryClipboard : public QObject {
    Q_OBJECT

public:
    static const QString kBookFormat; // "application/x-tellwick-book"

    // The one watcher of the application's clipboard.
    static EntryClipboard& instance();

    // Puts the entries, each with everything below it, on the clipboard in every form.
    static void copy(std::span<const EntryNode* const> entries);
    static QMimeData* mimeDataOf(std::span<const EntryNode* const> entries);
    // Whether data holds entries in a form paste reads.
    static bool canPaste(const QMimeData* data);
    // Reads what the clipboard holds into the empty tree into, as a file is read in: a contact
    // text may ask about characters a book cannot hold.
    static IncomingRead read(const QMimeData* data, EntryTree& into, Prompter& prompter,
                             QWidget* parent);

    bool pasteable() const { return pasteable_; }

private:
    EntryClipboard();
    void clipboardChanged();

    bool pasteable_ = false;
};
