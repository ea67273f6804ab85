#pragma once

#include "storage/SafeFiles.h"

#include <QString>

// kNotRegularFileError and kUnreadableNameError come from storage/SafeFiles.h.

// A short Japanese sentence for an errno value, for the file-error boxes.
QString DescribeErrno(int error);

// The body of a file-error box: the headline, the file's name and the cause.
QString FileErrorText(const QString& headline, const QString& path, int error);
// The box for a file that could not be opened or read as a book.
QString OpenFailureText(const QString& path, int error);
