#pragma once

#include <QString>
#include <QTemporaryFile>

class QPrinter;

// A printer aimed at a PDF file prints into a private file first; the PDF takes its place
// only when complete, written as a book is saved (storage/SafeFiles.h). A cancelled or failed
// print leaves what the user had there untouched, and an earlier PDF keeps its links, owner,
// group and mode.
class PdfSpool {
public:
    // Aims a printer that prints to a file at the private file; leaves any other alone.
    explicit PdfSpool(QPrinter& printer);
    ~PdfSpool() { aimBack(); }
    PdfSpool(const PdfSpool&) = delete;
    PdfSpool& operator=(const PdfSpool&) = delete;

    // Aims the printer at the user's file again, for what is shown about the job.
    void aimBack();
    // Writes the printed PDF to the user's file: 0, or why it failed (an errno value or a
    // code of storage/SafeFiles.h). Nothing to do for a printer that prints on paper.
    int commit();
    // Whether the print went straight to the user's file (no private file could be made).
    bool wroteTargetDirectly() const { return !target_.isEmpty() && !spool_.isOpen(); }

private:
    QPrinter& printer_;
    QString target_; // empty for a printer that prints on paper
    QTemporaryFile spool_;
};
