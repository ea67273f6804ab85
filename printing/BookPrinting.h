#pragma once

#include "BookPages.h"
#include "PrinterTargets.h"

class PdfSpool;
class Prompter;
class QPrinter;
class QWidget;

// The print commands: the print dialog, printing at once on the printer the command line or
// the shell named (the default one otherwise), and the preview. Every problem is told
// through the prompter; nothing is printed then.
class BookPrinting {
public:
    explicit BookPrinting(Prompter& prompter) : prompter_(prompter) {}

    // Pages the preview shows side by side, from the profile; 0 keeps the preview's own.
    void setPreviewPages(int pages) { previewPages_ = pages; }
    // The printer the next "print at once" uses; an empty target is the default printer.
    void setDirectTarget(PrintTarget target) { directTarget_ = std::move(target); }

    // Each returns true when every page asked for was printed.
    bool print(const PrintedBook& book, QWidget* parent);
    bool printDirect(const PrintedBook& book, QWidget* parent);
    void preview(const PrintedBook& book, QWidget* parent);

    bool lastJobPrinted() const { return lastJobPrinted_; }

private:
    bool runJob(QPrinter& printer, const PrintedBook& book, const QString& port, QWidget* parent);
    bool finishJob(QPrinter& printer, PdfSpool& spool, bool cancelled, bool createdFile,
                   QWidget* parent);
    bool fail(const QString& problem, QWidget* parent);

    Prompter& prompter_;
    int previewPages_ = 0;
    PrintTarget directTarget_;
    bool lastJobPrinted_ = false;
};
