#include "BookPrinting.h"

#include "PdfSpool.h"
#include "PrintProgressDialog.h"
#include "framework/Prompter.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

PageRange RangeChosenFor(const QPrinter& printer) {
    if (printer.printRange() != QPrinter::PageRange || printer.fromPage() == 0)
        return {};
    return {printer.fromPage(), printer.toPage()};
}

bool PrintsToFile(const QPrinter& printer) {
    return !printer.outputFileName().isEmpty();
}

QString PrinterLabel(const QPrinter& printer) {
    return PrintsToFile(printer) ? QStringLiteral("PDF") : printer.printerName();
}

// A PDF file ends with its trailer; one cut short by a full disk does not. Read without
// waiting: whatever is at the path now need not be the file just written.
bool PdfFileComplete(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    char tail[16];
    const bool read =
        ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= off_t(sizeof tail) &&
        ::pread(fd, tail, sizeof tail, info.st_size - off_t(sizeof tail)) == ssize_t(sizeof tail);
    ::close(fd);
    return read && QByteArrayView(tail, sizeof tail).contains("%%EOF");
}

QString JobFailedText(const QPrinter& printer) {
    if (PrintsToFile(printer))
        return QStringLiteral("PDF ファイル \"%1\" を書き込めませんでした。")
            .arg(printer.outputFileName());
    return QStringLiteral("プリンター \"%1\" で印刷できませんでした。").arg(printer.printerName());
}

void DrawBook(QPrinter& printer, const PrintedBook& book) {
    QPainter painter;
    if (painter.begin(&printer))
        RenderBook(painter, printer, book, RangeChosenFor(printer));
}

// The preview shows one page, or two side by side, as the profile asks.
void ShowPreviewPages(QPrintPreviewDialog& preview, int pages) {
    if (pages <= 0)
        return;
    const QString mode =
        pages == 1 ? QStringLiteral("singleModeAction") : QStringLiteral("facingModeAction");
    if (auto* action = preview.findChild<QAction*>(mode))
        action->trigger();
}

} // namespace

bool BookPrinting::print(const PrintedBook& book, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    PrepareForBook(printer, book.title);
    lastJobPrinted_ = false;
    if (!prompter_.choosePrinter(parent, printer))
        return false;
    return runJob(printer, book, {}, parent);
}

bool BookPrinting::printDirect(const PrintedBook& book, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    QString problem;
    lastJobPrinted_ = false;
    if (!AimPrinter(printer, directTarget_.printer, &problem))
        return fail(problem, parent);
    PrepareForBook(printer, book.title);
    return runJob(printer, book, directTarget_.port, parent);
}

void BookPrinting::preview(const PrintedBook& book, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    PrepareForBook(printer, book.title);
    QPrintPreviewDialog preview(&printer, parent);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&book](QPrinter* target) { DrawBook(*target, book); });
    ShowPreviewPages(preview, previewPages_);
    prompter_.runPrintPreview(preview);
}

bool BookPrinting::runJob(QPrinter& printer, const PrintedBook& book, const QString& port,
                          QWidget* parent) {
    bool createdFile = false;
    if (PrintsToFile(printer)) {
        const PdfClaim claim = ClaimPdfFile(printer.outputFileName());
        if (!claim.ok)
            return fail(claim.problem, parent);
        createdFile = claim.created;
    }
    const QString shownPort = port.isEmpty() ? printer.outputFileName() : port;
    PdfSpool spool(printer);
    QPainter painter;
    if (!painter.begin(&printer)) {
        spool.aimBack();
        if (createdFile)
            QFile::remove(printer.outputFileName());
        return fail(JobFailedText(printer), parent);
    }
    PrintProgressDialog progress(book.title, PrinterLabel(printer), shownPort, parent);
    progress.show();
    const RenderResult result =
        RenderBook(painter, printer, book, RangeChosenFor(printer),
                   [&progress](int page) { return progress.pageStarted(page); });
    if (result.stopped)
        printer.abort();
    painter.end();
    progress.hide();
    return finishJob(printer, spool, result.stopped, createdFile, parent);
}

bool BookPrinting::finishJob(QPrinter& printer, PdfSpool& spool, bool cancelled, bool createdFile,
                             QWidget* parent) {
    // Half a file is no print: the PDF reaches the user's file only whole, and a file this job
    // made for it goes again. A file that was there before is the user's, whatever it holds.
    bool failed = printer.printerState() == QPrinter::Error ||
                  (PrintsToFile(printer) && !PdfFileComplete(printer.outputFileName()));
    if (!cancelled && !failed)
        failed = spool.commit() != 0;
    spool.aimBack();
    if ((cancelled || failed) && PrintsToFile(printer) && createdFile)
        QFile::remove(printer.outputFileName());
    if (cancelled)
        return false;
    if (failed)
        return fail(JobFailedText(printer), parent);
    lastJobPrinted_ = true;
    return true;
}

bool BookPrinting::fail(const QString& problem, QWidget* parent) {
    prompter_.inform(parent, QCoreApplication::applicationName(), problem, Prompter::Icon::Warning);
    return false;
}
