#include "Find.h"

#include "BookFile.h"
#include "ChunkedOutput.h"
#include "TreeDump.h"
#include "file/BookFormat.h"
#include "search/BookSearch.h"
#include "search/TextFolding.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kPathLevelsShown = 32;

void AppendPath(const std::vector<std::string>& groups, std::string& out) {
    std::size_t from = 0;
    if (groups.size() > kPathLevelsShown) {
        from = groups.size() - kPathLevelsShown;
        out += "/\u2026(" + std::to_string(from) + " groups)\u2026";
    }
    for (std::size_t i = from; i < groups.size(); ++i) {
        out += '/';
        AppendQuotedText(groups[i], out);
    }
    if (groups.empty())
        out += '/';
}

void PrintMatch(ChunkedOutput& out, std::size_t line, const std::vector<std::string>& groups,
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

bool Contains(std::string_view fields, std::string_view folded) {
    return ::memmem(fields.data(), fields.size(), folded.data(), folded.size()) != nullptr;
}

// Reads the book a line at a time, as the reader nests it, holding only the names of the
// groups open around the line: the book is never built, however large.
class StreamingFinder {
public:
    StreamingFinder(std::string_view text, ChunkedOutput& out)
        : folded_(FoldTypedText(text)), out_(out) {}

    void AddLine(std::size_t number, std::string_view rawLine) {
        const std::string_view line = TrimLeadingBlanks(rawLine);
        const LineKind kind = ClassifyLine(line);
        if (kind == LineKind::EndGroup && !groups_.empty())
            groups_.pop_back();
        if (kind != LineKind::Group && kind != LineKind::Address)
            return; // separators never match
        if (!folded_.empty() && LineMayMatch(line)) {
            const EntryNode& entry = entry_.Make(line, kind);
            fields_.clear();
            AppendFoldedFields(entry, fields_);
            if (Contains(fields_, folded_)) {
                PrintMatch(out_, number, groups_, entry);
                ++found_;
            }
        }
        if (kind == LineKind::Group)
            groups_.emplace_back(GroupName(line));
    }
    std::size_t found() const { return found_; }

private:
    // The line folded whole holds each of its fields folded, between ASCII that joins
    // nothing: a line it misses has no match, and most lines are passed over without making
    // their entry.
    bool LineMayMatch(std::string_view line) {
        if (lineFolded_.size() < FoldedRoom(line.size()))
            lineFolded_.resize(FoldedRoom(line.size()));
        const char* end = FoldBookTextInto(line, lineFolded_.data());
        return Contains(std::string_view(lineFolded_.data(), std::size_t(end - lineFolded_.data())),
                        folded_);
    }

    const std::string folded_;
    ChunkedOutput& out_;
    LineEntry entry_;
    std::string lineFolded_; // room for the longest line yet
    std::string fields_;
    std::vector<std::string> groups_; // the names of the groups open, outermost first
    std::size_t found_ = 0;
};

} // namespace

std::size_t FindInBook(const std::string& path, std::string_view text, std::ostream& out) {
    ChunkedOutput printer(out);
    StreamingFinder finder(text, printer);
    ReadingBook(path, [&finder](std::istream& in) {
        LineReader reader(in);
        std::string_view line;
        while (reader.Next(line))
            finder.AddLine(reader.LineNumber(), line);
    });
    printer.Flush();
    out.flush();
    if (!out)
        throw BookIoError("write error");
    return finder.found();
}
