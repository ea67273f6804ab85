#pragma once

#include <QString>

// A short Japanese sentence for an errno value, for the file-error boxes.
QString DescribeErrno(int error);

// Causes that have no errno value of their own.
constexpr int kNotRegularFileError = -1; // a FIFO, a device or a socket
constexpr int kUnreadableNameError = -2; // the name's bytes were lost before we got it
