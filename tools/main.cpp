// tellwick-book: reads an address book and writes it back as a save would, reports what a
// save would change, shows its structure, or exchanges its contacts with other programs.

#include "Arguments.h"
#include "AtomicWrite.h"
#include "BookFile.h"
#include "Check.h"
#include "ContactCommands.h"
#include "Find.h"
#include "ToolError.h"
#include "TreeDump.h"
#include "file/BookFormat.h"

#include <cerrno>
#include <cstring>
#include <iostream>

namespace {

constexpr char kUsage[] = R"(Usage: tellwick-book normalize FILE [-o OUT]
       tellwick-book check FILE
       tellwick-book tree FILE
       tellwick-book export --format vcard|csv|ldif FILE [-o OUT [--force]]
       tellwick-book import --format vcard|csv CONTACTS -o BOOK [--replace-unencodable]
                     [--force]
       tellwick-book find TEXT FILE
       tellwick-book --help | --version

FILE is an address book (.tlw): CP932 text, one entry a line.

normalize  Writes the book exactly as a save would write it, to standard output, or
           to OUT. OUT may be a symbolic link: the file it leads to is written and
           the link kept. A file is replaced only once the whole book is written,
           keeps its other names, owner, group and permission bits, and is left
           untouched when the user may not write it or its file system has no
           room for the book. A device or FIFO is written directly.
check      Prints the number of groups, addresses and separators and the deepest
           nesting: the number of groups around an entry, 0 for top-level entries
           (and for an empty book), 1 for entries of a top-level group. Then lists
           as "line N: reason" every line whose content a save would not write
           back unchanged: comments, text after SEPARATOR or END GROUP, an END
           GROUP with no open group, a GROUP line not written "GROUP name", an
           address line without ':' or with blanks lost before its first address,
           and the GROUP line of every group left open at the end. Blank lines,
           indentation and blanks ending a line are not content.
tree       Prints the structure as UTF-8, one entry a line, indented two spaces
           per level:
             group "NAME"
             address "NAME": "ADDRESS", "ADDRESS"
             separator
           Names and addresses are decoded from CP932, bytes that are not CP932
           shown as U+FFFD; '"', '\' and control characters are written \", \\
           and \xHH.
export     Writes the address entries of the book as UTF-8 contacts, to standard
           output or to OUT (replaced as normalize replaces it; a disk that fills
           up fails the export and leaves OUT as it was). Groups become a
           path "GROUP/SUBGROUP" ("%" and "/" in a name written %25 and %2F, an
           empty name as a lone "%"); separators are left out. An existing OUT
           that is a book (named .tlw, or holding one) or contacts of another
           format is refused unless --force is given.
             vcard  vCard 4.0: FN, CATEGORIES the group path, each address as
                    EMAIL, TEL or NOTE in its order.
             csv    the header "Group,Name,Addresses", then a row per entry with
                    the addresses joined by ",".
             ldif   Thunderbird's address book LDIF: mail, mozillaSecondEmail,
                    telephoneNumber, homePhone, mobile, the rest in description;
                    no groups.
import     Reads UTF-8 contacts (vCard 2.1, 3.0 or 4.0, or the CSV that export
           writes) into a new book written to BOOK: one address entry a card or
           row, categories or the Group column as nested groups. Text a book
           cannot hold (characters outside CP932, a line break, ':' in a name,
           ',' in an address, a name read back as '#', GROUP, END GROUP or
           SEPARATOR) is listed as "card N (line L): ..." on standard error, and
           nothing is written, unless --replace-unencodable is given: then each
           such character is written as '?' and their number is printed. An
           existing BOOK named .vcf, .vcard, .csv or .ldif, or holding contacts,
           is refused unless --force is given.
find       Prints every entry whose name or one of whose addresses contains TEXT,
           one a line, in the order of the file:
             LINE: PATH ENTRY
           LINE is the entry's line number, PATH the groups around it ("/" at
           the top level, else each quoted name behind a "/"), ENTRY the entry
           as tree prints it. Capitals and small ASCII letters, full-width and
           half-width forms (Ａ and A, ｶﾀｶﾅ and カタカナ) and hiragana and katakana
           count as the same; separators never match. Exit status 0 when
           something was found, 1 when nothing was.

Exit status is 0 on success (for find: something was found, else 1) and 2 when
FILE cannot be read or is malformed, an
import has text a book cannot hold, the output cannot be written or the
arguments are wrong; one line on standard error says why.
)";

// Standard output failing (a full disk, a closed pipe) is an error like any other.
void FinishStandardOutput() {
    std::cout.flush();
    if (!std::cout)
        throw ToolError(std::string("cannot write standard output: ") +
                        std::strerror(errno != 0 ? errno : EIO));
}

// Into a file, the book is read whole first, so that its size is checked against the free
// space before the file is touched; to standard output it streams a line at a time, as cat
// would (a read error part way comes after what was written).
void Normalize(const Arguments& arguments) {
    if (arguments.output) {
        EntryTree tree;
        LoadBook(arguments.file, tree);
        WriteOutputFile(*arguments.output, BookOutputSize(tree),
                        [&tree](std::ostream& out) { WriteBook(out, tree); });
        return;
    }
    try {
        ReadingBook(arguments.file, [](std::istream& in) { NormalizeBook(in, std::cout); });
    } catch (const ToolError&) {
        if (!std::cout)
            FinishStandardOutput(); // the write failed, not the read
        throw;
    }
}

void Check(const Arguments& arguments) {
    CheckReport report =
        ReadingBook(arguments.file, [](std::istream& in) { return CheckBook(in); });
    PrintCheckReport(report, std::cout);
}

void Tree(const Arguments& arguments) {
    EntryTree tree;
    LoadBook(arguments.file, tree);
    try {
        DumpTree(tree, std::cout);
    } catch (const BookIoError&) {
        FinishStandardOutput();
    }
}

void Export(const Arguments& arguments) {
    ExportBookContacts(arguments, std::cout);
}

// grep's exit status: whether anything was found.
int Find(const Arguments& arguments) {
    std::size_t found = 0;
    try {
        found = FindInBook(arguments.file, arguments.text, std::cout);
    } catch (const BookIoError&) {
        FinishStandardOutput();
    }
    return found > 0 ? 0 : 1;
}

// Returns the exit status.
int Run(const Arguments& arguments) {
    int status = 0;
    switch (arguments.command) {
    case Command::Help:
        std::cout << kUsage;
        break;
    case Command::Version:
        std::cout << "tellwick-book 1.0\n";
        break;
    case Command::Normalize:
        Normalize(arguments);
        break;
    case Command::Check:
        Check(arguments);
        break;
    case Command::Tree:
        Tree(arguments);
        break;
    case Command::Export:
        Export(arguments);
        break;
    case Command::Import:
        if (!ImportBookContacts(arguments, std::cout, std::cerr))
            return 2;
        break;
    case Command::Find:
        status = Find(arguments);
        break;
    }
    FinishStandardOutput();
    return status;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(ParseArguments(argc - 1, argv + 1));
    } catch (const ToolError& error) {
        std::cerr << "tellwick-book: " << error.what() << '\n';
    } catch (const std::bad_alloc&) {
        std::cerr << "tellwick-book: out of memory\n";
    }
    return 2;
}
