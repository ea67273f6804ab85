// Memory of a book of real names: 1,000,000 address entries, each a CP932 name with one or
// two addresses (an e-mail address, now and then a telephone number too), in groups of 100.
// Reports, for the whole process, the resident memory the read book adds per address entry
// (target: at most 80 bytes), the book's own bytes per entry, the peak, and how long
// freeing the book takes. Standard library only, like the code it measures.
#include "file/BookFormat.h"
#include "model/EntryTree.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

namespace {

constexpr std::size_t kEntries = 1'000'000;
constexpr std::size_t kPerGroup = 100;
constexpr double kTargetBytesPerEntry = 80;

constexpr const char* kFamilyNames[] = {
    "\x8E\x52\x93\x63", "\x97\xE9\x96\xD8", "\x8D\xB2\x93\xA1", "\x93\x63\x92\x86",
    "\x8D\x82\x8B\xB4", "\x88\xC9\x93\xA1", "\x93\x6E\x95\xD3", "\x92\x86\x91\xBA",
};
constexpr const char* kGivenNames[] = {
    "\x91\xBE\x98\x59", "\x89\xD4\x8E\x71", "\x88\xEA\x98\x59", "\x82\xB3\x82\xAD\x82\xE7",
    "\x82\xE4\x82\xAB", "\x8C\x92\x91\xBE", "\x94\xFC\x8D\xE7", "\x83\x5C\x83\x45\x83\x5E",
};
constexpr const char* kRomanNames[] = {"yamada",    "suzuki", "sato",     "tanaka",
                                       "takahashi", "ito",    "watanabe", "nakamura"};

// "山田 太郎: taro.yamada123@example.co.jp" and now and then ",090-1234-5678".
std::string AddressLine(std::mt19937& rng) {
    const std::size_t family = rng() % 8;
    const std::size_t given = rng() % 8;
    std::string line = "  ";
    line += kFamilyNames[family];
    line += ' ';
    line += kGivenNames[given];
    line += ": ";
    line += kRomanNames[given];
    line += '.';
    line += kRomanNames[family];
    line += std::to_string(rng() % 1000);
    line += "@example.co.jp";
    if (rng() % 3 == 0)
        line += ",090-" + std::to_string(1000 + rng() % 9000) + "-" +
                std::to_string(1000 + rng() % 9000);
    return line + "\r\n";
}

bool WriteBookFile(const std::filesystem::path& path) {
    std::ofstream out(path, std::ios::binary);
    std::mt19937 rng(20261209);
    for (std::size_t i = 0; i < kEntries; ++i) {
        if (i % kPerGroup == 0) {
            if (i > 0)
                out << "END GROUP\r\n";
            out << "GROUP \x95\x94\x8F\x90 " << i / kPerGroup << "\r\n";
        }
        out << AddressLine(rng);
    }
    out << "END GROUP\r\n";
    return static_cast<bool>(out);
}

// A field of /proc/self/status in KiB ("VmRSS", "VmHWM").
double StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::strtod(line.c_str() + prefix.size(), nullptr);
    }
    return -1;
}

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main() {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("bench_memory." + std::to_string(getpid()));
    if (!WriteBookFile(path))
        return 1;
    const auto bookBytes = static_cast<double>(std::filesystem::file_size(path));

    const double residentBefore = StatusKiB("VmRSS");
    EntryTree tree;
    {
        std::ifstream in(path, std::ios::binary);
        ReadBook(in, tree);
    }
    std::filesystem::remove(path);
    const double residentRead = StatusKiB("VmRSS");
    const double perEntry = (residentRead - residentBefore) * 1024 / kEntries;
    const double bookPerEntry = static_cast<double>(tree.MemoryBytes()) / kEntries;
    const auto start = std::chrono::steady_clock::now();
    tree.Clear();
    const double freeMs = MsSince(start);

    std::printf("book: %zu address entries in groups of %zu, %.1f MB\n", kEntries, kPerGroup,
                bookBytes / 1e6);
    std::printf("resident memory added by the book: %7.1f B per entry (target <= %.0f)%s\n",
                perEntry, kTargetBytesPerEntry, perEntry <= kTargetBytesPerEntry ? "" : "  MISSED");
    std::printf("book's own memory:                 %7.1f B per entry\n", bookPerEntry);
    std::printf("peak resident memory:              %7.1f MiB\n", StatusKiB("VmHWM") / 1024);
    std::printf("freeing the book:                  %7.2f ms\n", freeMs);
    return perEntry <= kTargetBytesPerEntry ? 0 : 3;
}
