#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Records this program keeps for the user under $XDG_STATE_HOME/tellwick (by default
// ~/.local/state/tellwick), one folder per kind, each record named PREFIX-PID-N after the
// process that owns it.

// The folder of one kind of record, such as "saves" or "recovery".
std::string StateFolder(const std::string& kind);
// Makes each missing folder of path with mode 0700; 0 or an errno value.
int MakeFolders(const std::string& path);
// Whether the process runs (a process of another user counts as running; one that ended
// and waits to be reaped does not).
bool ProcessRuns(pid_t pid);
// The pid in a record's name "PREFIX-PID-N", or 0 for a name of another kind.
pid_t OwnerOf(const std::string& name, const std::string& prefix);
// A name for a new record of this process: PREFIX-PID-N, N counting up.
std::string NewRecordName(const std::string& prefix);
// The names of the folder's records whose process is gone (this process's own excluded).
std::vector<std::string> LeftRecords(const std::string& folder, const std::string& prefix);
// Reads a regular file that this user owns and nobody else may read or write.
bool ReadPrivateFile(const std::string& path, std::string& bytes);
// Reads a regular file of at most limit bytes, whoever owns it.
bool ReadSmallFile(const std::string& path, std::size_t limit, std::string& bytes);
