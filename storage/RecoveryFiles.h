#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Copies of books with unsaved changes, kept while the window runs so that a crash, a kill
// or a power cut loses at most the last few seconds of work. Each copy records the book's
// path (bytes as the file system has them), whether the book was untitled, and when it was
// taken. They live in $XDG_STATE_HOME/tellwick/recovery (folder 0700, files 0600), named
// after the process that keeps them: a copy whose process is gone was left behind.
struct RecoveryCopy {
    std::string path; // empty for an untitled book
    bool untitled = false;
    std::int64_t savedAt = 0; // seconds since the epoch
    std::string book;         // the book's bytes as a save would write them
};

std::string RecoveryFolder();
// A new copy's file name in the folder, owned by this process.
std::string NewRecoveryFile();
// Writes the copy to file (a path from NewRecoveryFile) through the safe write, mode 0600.
// 0 or an errno value.
int WriteRecoveryCopy(const std::string& file, const RecoveryCopy& copy);
void RemoveRecoveryCopy(const std::string& file);

struct LeftRecovery {
    std::string file;
    RecoveryCopy copy;
};
// The copies whose process is gone, oldest first. Files of another user, readable by
// others, or not whole copies are left out.
std::vector<LeftRecovery> FindLeftRecoveries();
