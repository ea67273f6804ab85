#include "PrinterTargets.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>

namespace {

QString NoDefaultPrinterText() {
    if (QPrinterInfo::availablePrinterNames().isEmpty())
        return QStringLiteral("使用できるプリンターがないため、印刷できません。\n"
                              "プリンターを追加してから、もう一度印刷してください。");
    return QStringLiteral("既定のプリンターが設定されていないため、印刷できません。\n"
                          "既定のプリンターを設定してから、もう一度印刷してください。");
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

void PrepareForBook(QPrinter& printer, const QString& title) {
    printer.setDocName(title);
    printer.setCreator(QCoreApplication::applicationName());
    if (printer.outputFormat() == QPrinter::PdfFormat)
        printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
}
