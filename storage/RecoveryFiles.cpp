#include "storage/RecoveryFiles.h"

#include "storage/SafeFiles.h"
#include "storage/StateRecords.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>

namespace {

constexpr char kMagic[] = "tellwick recovery 1\n";
constexpr char kPrefix[] = "book";

std::string Encode(const RecoveryCopy& copy) {
    return kMagic + std::to_string(copy.path.size()) + ' ' + (copy.untitled ? "1" : "0") + ' ' +
           std::to_string(copy.savedAt) + ' ' + std::to_string(copy.book.size()) + '\n' +
           copy.path + copy.book;
}

bool Decode(const std::string& bytes, RecoveryCopy& copy) {
    if (bytes.rfind(kMagic, 0) != 0)
        return false;
    const std::size_t start = bytes.find('\n', sizeof kMagic - 1);
    if (start == std::string::npos)
        return false;
    std::istringstream header(bytes.substr(sizeof kMagic - 1, start - (sizeof kMagic - 1)));
    std::size_t pathSize = 0, bookSize = 0;
    int untitled = 0;
    if (!(header >> pathSize >> untitled >> copy.savedAt >> bookSize) || untitled < 0 ||
        untitled > 1 || bytes.size() - start - 1 != pathSize + bookSize)
        return false;
    copy.untitled = untitled == 1;
    copy.path = bytes.substr(start + 1, pathSize);
    copy.book = bytes.substr(start + 1 + pathSize);
    return true;
}

} // namespace

std::string RecoveryFolder() {
    return StateFolder("recovery");
}

std::string NewRecoveryFile() {
    return RecoveryFolder() + '/' + NewRecordName(kPrefix);
}

// The file is made 0600 before the safe write fills it, which keeps a file's mode.
int WriteRecoveryCopy(const std::string& file, const RecoveryCopy& copy) {
    if (const int error = MakeFolders(RecoveryFolder()))
        return error;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    ::close(fd);
    const std::string bytes = Encode(copy);
    const FileOutcome outcome = SaveFileSafely(file, bytes.size(), [&bytes](std::ostream& out) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    });
    return outcome.ok() ? 0 : outcome.error;
}

void RemoveRecoveryCopy(const std::string& file) {
    ::unlink(file.c_str());
}

std::vector<LeftRecovery> FindLeftRecoveries() {
    std::vector<LeftRecovery> left;
    const std::string folder = RecoveryFolder();
    for (const std::string& name : LeftRecords(folder, kPrefix)) {
        LeftRecovery recovery{folder + '/' + name, {}};
        std::string bytes;
        if (ReadPrivateFile(recovery.file, bytes) && Decode(bytes, recovery.copy))
            left.push_back(std::move(recovery));
    }
    std::sort(left.begin(), left.end(), [](const LeftRecovery& a, const LeftRecovery& b) {
        return a.copy.savedAt < b.copy.savedAt;
    });
    return left;
}
