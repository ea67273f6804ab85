#pragma once

#include <QList>
#include <QString>

#include <string>

class EntryTree;
class Prompter;
class QWidget;
struct FileFilter;
enum class ContactFormat;

// The contact formats read through the importer, for the file dialogs.
QList<FileFilter> ContactFileFilters();
// The file types offered for loading at the selection: address books, then the contact
// formats.
QList<FileFilter> IncomingBookFilters();

// Whether path names a contact file rather than an address book: .vcf, .vcard or .csv in any
// letter case, or any other file but a .tlw book whose first line is BEGIN:VCARD.
bool IsContactFile(const QString& path);

// How reading a file in ended.
enum class IncomingRead { Read, Declined, Failed };

// Reads the file at path into the empty tree into: an address book as it is, a contact file
// through the importer. Text the book cannot store is shown with the card or row it is in,
// and read only when the user agrees to have it replaced by "?". Every failure is reported
// through prompter; unless Read, into is left empty.
IncomingRead ReadIncomingBook(const QString& path, EntryTree& into, Prompter& prompter,
                              QWidget* parent);
// The same for contact text already read, from the file at path or from elsewhere (path then
// names where it came from in the messages).
IncomingRead ReadContactText(const QString& path, ContactFormat format, const std::string& text,
                             EntryTree& into, Prompter& prompter, QWidget* parent);
