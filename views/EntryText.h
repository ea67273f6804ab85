#pragma once

#include "framework/Cp932.h"
#include "model/EntryNode.h"

#include <QString>

// Text of an entry as the panes show it; the stored bytes are never touched.
inline QString DisplayText(const std::string& bytes) {
    return QString::fromStdString(Cp932ToUtf8(bytes));
}

// Every address followed by one space, as the list's second column shows them.
inline QString AddressText(const EntryNode& entry) {
    std::string joined;
    for (const std::string& address : entry.addresses) {
        joined += address;
        joined += ' ';
    }
    return DisplayText(joined);
}
