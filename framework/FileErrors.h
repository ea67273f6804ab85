#pragma once

#include <QString>

// A short Japanese sentence for an errno value, for the file-error boxes.
QString DescribeErrno(int error);
