#include "ContactCommands.h"

#include "AtomicWrite.h"
#include "BookFile.h"
#include "OutputKind.h"
#include "exchange/ContactExport.h"
#include "exchange/ContactImport.h"
#include "file/BookFormat.h"

#include <iterator>

namespace {

std::string ReadContactsFile(const std::string& path) {
    return ReadingBook(path, [&path](std::istream& in) {
        std::string text = ReadAll(in);
        if (in.bad())
            ThrowReadError(path);
        return text;
    });
}

// Characters a book line cannot keep, each in quotes, line breaks shown as \r and \n so the
// message stays on one line.
std::string ShownMisplaced(std::string_view characters) {
    std::string shown;
    for (char c : characters) {
        if (!shown.empty())
            shown += ' ';
        shown += c == '\n' ? "'\\n'" : c == '\r' ? "'\\r'" : std::string{'\'', c, '\''};
    }
    return shown;
}

std::string RecordWord(ContactFormat format) {
    return format == ContactFormat::Csv ? "row" : "card";
}

void PrintProblems(const ImportReport& report, ContactFormat format, std::ostream& problems) {
    for (const UnencodableText& text : report.unencodable) {
        problems << RecordWord(format) << ' ' << text.record << " (line " << text.line << "):";
        if (!text.characters.empty())
            problems << " cannot be stored in CP932: " << text.characters;
        if (!text.characters.empty() && !text.misplaced.empty())
            problems << ';';
        if (!text.misplaced.empty())
            problems << " cannot stand there in a book line: " << ShownMisplaced(text.misplaced);
        problems << '\n';
    }
}

FileKind KindOf(ContactFormat format) {
    switch (format) {
    case ContactFormat::VCard:
        return FileKind::VCard;
    case ContactFormat::Csv:
        return FileKind::Csv;
    case ContactFormat::Ldif:
        return FileKind::Ldif;
    }
    return FileKind::Other;
}

} // namespace

// The export goes straight to its file or stream, never whole into memory; its size is not
// known ahead, so a disk that fills up fails the write and leaves the old file alone.
void ExportBookContacts(const Arguments& arguments, std::ostream& out) {
    EntryTree tree;
    LoadBook(arguments.file, tree);
    const auto write = [&](std::ostream& stream) {
        ExportContacts(tree, *arguments.format, stream);
    };
    if (!arguments.output) {
        write(out);
        return;
    }
    if (!arguments.force)
        RefuseOtherKindOfFile(*arguments.output, KindOf(*arguments.format));
    WriteOutputFile(*arguments.output, std::nullopt, write);
}

bool ImportBookContacts(const Arguments& arguments, std::ostream& out, std::ostream& problems) {
    const std::string text = ReadContactsFile(arguments.file);
    EntryTree tree;
    ImportReport report;
    try {
        report = ImportContacts(*arguments.format, text, tree, arguments.replaceUnencodable);
    } catch (const ImportError& error) {
        throw ToolError("cannot import " + Quoted(arguments.file) + ": " + error.what());
    }
    PrintProblems(report, *arguments.format, problems);
    if (!report.unencodable.empty() && !arguments.replaceUnencodable)
        return false;
    if (!arguments.force)
        RefuseOtherKindOfFile(*arguments.output, FileKind::Book);
    WriteOutputFile(*arguments.output, BookOutputSize(tree),
                    [&tree](std::ostream& stream) { WriteBook(stream, tree); });
    out << "imported " << report.records << ' ' << RecordWord(*arguments.format)
        << (report.records == 1 ? "" : "s");
    if (arguments.replaceUnencodable)
        out << ", replaced " << report.replaced << " characters with '?'";
    out << '\n';
    return true;
}
