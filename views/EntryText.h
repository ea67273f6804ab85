#pragma once

#include "DisplayText.h"
#include "model/EntryNode.h"

#include <QString>

// More characters than any column shows; a longer text is cut there for showing, since
// laying out a line of megabytes takes the window seconds on every repaint.
inline constexpr qsizetype kShownCharacters = 1000;

// The start of a text as a row shows it, with "…" where it was cut. Only the bytes that can
// make the first kShownCharacters characters are decoded (one or two bytes each).
inline QString ShownText(std::string_view bytes) {
    const std::size_t enough = 2 * std::size_t(kShownCharacters) + 2;
    if (bytes.size() <= enough) {
        const QString text = DisplayText(bytes);
        if (text.size() <= kShownCharacters)
            return text;
    }
    return DisplayText(bytes.substr(0, enough)).left(kShownCharacters) + QChar(0x2026);
}

// Every address followed by one space, as the list's second column shows them, cut as
// ShownText cuts.
inline QString AddressText(const EntryNode& entry) {
    const std::size_t enough = 2 * std::size_t(kShownCharacters) + 3;
    std::string joined;
    for (std::string_view address : entry.Addresses()) {
        joined.append(address.substr(0, enough - joined.size()));
        joined += ' ';
        if (joined.size() >= enough)
            break;
    }
    return ShownText(joined);
}
