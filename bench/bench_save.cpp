// Saving a book of 1,000,000 address entries (nested in groups) through the document, as
// File Save does (the whole book written to a new file, flushed to the disk, renamed over the
// old one), against one raw write of the same bytes to a new file, flushed to the disk too,
// and against the raw write alone. Medians of 5; the figure that matters is the ratio.
#include "BenchSupport.h"
#include "document/TellwickDoc.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kEntries = 1'000'000;
constexpr int kRepetitions = 5;

QByteArray NestedBook() {
    QByteArray book;
    for (int i = 0; i < kEntries; ++i) {
        if (i % 100 == 0)
            book += (i > 0 ? "END GROUP\r\n" : "") + QByteArray("GROUP team") +
                    QByteArray::number(i) + "\r\n";
        book += "  \x8E\x52\x93\x63 \x91\xBE\x98\x59" + QByteArray::number(i) + ": user" +
                QByteArray::number(i) + "@example.co.jp,03-1234-" + QByteArray::number(i % 10000) +
                "\r\n";
    }
    return book + "END GROUP\r\n";
}

bool RawWrite(const QString& path, const QByteArray& bytes, bool flush) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool written =
        ::write(fd, bytes.constData(), static_cast<std::size_t>(bytes.size())) == bytes.size();
    const bool flushed = !flush || ::fsync(fd) == 0;
    return ::close(fd) == 0 && written && flushed;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("book.tlw"));
    const QString saved = dir.filePath(QStringLiteral("saved.tlw"));
    const QString raw = dir.filePath(QStringLiteral("raw.tlw"));
    const QByteArray bytes = NestedBook();
    CTellwickDoc document;
    if (!RawWrite(source, bytes, false) || !document.openDocument(source).ok())
        return 1;

    bool ok = true;
    const double saveMs =
        MedianMs(kRepetitions, [&] { ok = ok && document.saveDocument(saved).ok(); });
    const double rawFlushedMs =
        MedianMs(kRepetitions, [&] { ok = ok && RawWrite(raw, bytes, true); });
    const double rawMs = MedianMs(kRepetitions, [&] { ok = ok && RawWrite(raw, bytes, false); });
    QFile savedFile(saved);
    if (!ok || !savedFile.open(QIODevice::ReadOnly) || savedFile.readAll() != bytes) {
        std::fprintf(stderr, "a save failed or wrote other bytes than the book's\n");
        return 1;
    }
    std::printf("book: %d entries, %.1f MB; medians of %d\n", kEntries,
                static_cast<double>(bytes.size()) / 1e6, kRepetitions);
    std::printf("save through the document:       %8.1f ms\n", saveMs);
    std::printf("raw write + flush to the disk:   %8.1f ms   save / this: %.2fx\n", rawFlushedMs,
                saveMs / rawFlushedMs);
    std::printf("raw write alone:                 %8.1f ms   save / this: %.2fx\n", rawMs,
                saveMs / rawMs);
    return 0;
}
