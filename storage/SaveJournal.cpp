#include "storage/SaveJournal.h"

#include "storage/FileBytes.h"
#include "storage/StateRecords.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kMagic[] = "tellwick rewrite 1\n";
constexpr char kRecordPrefix[] = "rewrite";

bool ReadFile(const std::string& path, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    const bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ReadWhole(fd, bytes) == 0;
    ::close(fd);
    return ok;
}

// Parses a whole record; false for one cut short or not a record at all.
bool Parse(const std::string& bytes, CutSave& save) {
    if (bytes.rfind(kMagic, 0) != 0)
        return false;
    std::istringstream header(bytes.substr(sizeof kMagic - 1, 64));
    std::size_t targetSize = 0, oldSize = 0, newSize = 0;
    if (!(header >> targetSize >> oldSize >> newSize))
        return false;
    const std::size_t start = bytes.find('\n', sizeof kMagic - 1);
    if (start == std::string::npos || bytes.size() - start - 1 != targetSize + oldSize + newSize)
        return false;
    save.target = bytes.substr(start + 1, targetSize);
    save.oldBytes = bytes.substr(start + 1 + targetSize, oldSize);
    save.newBytes = bytes.substr(start + 1 + targetSize + oldSize, newSize);
    return true;
}

} // namespace

std::string SaveRecordFolder() {
    return StateFolder("saves");
}

std::string BeginRewriteRecord(const std::string& target, const std::string& oldBytes,
                               const std::string& newBytes, int& error) {
    const std::string folder = SaveRecordFolder();
    if ((error = MakeFolders(folder)) != 0)
        return {};
    const std::string record = folder + '/' + NewRecordName(kRecordPrefix);
    const int fd = ::open(record.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = errno;
        return {};
    }
    const std::string header = kMagic + std::to_string(target.size()) + ' ' +
                               std::to_string(oldBytes.size()) + ' ' +
                               std::to_string(newBytes.size()) + '\n';
    off_t at = 0;
    const auto append = [&](const std::string& bytes) {
        const bool ok = WriteAll(fd, bytes.data(), bytes.size(), at);
        at += off_t(bytes.size());
        return ok;
    };
    const bool written = append(header) && append(target) && append(oldBytes) && append(newBytes) &&
                         ::fsync(fd) == 0;
    error = written ? 0 : (errno ? errno : EIO);
    ::close(fd);
    if (!written) {
        ::unlink(record.c_str());
        return {};
    }
    SyncFolder(folder);
    return record;
}

void EndRewriteRecord(const std::string& record) {
    ::unlink(record.c_str());
}

std::vector<CutSave> FindCutSaves() {
    std::vector<CutSave> cut;
    const std::string folder = SaveRecordFolder();
    const std::vector<std::string> names = LeftRecords(folder, kRecordPrefix);
    for (const std::string& name : names) {
        CutSave save;
        save.record = folder + '/' + name;
        std::string bytes;
        if (!ReadFile(save.record, bytes))
            continue;
        std::string now;
        // A record cut short was being written before the file's first byte changed.
        if (!Parse(bytes, save) ||
            (ReadFile(save.target, now) && (now == save.oldBytes || now == save.newBytes))) {
            ::unlink(save.record.c_str());
            continue;
        }
        cut.push_back(std::move(save));
    }
    return cut;
}

int PutBack(const CutSave& save, const std::string& bytes) {
    const int fd = ::open(save.target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat info {};
    int error = ::fstat(fd, &info) != 0 ? errno : S_ISREG(info.st_mode) ? 0 : EINVAL;
    if (!error)
        error = Overwrite(fd, bytes);
    ::close(fd);
    if (!error)
        Forget(save);
    return error;
}

void Forget(const CutSave& save) {
    ::unlink(save.record.c_str());
}
