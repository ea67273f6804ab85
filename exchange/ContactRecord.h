#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// One card or row as read, in UTF-8, before it is fitted into the book.
struct ContactRecord {
    std::size_t line = 0;  // where it starts in the input
    std::string groupPath; // GroupPath.h text; empty at the top level
    std::string name;
    std::vector<std::string> addresses;
};

// The PRODID of the cards Tellwick writes. Only on those does a NOTE stand for an address
// (one that is neither an e-mail address nor a telephone number); other programs' notes are
// remarks about the person, not addresses.
inline constexpr std::string_view kOwnProductId = "-//Tellwick//Tellwick//EN";

using TakeRecord = std::function<void(ContactRecord&&)>;

// Each hands every record of the text to take, in order; throws ImportError on malformed
// input. The text has no BOM; CSV text is valid UTF-8, vCard text is checked as it is read.
void ReadVCards(std::string_view text, const TakeRecord& take);
void ReadCsv(std::string_view text, const TakeRecord& take);

// The 1-based line of text that holds offset (CRLF, LF and CR each end a line).
std::size_t LineAt(std::string_view text, std::size_t offset);
