// Fuzzes contact import: any bytes, read as vCard and as CSV, must import or be refused with
// ImportError, never fault. What import builds must survive saving (a book written and read
// back has exactly its entries), refusing without replacement must leave the tree empty
// exactly when something was reported, and the book must come back unchanged through a CSV
// export and import.
#include "exchange/ContactExport.h"
#include "exchange/ContactImport.h"
#include "file/BookFormat.h"
#include "model/EntryTree.h"
#include "tests/support/TreeStructure.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_import: %s\n", what);
    std::abort();
}

std::string Reread(const EntryTree& tree) {
    std::ostringstream out;
    WriteBook(out, tree);
    std::istringstream in(std::move(out).str());
    EntryTree reread;
    ReadBook(in, reread);
    return TreeStructure(reread);
}

std::string ThroughCsv(const EntryTree& tree) {
    std::ostringstream csv;
    ExportContacts(tree, ContactFormat::Csv, csv);
    EntryTree imported;
    const ImportReport report = ImportContacts(ContactFormat::Csv, csv.str(), imported, false);
    if (!report.unencodable.empty())
        Fail("an imported book exported as CSV does not import again");
    return TreeStructure(imported);
}

void Check(ContactFormat format, std::string_view text) {
    EntryTree replaced;
    ImportReport report;
    try {
        report = ImportContacts(format, text, replaced, true);
    } catch (const ImportError&) {
        return;
    }
    const std::string structure = TreeStructure(replaced);
    if (Reread(replaced) != structure)
        Fail("an imported book changes when saved and read back");
    if (ThroughCsv(replaced) != structure)
        Fail("an imported book changes through a CSV export and import");

    EntryTree refused;
    const ImportReport strict = ImportContacts(format, text, refused, false);
    if (strict.records != report.records || strict.unencodable.size() != report.unencodable.size())
        Fail("replacing changes what is reported");
    const bool reported = !strict.unencodable.empty();
    if (reported && refused.first)
        Fail("a refused import left entries in the tree");
    if (!reported && TreeStructure(refused) != structure)
        Fail("an import with nothing to replace depends on replacing");
    if (reported != (report.replaced != 0))
        Fail("characters counted as replaced do not match what was reported");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Check(ContactFormat::VCard, text);
    Check(ContactFormat::Csv, text);
    return 0;
}
