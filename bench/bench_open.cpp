// Opens a flat book of 1,000,000 entries in the real window, headless, and reports how long
// it takes until the list shows the top level, how long File New then takes to free it, and
// the process's resident memory before, with the book open and after freeing it. Opening an
// empty book is timed first, before any big book was in memory. Targets: open under 2 s and
// peak under 400 MiB.
#include "BenchSupport.h"
#include "SilentPrompter.h"
#include "app/TellwickApp.h"
#include "document/TellwickDoc.h"
#include "framework/DocumentManager.h"
#include "views/EntryListModel.h"
#include "views/TlwListView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kEntries = 1'000'000;
constexpr int kEntriesPerChunk = 10'000;
constexpr int kRepetitions = 5;

// Entries [first, first + count) of the flat book: 山田 太郎 and friends with two addresses
// each, in CP932.
QByteArray FlatBookChunk(int first, int count) {
    const QByteArray names[] = {"\x8E\x52\x93\x63 \x91\xBE\x98\x59", "\x97\xE9\x96\xD8 \x89\xD4",
                                "\x8D\xB2\x93\xA1 \x88\xEA\x98\x59"};
    QByteArray chunk;
    for (int i = first; i < first + count; ++i) {
        chunk += names[i % 3] + QByteArray::number(i) + ": user" + QByteArray::number(i) +
                 "@example.co.jp,03-1234-" + QByteArray::number(i % 10000) + "\r\n";
    }
    return chunk;
}

// Written a chunk at a time, so that the peak memory is the program's, not the benchmark's.
qint64 WriteFlatBook(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    for (int first = 0; first < kEntries; first += kEntriesPerChunk) {
        const QByteArray chunk = FlatBookChunk(first, kEntriesPerChunk);
        if (file.write(chunk) != chunk.size())
            return -1;
    }
    return file.size();
}

bool WriteEmptyFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

double ResidentMiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double PeakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Milliseconds until the step is done and the window has caught up; -1 when it failed or
// the list does not show expectedRows.
double TimedMs(CTellwickApp& app, const std::function<bool()>& step, int expectedRows) {
    QElapsedTimer timer;
    timer.start();
    if (!step())
        return -1;
    QCoreApplication::processEvents();
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    return app.listPane().rows().rowCount() == expectedRows ? ms : -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool AllSucceeded(const std::vector<double>& values) {
    return std::none_of(values.begin(), values.end(), [](double ms) { return ms < 0; });
}

struct Figures {
    std::vector<double> emptyOpenMs, bigOpenMs, freeMs;
    double residentBeforeMiB = 0;
    std::vector<double> residentOpenMiB, residentAfterMiB;
};

bool Measure(CTellwickApp& app, const QString& big, const QString& empty, Figures& figures) {
    DocumentManager& documents = app.documents();
    figures.residentBeforeMiB = ResidentMiB();
    for (int i = 0; i < kRepetitions; ++i) {
        figures.emptyOpenMs.push_back(TimedMs(
            app, [&] { return documents.openDocumentFile(empty); }, 0));
    }
    for (int i = 0; i < kRepetitions; ++i) {
        figures.bigOpenMs.push_back(TimedMs(
            app, [&] { return documents.openDocumentFile(big); }, kEntries));
        figures.residentOpenMiB.push_back(ResidentMiB());
        figures.freeMs.push_back(TimedMs(
            app, [&] { return documents.fileNew(); }, 0));
        figures.residentAfterMiB.push_back(ResidentMiB());
    }
    return AllSucceeded(figures.emptyOpenMs) && AllSucceeded(figures.bigOpenMs) &&
           AllSucceeded(figures.freeMs);
}

void Report(const Figures& figures, qint64 bookBytes) {
    std::printf("book: %d entries, %.1f MB\n", kEntries, static_cast<double>(bookBytes) / 1e6);
    std::printf("open empty book, fresh, median of %d:   %8.2f ms\n", kRepetitions,
                Median(figures.emptyOpenMs));
    std::printf("open flat book,         median of %d:   %8.1f ms (target < 2000 ms)\n",
                kRepetitions, Median(figures.bigOpenMs));
    std::printf("free it (File New),     median of %d:   %8.1f ms\n", kRepetitions,
                Median(figures.freeMs));
    std::printf("resident before any book:               %8.1f MiB\n", figures.residentBeforeMiB);
    std::printf("resident, flat book open, median of %d: %8.1f MiB\n", kRepetitions,
                Median(figures.residentOpenMiB));
    std::printf("resident after File New,  median of %d: %8.1f MiB\n", kRepetitions,
                Median(figures.residentAfterMiB));
    std::printf("peak resident memory:                   %8.1f MiB (target < 400 MiB)\n",
                PeakResidentMiB());
}

} // namespace

int main(int argc, char* argv[]) {
    UseOffscreenPlatformUnlessSet();
    QApplication qapp(argc, argv);
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("flat.tlw"));
    const QString empty = dir.filePath(QStringLiteral("empty.tlw"));
    const qint64 bookBytes = WriteFlatBook(big);
    if (bookBytes < 0 || !WriteEmptyFile(empty))
        return 1;

    SilentPrompter prompter;
    CTellwickApp app(prompter, dir.filePath(QStringLiteral("tellwick.INI")));
    if (!app.initInstance({}))
        return 1;
    Figures figures;
    if (!Measure(app, big, empty, figures)) {
        std::fprintf(stderr, "a book did not open or free, or the list showed the wrong rows\n");
        return 1;
    }
    Report(figures, bookBytes);
    return 0;
}
