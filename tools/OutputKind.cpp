#include "OutputKind.h"

#include "ToolError.h"
#include "exchange/ContactFormats.h"

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Enough of a file to know its kind.
constexpr std::size_t kSniffBytes = 4096;

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return lowered;
}

std::optional<FileKind> KindByName(const std::string& path) {
    const std::string name = Lowered(path.substr(path.rfind('/') + 1));
    if (name.ends_with(".tlw"))
        return FileKind::Book;
    if (name.ends_with(".ldif"))
        return FileKind::Ldif;
    switch (ContactFormatForPath(name).value_or(ContactFormat::Ldif)) {
    case ContactFormat::VCard:
        return FileKind::VCard;
    case ContactFormat::Csv:
        return FileKind::Csv;
    case ContactFormat::Ldif:
        break;
    }
    return std::nullopt;
}

FileKind KindByContent(std::string_view start) {
    if (ContactFormatForText(start) == ContactFormat::VCard)
        return FileKind::VCard;
    if (start.find('\0') != std::string_view::npos)
        return FileKind::Other;
    if (start.starts_with("\xEF\xBB\xBF"))
        start.remove_prefix(3);
    const std::string firstLine = Lowered(start.substr(0, start.find_first_of("\r\n")));
    if (firstLine == "group,name,addresses")
        return FileKind::Csv;
    if (firstLine.starts_with("dn:"))
        return FileKind::Ldif;
    return FileKind::Book;
}

// The start of the regular file at path; nullopt when there is none to lose or it cannot be
// read (the write itself then says why it fails).
std::optional<std::string> StartOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::string();
    std::string bytes(kSniffBytes, '\0');
    const ssize_t got = ::read(fd, bytes.data(), bytes.size());
    ::close(fd);
    bytes.resize(got > 0 ? std::size_t(got) : 0);
    return bytes;
}

const char* Described(FileKind kind) {
    switch (kind) {
    case FileKind::Book:
        return "an address book";
    case FileKind::VCard:
        return "vCard contacts";
    case FileKind::Csv:
        return "CSV contacts";
    case FileKind::Ldif:
        return "LDIF contacts";
    case FileKind::Other:
        break;
    }
    return "something else";
}

} // namespace

void RefuseOtherKindOfFile(const std::string& path, FileKind written) {
    const std::optional<std::string> start = StartOf(path);
    if (!start)
        return;
    std::optional<FileKind> held = KindByName(path);
    if (held == written)
        held.reset();
    if (!held && !start->empty() && KindByContent(*start) != written)
        held = KindByContent(*start);
    if (held)
        throw ToolError(Quoted(path) + " holds " + Described(*held) + ", not " +
                        Described(written) + " (give --force to replace it)");
}
