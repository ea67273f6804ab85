#pragma once

#include <QList>
#include <QString>

class EntryTree;
class Prompter;
class QWidget;
struct FileFilter;

// The file types offered for loading at the selection: address books, then the contact
// formats read through the importer.
QList<FileFilter> IncomingBookFilters();

// Whether path names a contact file (vCard or CSV) rather than an address book.
bool IsContactFile(const QString& path);

// Reads the file at path into the empty tree into: an address book as it is, a contact file
// through the importer. Text the book cannot store is shown with the card or row it is in,
// and read only when the user agrees to have it replaced by "?". Every failure is reported
// through prompter; false means nothing is to be added.
bool ReadIncomingBook(const QString& path, EntryTree& into, Prompter& prompter, QWidget* parent);
