#pragma once

#include <string>
#include <sys/types.h>

// A book open in a window is marked in use by small lock files naming who holds it: one in
// the user's private runtime folder, keyed by the book's device and inode (so every name of
// the book finds it), and one beside the book where its folder may be written, which other
// users' windows on a shared folder see too.
struct LockHolder {
    std::string user;
    std::string host;
    pid_t pid = 0;
};

// This process, as a lock names it.
LockHolder ThisProcess();
// The lock in folder for the file with that device and inode.
std::string RuntimeLockPath(const std::string& folder, dev_t device, ino_t inode);
// The hidden lock beside book: ".NAME.tellwick-lock" in the book's folder.
std::string SideLockPath(const std::string& book);
// False when there is no lock at path or it is not one.
bool ReadLock(const std::string& path, LockHolder& holder);
// Whether the holder is another window that still runs. A holder on another host cannot
// be asked, so it counts as running; on this host a process that is gone left a stale lock.
bool HeldByOther(const LockHolder& holder);
// Writes a lock naming this process, through the safe write; 0 or an errno value.
int WriteLock(const std::string& path);
// Removes the lock at path if it names this process.
void RemoveOwnLock(const std::string& path);
