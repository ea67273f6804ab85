// Contact export and import: a book twice the size must take about twice as long, whether it
// is wide (many addresses in many groups) or deep (addresses under long chains of groups,
// whose whole path every card and row carries). Prints the time per entry or level for each
// size; exits 3 when a doubling costs more than kMaxDoublingRatio times as long, 1 when an
// import does not give the book back.
#include "BenchSupport.h"
#include "WideBooks.h"
#include "exchange/ContactExport.h"
#include "exchange/ContactImport.h"
#include "framework/Cp932.h"
#include "model/EntryTree.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

namespace {

constexpr double kMaxDoublingRatio = 2.6;
constexpr int kRepetitions = 3;
constexpr int kChainLevels = 250; // an import refuses group paths deeper than 256

EntryNode* LastTopLevel(const EntryTree& tree) {
    EntryNode* last = tree.first;
    while (last->next)
        last = last->next;
    return last;
}

// Groups of 100 addresses, each with a Japanese name and three addresses.
void FillWide(EntryTree& tree, int addresses) {
    static const std::string postal[] = {Cp932("東京都千代田区")};
    FillWideBook(tree, addresses, postal);
}

// Chains of groups as deep as an import takes, one address in the innermost of each; levels
// is the number of groups in all.
void FillDeep(EntryTree& tree, int levels) {
    const std::string addresses[] = {"a@example.jp"};
    for (int chain = 0; chain < levels / kChainLevels; ++chain) {
        EntryNode* parent = nullptr;
        for (int level = 0; level < kChainLevels; ++level) {
            EntryNode* group =
                tree.NewEntry(EntryKind::Group, Cp932("階層/" + std::to_string(level)));
            parent = parent ? tree.AppendEntry(group, parent, true)
                            : tree.AppendEntry(group, tree.first ? LastTopLevel(tree) : nullptr,
                                               false);
        }
        tree.AppendEntry(tree.NewEntry(EntryKind::Address, "name", addresses), parent, true);
    }
}

std::string Exported(const EntryTree& tree, ContactFormat format) {
    std::ostringstream out;
    ExportContacts(tree, format, out);
    return std::move(out).str();
}

struct Timings {
    double exportMs;
    double importMs;
};

Timings Time(const EntryTree& tree, ContactFormat format, bool& sound) {
    std::string text;
    const double exportMs = MedianMs(kRepetitions, [&] { text = Exported(tree, format); });
    std::unique_ptr<EntryTree> imported;
    const double importMs = MedianMs(
        kRepetitions, [&] { ImportContacts(format, text, *imported, false); },
        [&] { imported = std::make_unique<EntryTree>(); });
    sound = sound && Exported(*imported, format) == text;
    return {exportMs, importMs};
}

void PrintStep(const char* step, double ms, double previous, int n, bool& linear) {
    const double ratio = previous > 0 ? ms / previous : 0;
    const bool ok = ratio <= kMaxDoublingRatio;
    linear = linear && ok;
    std::printf("  %s %9.1f ms %7.3f us", step, ms, 1000 * ms / n);
    if (previous > 0)
        std::printf(" x%.2f %s", ratio, ok ? "ok" : "SLOW");
}

// Measures books of size, 2 size and 4 size; false when a doubling was too slow.
bool Measure(const char* what, int size, const std::function<void(EntryTree&, int)>& fill,
             bool& sound) {
    bool linear = true;
    for (ContactFormat format : {ContactFormat::VCard, ContactFormat::Csv}) {
        Timings previous{0, 0};
        for (int n = size; n <= 4 * size; n *= 2) {
            EntryTree tree;
            fill(tree, n);
            const Timings timings = Time(tree, format, sound);
            std::printf("%-4s %-5s %8d", what, format == ContactFormat::VCard ? "vCard" : "CSV", n);
            PrintStep("export", timings.exportMs, previous.exportMs, n, linear);
            PrintStep("import", timings.importMs, previous.importMs, n, linear);
            std::printf("\n");
            previous = timings;
        }
    }
    return linear;
}

} // namespace

int main() {
    bool sound = true;
    const bool wide = Measure("wide", 50'000, FillWide, sound);
    const bool deep = Measure("deep", 50'000, FillDeep, sound);
    if (!sound) {
        std::printf("an import did not give the exported book back\n");
        return 1;
    }
    return wide && deep ? 0 : 3;
}
