#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <sys/stat.h>

// File access for books and the files written beside them, on byte paths. Reading never
// blocks and takes regular files only; writing never replaces what it should not, never fills
// a disk, never leaves a half-written file behind, and keeps the owner, the group, the mode
// and the other names of the file it rewrites.

// Causes that have no errno value of their own.
constexpr int kNotRegularFileError = -1; // a FIFO, a device or a socket
constexpr int kUnreadableNameError = -2; // the name's bytes were lost before we got it

struct FileOutcome {
    int error = 0;              // 0, an errno value, or one of the codes above
    bool beforeWriting = false; // the file could not be created or opened for writing
    bool ok() const { return error == 0; }
};

// What a save does with a FIFO, a device or a socket found at the path.
enum class SpecialFiles {
    Refuse,        // kNotRegularFileError: a book is saved into files only
    WriteDirectly, // opened and written as they are, never replaced
};

// Opens a regular file (links followed) for reading. Returns the descriptor, or -1 with
// the cause in error. FIFOs and devices are refused without opening them for a read.
int OpenRegularFileForReading(const std::string& path, struct stat& info, int& error);

// Writes the whole content that write puts on the stream to path. size, when known, is
// the exact number of bytes and is checked against the free space before anything is
// written. Symbolic links are followed; their target is written. A file the user may not
// write is refused, though its folder would let it be replaced.
//
// The usual way is atomic: the content goes into a new file in the target's folder, which
// gets a name only once it is complete and synced and is then renamed over the target.
// Where the file system allows, that file has no name while it is written (O_TMPFILE), so a
// killed save leaves nothing; elsewhere its name ".tlw-PID-XXXXXX" carries the process id,
// and a later save into the folder removes such files of this user whose process is gone.
// Where replacing would lose what the user relies on (a folder the user may not write, a
// file with several names, an owner or group the user cannot give a new file), the file is
// rewritten in place instead, once the whole new content is in memory and fits; should that
// write fail, the old bytes are put back.
FileOutcome SaveFileSafely(const std::string& path, std::optional<std::uint64_t> size,
                           const std::function<void(std::ostream&)>& write,
                           SpecialFiles special = SpecialFiles::Refuse);

// The bytes free for the user on the file system holding folder; nullopt when unknown.
std::optional<std::uint64_t> FreeBytes(const std::string& folder);

// For tests: makes saves use named temporaries, as on a file system without O_TMPFILE.
void UseNamedTemporariesForTesting(bool named);
