#pragma once

#include "DisplayText.h"
#include "model/EntryNode.h"

#include <QString>

// Every address followed by one space, as the list's second column shows them.
inline QString AddressText(const EntryNode& entry) {
    std::string joined;
    for (std::string_view address : entry.Addresses()) {
        joined += address;
        joined += ' ';
    }
    return DisplayText(joined);
}
