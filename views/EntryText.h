#pragma once

#include "framework/Cp932.h"
#include "model/EntryNode.h"

#include <QString>

// Text of an entry as the panes show it; the stored bytes are never touched.
inline QString DisplayText(std::string_view bytes) {
    return QString::fromStdString(Cp932ToUtf8(bytes));
}

// Every address followed by one space, as the list's second column shows them.
inline QString AddressText(const EntryNode& entry) {
    std::string joined;
    for (std::string_view address : entry.Addresses()) {
        joined += address;
        joined += ' ';
    }
    return DisplayText(joined);
}
