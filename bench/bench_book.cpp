// Measures reading and writing a large book against floors that only move the same bytes:
// reading should stay within a small factor of copying the bytes out of the stream and
// counting lines, writing within a small factor of handing the same bytes over in one call.
#include "document/MemoryRelease.h"
#include "file/BookFormat.h"
#include "model/EntryTree.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <iterator>
#include <memory>
#include <ostream>
#include <random>
#include <streambuf>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kEntryCount = 1'000'000;
constexpr int kLeafDepth = 3;           // groups nest four deep: depths 0 to 3
constexpr int kSubgroups = 3;           // groups inside every group above the leaves
constexpr int kLeafEntries = 50;        // entries in a group at the deepest level
constexpr int kSeparatorEvery = 17;     // a separator now and then among a leaf's entries
constexpr std::size_t kChunk = 1 << 16; // the reader's default chunk size

// A CP932 name and the romanization its e-mail addresses use. Several second bytes are 0x5C.
struct Name {
    const char* cp932;
    const char* roman;
};

constexpr Name kFamilyNames[] = {
    {"\x8E\x52\x93\x63", "yamada"},    {"\x97\xE9\x96\xD8", "suzuki"},
    {"\x8D\xB2\x93\xA1", "sato"},      {"\x93\x63\x92\x86", "tanaka"},
    {"\x8D\x82\x8B\xB4", "takahashi"}, {"\x88\xC9\x93\xA1", "ito"},
    {"\x93\x6E\x95\xD3", "watanabe"},  {"\x92\x86\x91\xBA", "nakamura"},
    {"\x8F\xAC\x97\xD1", "kobayashi"}, {"\x89\xC1\x93\xA1", "kato"},
    {"\x8B\x67\x93\x63", "yoshida"},   {"\x8E\x52\x96\x7B", "yamamoto"},
    {"\x8F\xBC\x96\x7B", "matsumoto"}, {"\x88\xE4\x8F\xE3", "inoue"},
    {"\x96\xD8\x91\xBA", "kimura"},    {"\x94\x5C\x93\x6F", "noto"},
};

constexpr Name kGivenNames[] = {
    {"\x91\xBE\x98\x59", "taro"},         {"\x89\xD4\x8E\x71", "hanako"},
    {"\x88\xEA\x98\x59", "ichiro"},       {"\x82\xB3\x82\xAD\x82\xE7", "sakura"},
    {"\x82\xE4\x82\xAB", "yuki"},         {"\x8C\x92\x91\xBE", "kenta"},
    {"\x94\xFC\x8D\xE7", "misaki"},       {"\xE3\xC4", "sho"},
    {"\x97\x7A\x8E\x71", "yoko"},         {"\x91\xE5\x95\xE3", "daisuke"},
    {"\x83\x5C\x83\x45\x83\x5E", "sota"}, {"\x95\x5C\x8E\x71", "hyoko"},
};

constexpr const char* kGroupNames[] = {
    "\x89\x63\x8B\xC6\x95\x94", "\x8A\x4A\x94\xAD\x95\x94", "\x8E\xE6\x88\xF8\x90\xE6",
    "\x97\x46\x90\x6C",         "\x89\xC6\x91\xB0",         "\x93\xAF\x91\x8B\x89\xEF",
    "\x8C\xDA\x8B\x71",
};

constexpr const char* kMailDomains[] = {"example.co.jp", "example.ne.jp", "example.com",
                                        "mail.example.org"};

// Writes a book in exactly the form WriteBook produces, so reading it and writing it back
// gives the same bytes and every benchmark works on one byte string.
class BookGenerator {
public:
    std::string Generate(std::size_t entries) {
        left_ = entries;
        while (left_ > 0) {
            if (Pick(8) == 0)
                AddressLine(0);
            else
                GroupLines(0);
        }
        return std::move(text_);
    }

private:
    std::size_t Pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
    }

    void Indent(int depth) { text_.append(2 * static_cast<std::size_t>(depth), ' '); }

    void AppendNumber(unsigned value, int digits) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%0*u", digits, value);
        text_ += buffer;
    }

    void AddressLine(int depth) {
        --left_;
        const Name& family = kFamilyNames[Pick(std::size(kFamilyNames))];
        const Name& given = kGivenNames[Pick(std::size(kGivenNames))];
        Indent(depth);
        text_ += family.cp932;
        text_ += given.cp932;
        text_ += ": ";
        std::size_t addresses = 2 + Pick(3);
        for (std::size_t i = 0; i < addresses; ++i) {
            if (i > 0)
                text_ += ',';
            switch (i) {
            case 0:
            case 3:
                text_ += given.roman;
                text_ += '.';
                text_ += family.roman;
                AppendNumber(static_cast<unsigned>(Pick(1000)), 1);
                text_ += '@';
                text_ += kMailDomains[Pick(std::size(kMailDomains))];
                break;
            case 1:
                text_ += "090-";
                AppendNumber(static_cast<unsigned>(Pick(10000)), 4);
                text_ += '-';
                AppendNumber(static_cast<unsigned>(Pick(10000)), 4);
                break;
            default:
                text_ += "+81-3-";
                AppendNumber(static_cast<unsigned>(Pick(10000)), 4);
                text_ += '-';
                AppendNumber(static_cast<unsigned>(Pick(10000)), 4);
                break;
            }
        }
        text_ += "\r\n";
    }

    void SeparatorLine(int depth) {
        --left_;
        Indent(depth);
        text_ += "SEPARATOR\r\n";
    }

    void GroupLines(int depth) {
        --left_;
        Indent(depth);
        text_ += "GROUP ";
        text_ += kGroupNames[Pick(std::size(kGroupNames))];
        AppendNumber(static_cast<unsigned>(Pick(100)), 2);
        text_ += "\r\n";
        if (depth == kLeafDepth) {
            for (int i = 1; i <= kLeafEntries && left_ > 0; ++i) {
                if (i % kSeparatorEvery == 0)
                    SeparatorLine(depth + 1);
                else
                    AddressLine(depth + 1);
            }
        } else {
            for (int i = 0; i < kSubgroups && left_ > 0; ++i) {
                AddressLine(depth + 1);
                if (left_ > 0)
                    GroupLines(depth + 1);
            }
        }
        Indent(depth);
        text_ += "END GROUP\r\n";
    }

    std::mt19937_64 rng_{20240607};
    std::string text_;
    std::size_t left_ = 0;
};

// Serves a string's bytes to an istream without copying them first, as a file's buffer would.
class MemoryInput : public std::streambuf {
public:
    explicit MemoryInput(std::string_view bytes) {
        char* begin = const_cast<char*>(bytes.data()); // the get area is never written to
        setg(begin, begin, begin + bytes.size());
    }
};

// Accepts bytes by copying them into memory reserved up front, like a file's buffer would.
class CopySink : public std::streambuf {
public:
    explicit CopySink(std::size_t capacity) : data_(capacity) {}
    void Reset() { size_ = 0; }
    std::string_view Bytes() const { return {data_.data(), size_}; }

protected:
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        auto n = static_cast<std::size_t>(count);
        if (size_ + n > data_.size())
            data_.resize(2 * (size_ + n));
        std::memcpy(data_.data() + size_, bytes, n);
        size_ += n;
        return count;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        char byte = traits_type::to_char_type(c);
        xsputn(&byte, 1);
        return c;
    }

private:
    std::vector<char> data_;
    std::size_t size_ = 0;
};

std::string Serialize(const EntryTree& tree) {
    CopySink sink(0);
    std::ostream out(&sink);
    WriteBook(out, tree);
    return std::string(sink.Bytes());
}

[[noreturn]] void Die(const char* what) {
    std::fprintf(stderr, "bench_book: %s\n", what);
    std::exit(1);
}

// The large book, its tree and a copy of it on disk, made once for all benchmarks.
struct BookData {
    std::string bytes;
    EntryTree tree;
    std::filesystem::path file;

    BookData() {
        bytes = BookGenerator().Generate(kEntryCount);
        MemoryInput input(bytes);
        std::istream in(&input);
        ReadBook(in, tree);
        // Comparing with the floors is only fair when the book writes back to the same bytes.
        if (Serialize(tree) != bytes)
            Die("the generated book does not write back to the same bytes");

        file = std::filesystem::temp_directory_path() /
               ("tellwick_bench_" + std::to_string(::getpid()) + ".tlw");
        std::ofstream out(file, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush())
            Die("cannot write the book's temporary file");
    }
    ~BookData() {
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
    }
};

const BookData& Book() {
    static const BookData data;
    return data;
}

// Reads the stream into a fresh buffer of the given size, chunk by chunk, and counts line
// ends: the least any reader does with the bytes.
std::size_t CountLines(std::istream& in, std::size_t bufferSize) {
    std::unique_ptr<char[]> buffer(new char[bufferSize]); // left uninitialized, like fresh I/O
    std::size_t lines = 0;
    for (;;) {
        in.read(buffer.get(), static_cast<std::streamsize>(bufferSize));
        auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0)
            break;
        const char* p = buffer.get();
        const char* end = p + got;
        while ((p = static_cast<const char*>(
                    std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) != nullptr) {
            ++lines;
            ++p;
        }
    }
    return lines;
}

// Frees a tree outside the timed region. glibc merges the freed blocks later, at the next
// large allocation (the reader's buffer), so part of the freeing still lands in the next read.
void FreeUntimed(benchmark::State& state, std::unique_ptr<EntryTree>& tree) {
    state.PauseTiming();
    tree.reset();
    state.ResumeTiming();
}

void SetBytes(benchmark::State& state, std::size_t bytesPerIteration) {
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytesPerIteration));
}

// The floor for a streaming reader: the same chunk size ReadBook uses.
void BM_Floor_ReadAndCountLines(benchmark::State& state) {
    const BookData& book = Book();
    std::size_t lines = 0;
    for (auto _ : state) {
        MemoryInput input(book.bytes);
        std::istream in(&input);
        lines = CountLines(in, kChunk);
        benchmark::DoNotOptimize(lines);
    }
    SetBytes(state, book.bytes.size());
    state.counters["lines"] = static_cast<double>(lines);
}

// A looser floor: the whole book copied into fresh memory at once, page faults included.
void BM_Floor_ReadAllAndCountLines(benchmark::State& state) {
    const BookData& book = Book();
    for (auto _ : state) {
        MemoryInput input(book.bytes);
        std::istream in(&input);
        benchmark::DoNotOptimize(CountLines(in, book.bytes.size()));
    }
    SetBytes(state, book.bytes.size());
}

void BM_ReadBook(benchmark::State& state) {
    const BookData& book = Book();
    for (auto _ : state) {
        MemoryInput input(book.bytes);
        std::istream in(&input);
        auto tree = std::make_unique<EntryTree>();
        ReadBook(in, *tree);
        benchmark::DoNotOptimize(tree->first);
        FreeUntimed(state, tree); // freeing is measured by BM_ReadBookAndFree
    }
    SetBytes(state, book.bytes.size());
}

void BM_ReadBookAndFree(benchmark::State& state) {
    const BookData& book = Book();
    for (auto _ : state) {
        MemoryInput input(book.bytes);
        std::istream in(&input);
        EntryTree tree;
        ReadBook(in, tree);
        benchmark::DoNotOptimize(tree.first);
    }
    SetBytes(state, book.bytes.size());
}

void BM_WriteFloor(benchmark::State& state) {
    const BookData& book = Book();
    CopySink sink(book.bytes.size());
    std::ostream out(&sink);
    for (auto _ : state) {
        sink.Reset();
        out.write(book.bytes.data(), static_cast<std::streamsize>(book.bytes.size()));
        benchmark::DoNotOptimize(sink.Bytes().data());
    }
    SetBytes(state, book.bytes.size());
}

void BM_WriteBook(benchmark::State& state) {
    const BookData& book = Book();
    CopySink sink(book.bytes.size());
    std::ostream out(&sink);
    for (auto _ : state) {
        sink.Reset();
        WriteBook(out, book.tree);
        benchmark::DoNotOptimize(sink.Bytes().data());
    }
    if (sink.Bytes().size() != book.bytes.size())
        state.SkipWithError("WriteBook wrote a different number of bytes");
    SetBytes(state, book.bytes.size());
}

// A save goes to a file: the floor hands the finished bytes to a new file in one call.
std::filesystem::path WriteTarget() {
    return std::filesystem::temp_directory_path() /
           ("tellwick_bench_out_" + std::to_string(::getpid()) + ".tlw");
}

void BM_FileWriteFloor(benchmark::State& state) {
    const BookData& book = Book();
    const auto target = WriteTarget();
    for (auto _ : state) {
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out.write(book.bytes.data(), static_cast<std::streamsize>(book.bytes.size()));
        out.close();
    }
    std::filesystem::remove(target);
    SetBytes(state, book.bytes.size());
}

void BM_WriteBookToFile(benchmark::State& state) {
    const BookData& book = Book();
    const auto target = WriteTarget();
    for (auto _ : state) {
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        WriteBook(out, book.tree);
        out.close();
    }
    if (std::filesystem::file_size(target) != book.bytes.size())
        state.SkipWithError("WriteBook wrote a different number of bytes");
    std::filesystem::remove(target);
    SetBytes(state, book.bytes.size());
}

void BM_FileFloor_ReadAndCountLines(benchmark::State& state) {
    const BookData& book = Book();
    for (auto _ : state) {
        std::ifstream in(book.file, std::ios::binary);
        benchmark::DoNotOptimize(CountLines(in, kChunk));
    }
    SetBytes(state, book.bytes.size());
}

void BM_FileFloor_ReadAllAndCountLines(benchmark::State& state) {
    const BookData& book = Book();
    for (auto _ : state) {
        std::ifstream in(book.file, std::ios::binary);
        benchmark::DoNotOptimize(CountLines(in, book.bytes.size()));
    }
    SetBytes(state, book.bytes.size());
}

void BM_ReadBookFromFile(benchmark::State& state) {
    const BookData& book = Book();
    for (auto _ : state) {
        std::ifstream in(book.file, std::ios::binary);
        auto tree = std::make_unique<EntryTree>();
        ReadBook(in, *tree);
        benchmark::DoNotOptimize(tree->first);
        FreeUntimed(state, tree);
    }
    SetBytes(state, book.bytes.size());
}

// Every END GROUP here closes nothing; a reader that searches for the end of the top level
// after each one would take quadratic time.
void BM_ReadAlternatingEndGroup(benchmark::State& state) {
    constexpr std::size_t kPairs = 200'000;
    std::string bytes;
    for (std::size_t i = 0; i < kPairs; ++i)
        bytes += "x\r\nEND GROUP\r\n";
    {
        MemoryInput input(bytes);
        std::istream in(&input);
        EntryTree tree;
        ReadBook(in, tree);
        std::size_t topLevel = 0;
        for (const EntryNode* entry = tree.first; entry; entry = entry->next)
            ++topLevel;
        if (topLevel != kPairs) {
            state.SkipWithError("the entries did not all land at the top level");
            return;
        }
    }
    for (auto _ : state) {
        MemoryInput input(bytes);
        std::istream in(&input);
        auto tree = std::make_unique<EntryTree>();
        ReadBook(in, *tree);
        benchmark::DoNotOptimize(tree->first);
        FreeUntimed(state, tree);
    }
    SetBytes(state, bytes.size());
}

} // namespace

BENCHMARK(BM_Floor_ReadAndCountLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floor_ReadAllAndCountLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBook)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBookAndFree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteBook)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileWriteFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteBookToFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileFloor_ReadAndCountLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileFloor_ReadAllAndCountLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBookFromFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAlternatingEndGroup)->Unit(benchmark::kMillisecond);

// --window-memory: the book's blocks come from where the window takes them (huge pages),
// so that reading is measured as the window reads; the other flags are the benchmark's.
int main(int argc, char** argv) {
    std::vector<char*> flags;
    for (int i = 0; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--window-memory")
            UseHugePagesForBooks();
        else
            flags.push_back(argv[i]);
    }
    int count = static_cast<int>(flags.size());
    benchmark::Initialize(&count, flags.data());
    if (benchmark::ReportUnrecognizedArguments(count, flags.data()))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
