#include "Document.h"

#include "IODeviceStreamBuf.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileResult Failure(FileResult::Status status, int error) {
    return {status, error};
}

} // namespace

DiskStamp DiskStamp::of(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {true, static_cast<qint64>(info.st_size),
            static_cast<qint64>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
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
    setTitle(path.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(path).fileName());
}

bool Document::onNewDocument() {
    deleteContents();
    setPathName({});
    stamp_ = {};
    setModifiedFlag(false);
    return true;
}

FileResult Document::openDocument(const QString& path) {
    if (QFileInfo(path).isDir())
        return Failure(FileResult::Status::OpenFailed, EISDIR);
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        return Failure(FileResult::Status::OpenFailed, errno);
    return loadFromDevice(file, path);
}

FileResult Document::loadFromDevice(QIODevice& device, const QString& path) {
    const DiskStamp stamp = DiskStamp::of(path);
    IODeviceStreamBuf buffer(device);
    std::istream in(&buffer);
    try {
        if (!device.isSequential() && device.size() == 0) {
            deleteContents();
        } else {
            Archive archive(in);
            serialize(archive);
        }
    } catch (const std::bad_alloc&) {
        return Failure(FileResult::Status::ReadFailed, ENOMEM);
    } catch (const std::exception&) {
        return Failure(FileResult::Status::ReadFailed, EIO);
    }
    setPathName(QFileInfo(path).absoluteFilePath());
    stamp_ = stamp;
    setModifiedFlag(false);
    return {};
}

FileResult Document::saveDocument(const QString& path) {
    if (QFileInfo(path).isDir())
        return Failure(FileResult::Status::CreateFailed, EISDIR);
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Failure(FileResult::Status::CreateFailed, errno);
    // QSaveFile makes the new file the saver's, and merges what the saver may do into the
    // owner's bits (root saving a 0444 file leaves 0644): take both from the file replaced.
    struct stat existing {};
    if (::stat(QFile::encodeName(path).constData(), &existing) == 0) {
        if (::fchown(file.handle(), existing.st_uid, existing.st_gid) != 0) {
            // Only root may give a file away; anyone else keeps owning what they save.
        }
        if (::fchmod(file.handle(), existing.st_mode & 0777) != 0) {
            const int error = errno;
            file.cancelWriting();
            return Failure(FileResult::Status::CreateFailed, error);
        }
    }
    IODeviceStreamBuf buffer(file);
    std::ostream out(&buffer);
    int writeError = 0;
    try {
        Archive archive(out);
        serialize(archive);
        out.flush();
        if (!out)
            writeError = errno ? errno : EIO;
    } catch (const std::bad_alloc&) {
        writeError = ENOMEM;
    } catch (const std::exception&) {
        writeError = errno ? errno : EIO;
    }
    if (writeError) {
        file.cancelWriting();
        return Failure(FileResult::Status::WriteFailed, writeError);
    }
    errno = 0;
    if (!file.commit())
        return Failure(FileResult::Status::WriteFailed, errno ? errno : EIO);
    setPathName(QFileInfo(path).absoluteFilePath());
    stamp_ = DiskStamp::of(path);
    setModifiedFlag(false);
    return {};
}

bool Document::fileChangedOnDisk() const {
    return !pathName_.isEmpty() && stamp_.exists && DiskStamp::of(pathName_) != stamp_;
}

void Document::sendInitialUpdate() {
    for (DocumentView* view : std::as_const(views_))
        view->onInitialUpdate();
}
