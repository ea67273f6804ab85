#pragma once

#include <cstddef>
#include <string_view>

// Where a piece of text stands in a book line; what it may hold depends on that.
enum class TextPlace { GroupName, EntryName, FirstAddress, LaterAddress };

// Why a text would read back differently from where it stands.
enum class RoundTripFault {
    None,
    LineBreak,    // a CR or LF ends the line there
    LeadingBlank, // dropped as indentation, or as the blanks after "GROUP" or ": "
    Keyword,      // the line would read as a comment, GROUP, END GROUP or SEPARATOR line
    NameColon,    // the first ":" ends the name; the rest reads as addresses
    AddressComma, // a "," splits the address in two
};

struct RoundTripCheck {
    RoundTripFault fault = RoundTripFault::None;
    std::size_t at = 0;     // byte offset of what is at fault in the text
    std::size_t length = 0; // its bytes: one character, or the whole keyword
    bool Survives() const { return fault == RoundTripFault::None; }
};

// Whether `text` (book bytes) comes back unchanged from a book line that WriteBook writes
// with it at `place` and ReadBook reads, and if not, the first fault at or after byte
// `from`. Faults are single ASCII bytes or a keyword at the start, so a caller that mends a
// fault in place can go on from the end of it and stay linear.
RoundTripCheck CheckRoundTrip(std::string_view text, TextPlace place, std::size_t from = 0);
