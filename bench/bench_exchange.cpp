// Contact export and import: a book twice the size must take about twice as long, whether it
// is wide (many addresses in many groups) or deep (addresses under long chains of groups,
// whose whole path every card and row carries). Prints the time per entry or level for each
// size; exits 3 when a doubling costs more than kMaxDoublingRatio times as long, 1 when an
// import does not give the book back. Where abook is installed, its converter reads the same
// 1,000,000 cards beside our import; exits 3 as well when ours takes more processor time.
#include "BenchSupport.h"
#include "WideBooks.h"
#include "exchange/ContactExport.h"
#include "exchange/ContactImport.h"
#include "file/BookFormat.h"
#include "file/LineReader.h"
#include "framework/Cp932.h"
#include "model/EntryTree.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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
            parent =
                parent ? tree.AppendEntry(group, parent, true)
                       : tree.AppendEntry(group, tree.first ? LastTopLevel(tree) : nullptr, false);
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

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

// The processor time (user and system) a child took, or nothing when it failed.
std::optional<double> ChildCpuMs(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return std::nullopt;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    const auto ms = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Both read the cards from a file and write the book they make to one; each output is
// removed first, as abook will not write over a file.
bool PairWithAbook() {
    if (!OnPath("abook")) {
        std::printf("abook is not installed: no paired import\n");
        return true;
    }
    constexpr int kCards = 1'000'000;
    const auto folder = std::filesystem::temp_directory_path();
    const std::string tag = std::to_string(getpid());
    const std::string cards = folder / ("bench_exchange." + tag + ".vcf");
    const std::string ours = folder / ("bench_exchange." + tag + ".tlw");
    const std::string theirs = folder / ("bench_exchange." + tag + ".abook");
    {
        EntryTree tree;
        FillWide(tree, kCards);
        std::ofstream(cards, std::ios::binary) << Exported(tree, ContactFormat::VCard);
    }
    const double oursMs = MedianCpuMs(
        kRepetitions,
        [&] {
            std::ifstream in(cards, std::ios::binary);
            EntryTree imported;
            ImportContacts(ContactFormat::VCard, ReadAll(in), imported, false);
            std::ofstream out(ours, std::ios::binary);
            WriteBook(out, imported);
        },
        [&] { std::filesystem::remove(ours); });
    std::vector<double> abookMs;
    for (int i = 0; i < kRepetitions; ++i) {
        std::filesystem::remove(theirs);
        const std::optional<double> ms =
            ChildCpuMs({"abook", "--convert", "--informat", "vcard", "--infile", cards,
                        "--outformat", "abook", "--outfile", theirs});
        if (ms)
            abookMs.push_back(*ms);
    }
    for (const std::string& file : {cards, ours, theirs})
        std::filesystem::remove(file);
    if (abookMs.size() != kRepetitions) {
        std::printf("abook --convert failed\n");
        return false;
    }
    const double floor = Median(abookMs);
    std::printf("vCard import of %d cards, file to file, processor time: %.0f ms, abook --convert "
                "%.0f ms, ratio %.2f %s\n",
                kCards, oursMs, floor, oursMs / floor, oursMs <= floor ? "ok" : "SLOWER");
    return oursMs <= floor;
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
    const bool paired = PairWithAbook();
    return wide && deep && paired ? 0 : 3;
}
