#pragma once

#include "framework/Cp932.h"

#include <QString>

#include <string_view>

// Text of a name or an address as the panes and dialogs show it; the bytes are never touched.
inline QString DisplayText(std::string_view bytes) {
    return QString::fromStdString(Cp932ToUtf8(bytes));
}
