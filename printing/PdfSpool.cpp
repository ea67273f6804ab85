#include "PdfSpool.h"

#include "framework/SafeFiles.h"

#include <QDir>
#include <QFile>
#include <QPrinter>

#include <cerrno>

PdfSpool::PdfSpool(QPrinter& printer)
    : printer_(printer), target_(printer.outputFileName()),
      spool_(QDir::tempPath() + QStringLiteral("/tellwick-print-XXXXXX.pdf")) {
    if (target_.isEmpty())
        return;
    // Without a private file the print goes straight to the user's, as it always could.
    if (spool_.open())
        printer_.setOutputFileName(spool_.fileName());
}

void PdfSpool::aimBack() {
    if (!target_.isEmpty())
        printer_.setOutputFileName(target_);
}

int PdfSpool::commit() {
    if (target_.isEmpty() || printer_.outputFileName() != spool_.fileName())
        return 0;
    QFile printed(spool_.fileName());
    if (!printed.open(QIODevice::ReadOnly))
        return EIO;
    const QByteArray bytes = printed.readAll();
    // A FIFO or device named as the PDF takes the bytes, as a printer writing to it would.
    const FileOutcome outcome = SaveFileSafely(
        QFile::encodeName(target_).toStdString(), std::uint64_t(bytes.size()),
        [&bytes](std::ostream& out) {
            out.write(bytes.constData(), std::streamsize(bytes.size()));
        },
        SpecialFiles::WriteDirectly);
    return outcome.error;
}
