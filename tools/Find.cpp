#include "Find.h"

#include "BookFile.h"
#include "ChunkedOutput.h"
#include "TreeDump.h"
#include "file/BookFormat.h"
#include "search/BookSearch.h"
#include "search/TextFolding.h"

#include <vector>

namespace {

constexpr std::size_t kPathLevelsShown = 32;

// The book, with the line each entry came from, in tree order: the reader makes entries
// in the order of their lines.
struct NumberedBook {
    EntryTree tree;
    std::vector<std::size_t> lines;
};

bool MakesEntry(std::string_view rawLine) {
    const LineKind kind = ClassifyLine(TrimLeadingBlanks(rawLine));
    return kind == LineKind::Group || kind == LineKind::Separator || kind == LineKind::Address;
}

void LoadNumberedBook(const std::string& path, NumberedBook& book) {
    ReadingBook(path, [&book](std::istream& in) {
        LineReader reader(in);
        BookBuilder builder(book.tree);
        std::string_view line;
        while (reader.Next(line)) {
            if (MakesEntry(line))
                book.lines.push_back(reader.LineNumber());
            builder.AddLine(line);
        }
    });
}

void AppendPath(const std::vector<const EntryNode*>& groups, std::string& out) {
    std::size_t from = 0;
    if (groups.size() > kPathLevelsShown) {
        from = groups.size() - kPathLevelsShown;
        out += "/\u2026(" + std::to_string(from) + " groups)\u2026";
    }
    for (std::size_t i = from; i < groups.size(); ++i) {
        out += '/';
        AppendQuotedText(groups[i]->Name(), out);
    }
    if (groups.empty())
        out += '/';
}

void PrintMatch(ChunkedOutput& out, std::size_t line, const std::vector<const EntryNode*>& groups,
                const EntryNode& entry) {
    std::string& text = out.Pending();
    text += std::to_string(line);
    text += ": ";
    AppendPath(groups, text);
    text += ' ';
    AppendEntryText(entry, text);
    text += '\n';
    out.Appended();
}

} // namespace

std::size_t FindInBook(const std::string& path, std::string_view text, std::ostream& out) {
    NumberedBook book;
    LoadNumberedBook(path, book);
    const std::vector<std::size_t> places =
        FoldedBook(book.tree).PlacesContaining(FoldTypedText(text));
    // One walk in tree order keeps the groups around each entry at hand, however deep.
    ChunkedOutput printer(out);
    std::vector<const EntryNode*> groups;
    auto match = places.begin();
    std::size_t place = 0;
    for (const EntryNode* entry = book.tree.first; entry && match != places.end(); ++place) {
        if (place == *match) {
            PrintMatch(printer, book.lines[place], groups, *entry);
            ++match;
        }
        const EntryNode* next = NextInTreeOrder(entry);
        if (entry->firstChild)
            groups.push_back(entry);
        else
            for (const EntryNode* up = entry; next && up->parent != next->parent; up = up->parent)
                groups.pop_back();
        entry = next;
    }
    printer.Flush();
    out.flush();
    if (!out)
        throw BookIoError("write error");
    return places.size();
}
