#include "PrinterTargets.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString NoDefaultPrinterText() {
    if (QPrinterInfo::availablePrinterNames().isEmpty())
        return QStringLiteral("使用できるプリンターがないため、印刷できません。\n"
                              "プリンターを追加してから、もう一度印刷してください。");
    return QStringLiteral("既定のプリンターが設定されていないため、印刷できません。\n"
                          "既定のプリンターを設定してから、もう一度印刷してください。");
}

QString NotAFileText(const QString& path, bool folder) {
    return (folder ? QStringLiteral("\"%1\" はフォルダーのため、PDF ファイルを書き込めません。")
                   : QStringLiteral("\"%1\" は通常のファイルではない (FIFO やデバイスなど) "
                                    "ため、PDF ファイルを書き込めません。"))
        .arg(path);
}

QString CannotWriteText(const QString& path) {
    return QStringLiteral("PDF ファイル \"%1\" を書き込めませんでした。").arg(path);
}

PdfClaim Refused(QString problem) {
    return {false, false, std::move(problem)};
}

// Opens for writing without truncating or blocking: a FIFO without a reader fails with
// ENXIO instead of waiting. Tries an exclusive create first, so a file that was there is
// never taken for one this job made.
int OpenWithoutWaiting(const QByteArray& path, bool* created) {
    constexpr int kFlags = O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    int fd = ::open(path.constData(), kFlags | O_CREAT | O_EXCL, 0666);
    *created = fd >= 0;
    if (fd < 0 && errno == EEXIST)
        fd = ::open(path.constData(), kFlags);
    if (fd < 0 && errno == ENOENT) { // a dangling link: the file it names is made
        fd = ::open(path.constData(), kFlags | O_CREAT, 0666);
        *created = fd >= 0;
    }
    return fd;
}

void AimAtPdfFile(QPrinter& printer, const QString& path) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QFileInfo(path).absoluteFilePath());
}

void AimAtPrinter(QPrinter& printer, const QString& name) {
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(name);
}

} // namespace

bool IsPdfPath(const QString& printerName) {
    return printerName.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive);
}

bool AimPrinter(QPrinter& printer, const QString& printerName, QString* problem) {
    if (printerName.isEmpty()) {
        const QPrinterInfo byDefault = QPrinterInfo::defaultPrinter();
        if (byDefault.isNull()) {
            *problem = NoDefaultPrinterText();
            return false;
        }
        AimAtPrinter(printer, byDefault.printerName());
        return true;
    }
    // A printer of that very name wins over a file.
    if (!QPrinterInfo::printerInfo(printerName).isNull()) {
        AimAtPrinter(printer, printerName);
        return true;
    }
    if (IsPdfPath(printerName)) {
        AimAtPdfFile(printer, printerName);
        return true;
    }
    *problem =
        QStringLiteral("プリンター \"%1\" が見つからないため、印刷できません。").arg(printerName);
    return false;
}

PdfClaim ClaimPdfFile(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    struct stat info {};
    if (::stat(bytes.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return Refused(NotAFileText(path, S_ISDIR(info.st_mode)));
    // Checked again on the open file: something else may have been put there meanwhile.
    bool created = false;
    const int fd = OpenWithoutWaiting(bytes, &created);
    if (fd < 0) {
        const int error = errno;
        if (error == EISDIR || error == ENXIO)
            return Refused(NotAFileText(path, error == EISDIR));
        return Refused(CannotWriteText(path));
    }
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    if (!regular)
        return Refused(NotAFileText(path, S_ISDIR(info.st_mode)));
    return {true, created, {}};
}

void PrepareForBook(QPrinter& printer, const QString& title) {
    printer.setDocName(title);
    printer.setCreator(QCoreApplication::applicationName());
    if (printer.outputFormat() == QPrinter::PdfFormat)
        printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
}
