#pragma once

#include <QString>

class QPrinter;

// Where "print at once" sends a job, as the command line or the shell names it.
struct PrintTarget {
    QString printer; // empty: the default printer; a path ending in ".pdf": that PDF file
    QString driver;  // taken as given; the print system needs none
    QString port;    // shown while printing
};

// Whether a printer name stands for a PDF file to write.
bool IsPdfPath(const QString& printerName);

// Points printer at the named printer, at the PDF file such a path names, or at the default
// printer for an empty name. False, with the reason for the user in problem, when there is
// no such printer.
bool AimPrinter(QPrinter& printer, const QString& printerName, QString* problem);

// A PDF target as found before any writer opens it. created: this job made the file, so a
// failed job may remove it; a file that was there before is never removed.
struct PdfClaim {
    bool ok = false;
    bool created = false;
    QString problem; // for the user, when not ok
};

// Makes sure a PDF target is a regular file or a new one. A FIFO, a device or a folder is
// refused at once, without waiting for a reader of the FIFO.
PdfClaim ClaimPdfFile(const QString& path);

// Gives a printer the settings every job starts from: document name, margins, and A4 paper
// for a PDF file.
void PrepareForBook(QPrinter& printer, const QString& title);
