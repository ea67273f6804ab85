// Opens a flat book of 1,000,000 entries in the real window, headless, and reports how long
// it takes until the list shows the top level, next to opening an empty book in the same
// run, and the process's peak memory. Targets: under 2 s and under 400 MB.
#include "app/TellwickApp.h"
#include "doc/TellwickDoc.h"
#include "framework/DocumentManager.h"
#include "framework/Prompter.h"
#include "views/EntryListModel.h"
#include "views/TlwListView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int kEntries = 1'000'000;
constexpr int kRepetitions = 5;

// Answers every box with its default; no dialog opens in a benchmark.
class SilentPrompter : public Prompter {
public:
    Answer ask(QWidget*, const QString&, const QString&, Buttons, Icon, Answer answer) override {
        return answer;
    }
    QString chooseOpenFile(QWidget*, const QString&, const QList<FileFilter>&) override {
        return {};
    }
    QString chooseSaveFile(QWidget*, const QString&, const QString&,
                           const QList<FileFilter>&) override {
        return {};
    }
};

QByteArray FlatBook() {
    // 山田 太郎 and friends with two addresses each, in CP932.
    const QByteArray names[] = {"\x8E\x52\x93\x63 \x91\xBE\x98\x59", "\x97\xE9\x96\xD8 \x89\xD4",
                                "\x8D\xB2\x93\xA1 \x88\xEA\x98\x59"};
    QByteArray book;
    book.reserve(kEntries * 60);
    for (int i = 0; i < kEntries; ++i) {
        book += names[i % 3] + QByteArray::number(i) + ": user" + QByteArray::number(i) +
                "@example.co.jp,03-1234-" + QByteArray::number(i % 10000) + "\r\n";
    }
    return book;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

double OpenMs(CTellwickApp& app, const QString& path, int expectedRows) {
    QElapsedTimer timer;
    timer.start();
    if (!app.documents().openDocumentFile(path))
        return -1;
    QCoreApplication::processEvents();
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    return app.listPane().rows().rowCount() == expectedRows ? ms : -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("flat.tlw"));
    const QString empty = dir.filePath(QStringLiteral("empty.tlw"));
    const QByteArray bytes = FlatBook();
    if (!WriteFile(big, bytes) || !WriteFile(empty, {}))
        return 1;

    SilentPrompter prompter;
    CTellwickApp app(prompter, dir.filePath(QStringLiteral("tellwick.INI")));
    if (!app.initInstance({}))
        return 1;
    std::vector<double> emptyMs, bigMs;
    for (int i = 0; i < kRepetitions; ++i) {
        emptyMs.push_back(OpenMs(app, empty, 0));
        bigMs.push_back(OpenMs(app, big, kEntries));
    }
    if (*std::min_element(bigMs.begin(), bigMs.end()) < 0 ||
        *std::min_element(emptyMs.begin(), emptyMs.end()) < 0) {
        std::fprintf(stderr, "a book did not open or show its rows\n");
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    std::printf("book: %d entries, %.1f MB\n", kEntries, bytes.size() / 1e6);
    std::printf("open empty book, median of %d: %8.2f ms\n", kRepetitions, Median(emptyMs));
    std::printf("open flat book,  median of %d: %8.1f ms (target < 2000 ms)\n", kRepetitions,
                Median(bigMs));
    std::printf("peak resident memory:          %8.1f MB (target < 400 MB)\n", peakMb);
    return 0;
}
