#pragma once

#include "framework/Cp932.h"

#include <QString>

#include <string>

// Text of a name or an address as the panes and dialogs show it; the bytes are never touched.
inline QString DisplayText(const std::string& bytes) {
    return QString::fromStdString(Cp932ToUtf8(bytes));
}
