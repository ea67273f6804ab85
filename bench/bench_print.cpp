// Printing big books into PDF files: a book twice the size must take about twice as long,
// whether it is wide (many addresses in many groups) or deep (groups nested in groups).
// Prints the time per entry for each size; exits 3 when a doubling costs more than
// kMaxDoublingRatio times as long.
#include "BenchSupport.h"
#include "WideBooks.h"
#include "framework/Cp932.h"
#include "model/EntryTree.h"
#include "printing/BookPages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double kMaxDoublingRatio = 2.6;
constexpr int kRepetitions = 3;

// Groups of 100 addresses, each with a Japanese name and two addresses.
void FillWide(EntryTree& tree, int addresses) {
    FillWideBook(tree, addresses);
}

// Groups each holding an address and the next group.
void FillDeep(EntryTree& tree, int levels) {
    EntryNode* parent = nullptr;
    for (int level = 0; level < levels; ++level) {
        EntryNode* group = tree.NewEntry(EntryKind::Group, Cp932("階層 " + std::to_string(level)));
        tree.AppendEntry(group, parent, parent != nullptr);
        const std::string addresses[] = {"a@example.jp"};
        EntryNode* entry = tree.NewEntry(EntryKind::Address, "name", addresses);
        tree.AppendEntry(entry, group, true);
        parent = group;
    }
}

double PrintMs(const EntryTree& tree, const QString& path) {
    return MedianMs(kRepetitions, [&] {
        QPdfWriter writer(path);
        QPainter painter(&writer);
        RenderBook(painter, writer, {QStringLiteral("bench.tlw"), tree});
        painter.end();
    });
}

// Prints books of size, 2 size and 4 size; false when a doubling was too slow.
bool Measure(const char* what, int size, const std::function<void(EntryTree&, int)>& fill,
             const QString& path) {
    bool linear = true;
    double previous = 0;
    for (int n = size; n <= 4 * size; n *= 2) {
        EntryTree tree;
        fill(tree, n);
        const double ms = PrintMs(tree, path);
        const double ratio = previous > 0 ? ms / previous : 0;
        const bool ok = ratio <= kMaxDoublingRatio;
        linear = linear && ok;
        std::printf("%-6s %8d entries %10.1f ms %8.2f us/entry", what, n, ms, 1000 * ms / n);
        if (previous > 0)
            std::printf("  x%.2f %s", ratio, ok ? "ok" : "SLOW");
        std::printf("\n");
        previous = ms;
    }
    return linear;
}

} // namespace

int main(int argc, char* argv[]) {
    UseOffscreenPlatformUnlessSet();
    QApplication qapp(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.pdf"));
    const bool wide = Measure("wide", 10'000, FillWide, path);
    const bool deep = Measure("deep", 20'000, FillDeep, path);
    return wide && deep ? 0 : 3;
}
