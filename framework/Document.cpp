#include "Document.h"

#include "FileErrors.h"
#include "IODeviceStreamBuf.h"
#include "PathNames.h"
#include "SafeFiles.h"
#include "storage/FdStreamBuf.h"

#include <cerrno>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileResult Failure(FileResult::Status status, int error) {
    return {status, error};
}

FileResult ReadStream(std::istream& in, const std::function<void(std::istream&)>& read) {
    try {
        read(in);
    } catch (const std::bad_alloc&) {
        return Failure(FileResult::Status::ReadFailed, ENOMEM);
    } catch (const std::exception&) {
        return Failure(FileResult::Status::ReadFailed, EIO);
    }
    return {};
}

} // namespace

DiskStamp DiskStamp::of(const QString& path) {
    struct stat info {};
    if (::stat(EncodePathBytes(path).constData(), &info) != 0)
        return {};
    const auto nanoseconds = [](const timespec& time) {
        return static_cast<qint64>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
    };
    return {true,
            static_cast<qint64>(info.st_size),
            nanoseconds(info.st_mtim),
            nanoseconds(info.st_ctim),
            static_cast<quint64>(info.st_dev),
            static_cast<quint64>(info.st_ino)};
}

Document::Document(QObject* parent) : QObject(parent), title_(QStringLiteral("Untitled")) {}

void Document::setModifiedFlag(bool modified) {
    if (modified_ == modified)
        return;
    modified_ = modified;
    emit modifiedChanged(modified);
}

void Document::setTitle(const QString& title) {
    if (title_ == title)
        return;
    title_ = title;
    emit titleChanged(title);
}

void Document::setPathName(const QString& path) {
    pathName_ = path;
    const QString name = path.sliced(path.lastIndexOf(u'/') + 1);
    setTitle(path.isEmpty() ? QStringLiteral("Untitled") : DisplayPathName(name));
}

bool Document::onNewDocument() {
    deleteContents();
    setPathName({});
    stamp_ = {};
    setModifiedFlag(false);
    return true;
}

FileResult ReadRegularFile(const QString& path, const std::function<void(std::istream&)>& read) {
    struct stat info {};
    int error = 0;
    const int fd = OpenRegularFileForReading(EncodePathBytes(path), info, error);
    if (fd < 0) {
        // A name that lost bytes on its way here cannot be found; say why.
        if (error == ENOENT && HasLostPathBytes(path))
            error = kUnreadableNameError;
        return Failure(FileResult::Status::OpenFailed, error);
    }
    FdStreamBuf buffer(fd);
    std::istream in(&buffer);
    // Read to the end whatever size the file reports: files under /proc report none.
    FileResult result = ReadStream(in, read);
    if (result.status == FileResult::Status::ReadFailed && buffer.error() != 0)
        result.error = buffer.error();
    ::close(fd);
    return result;
}

FileResult Document::openDocument(const QString& path) {
    const DiskStamp stamp = DiskStamp::of(path);
    const FileResult result = ReadRegularFile(path, [this](std::istream& in) { load(in); });
    if (result.ok())
        takeLoadedFile(path, stamp);
    return result;
}

FileResult Document::loadFromDevice(QIODevice& device, const QString& path) {
    const DiskStamp stamp = DiskStamp::of(path);
    const FileResult result = loadDevice(device);
    if (result.ok())
        takeLoadedFile(path, stamp);
    return result;
}

FileResult Document::loadDevice(QIODevice& device) {
    IODeviceStreamBuf buffer(device);
    std::istream in(&buffer);
    return ReadStream(in, [this](std::istream& in) { load(in); });
}

FileResult Document::openRecovered(QIODevice& device, const QString& path) {
    const FileResult result = loadDevice(device);
    if (!result.ok())
        return result;
    // The file's present state is what the recovered changes are saved over.
    setPathName(path.isEmpty() ? QString() : AbsolutePathName(path));
    stamp_ = path.isEmpty() ? DiskStamp{} : DiskStamp::of(path);
    setModifiedFlag(true);
    onImported();
    return result;
}

void Document::load(std::istream& in) {
    Archive archive(in);
    serialize(archive);
}

void Document::takeLoadedFile(const QString& path, const DiskStamp& stamp) {
    setPathName(AbsolutePathName(path));
    stamp_ = stamp;
    setModifiedFlag(false);
}

FileResult Document::saveDocument(const QString& path) {
    if (path.isEmpty())
        return Failure(FileResult::Status::CreateFailed, ENOENT);
    const FileOutcome outcome =
        SaveFileSafely(EncodePathBytes(path), storedSize(), [this](std::ostream& out) {
            Archive archive(out);
            serialize(archive);
        });
    if (!outcome.ok()) {
        return Failure(outcome.beforeWriting ? FileResult::Status::CreateFailed
                                             : FileResult::Status::WriteFailed,
                       outcome.error);
    }
    setPathName(AbsolutePathName(path));
    stamp_ = DiskStamp::of(path);
    setModifiedFlag(false);
    onSaved();
    return {};
}

void Document::becomeImported() {
    setPathName({});
    stamp_ = {};
    setModifiedFlag(true);
    onImported();
}

bool Document::fileChangedOnDisk() const {
    return !pathName_.isEmpty() && stamp_.exists && DiskStamp::of(pathName_) != stamp_;
}

void Document::sendInitialUpdate() {
    for (DocumentView* view : std::as_const(views_))
        view->onInitialUpdate();
}
