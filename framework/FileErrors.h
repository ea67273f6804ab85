#pragma once

#include <QString>

// A short Japanese sentence for an errno value, for the file-error boxes.
QString DescribeErrno(int error);

// The body of a file-error box: the headline, the file's name and the cause.
QString FileErrorText(const QString& headline, const QString& path, int error);
// The box for a file that could not be opened or read as a book.
QString OpenFailureText(const QString& path, int error);

// Causes that have no errno value of their own.
constexpr int kNotRegularFileError = -1; // a FIFO, a device or a socket
constexpr int kUnreadableNameError = -2; // the name's bytes were lost before we got it
