#pragma once

#include <cstddef>
#include <istream>
#include <ostream>
#include <vector>

// A line whose content a save would not write back unchanged.
struct CheckFinding {
    std::size_t line; // 1-based
    const char* reason;
};

struct CheckReport {
    std::size_t groups = 0;
    std::size_t addresses = 0;
    std::size_t separators = 0;
    // Groups around the deepest entry: 0 for top-level entries (and an empty book).
    std::size_t deepestNesting = 0;
    std::vector<CheckFinding> findings; // in line order
};

// Reads the book line by line as the reader does; throws BookIoError on a read failure.
CheckReport CheckBook(std::istream& in);
void PrintCheckReport(const CheckReport& report, std::ostream& out);
