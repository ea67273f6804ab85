#pragma once

#include <QByteArray>

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <sys/stat.h>

// File access for books, on byte paths. Reading never blocks and takes regular files only;
// writing never replaces what it should not, never fills a disk, and keeps the owner, the
// group, the mode and the other names of the file it rewrites.

struct FileOutcome {
    int error = 0;              // 0, an errno value, or one of the codes of FileErrors.h
    bool beforeWriting = false; // the file could not be created or opened for writing
    bool ok() const { return error == 0; }
};

// Opens a regular file (links followed) for reading. Returns the descriptor, or -1 with
// the cause in error. FIFOs and devices are refused without opening them for a read.
int OpenRegularFileForReading(const QByteArray& path, struct stat& info, int& error);

// Writes the whole content that write puts on the stream to path. size, when known, is
// the exact number of bytes and is checked against the free space before anything is
// written. Symbolic links are followed; their target is written.
//
// The usual way is atomic: a temporary file beside the target, renamed over it. Where that
// would lose what the user relies on (a folder the user may not write, a file with several
// names, an owner or group the user cannot give a new file), the file is rewritten in
// place instead, once the whole new content is in memory and fits; should that write fail,
// the old bytes are put back.
FileOutcome SaveFileSafely(const QByteArray& path, std::optional<std::uint64_t> size,
                           const std::function<void(std::ostream&)>& write);

// The bytes free for the user on the file system holding folder; nullopt when unknown.
std::optional<std::uint64_t> FreeBytes(const QByteArray& folder);
