#pragma once

#include <string>
#include <vector>

// A file rewritten in place (a book with several names, or in a folder the user may not
// write) has no copy to fall back on while its bytes change. So, before its first byte is
// overwritten, both its old and its new content are written and synced to a record of this
// user's; the record goes once the rewrite is complete. A record found later means the save
// was cut: the file may hold neither content, and either can be put back whole.

// A save that was cut, as its record tells it.
struct CutSave {
    std::string record; // the record's own path
    std::string target; // the file that was being rewritten
    std::string oldBytes;
    std::string newBytes;
};

// The folder of the records: $XDG_STATE_HOME/tellwick/saves, by default
// ~/.local/state/tellwick/saves.
std::string SaveRecordFolder();

// Writes and syncs the record of a rewrite of target. Its path, or empty with the errno value
// in error when it could not be written (then the rewrite must not start).
std::string BeginRewriteRecord(const std::string& target, const std::string& oldBytes,
                               const std::string& newBytes, int& error);
// The rewrite is complete: the record goes.
void EndRewriteRecord(const std::string& record);

// The saves that were cut. A record whose file holds its old or its new content whole is
// removed on the way (the rewrite had not begun, or had ended); so is one cut short itself,
// since its file was not touched yet. Records of processes still running are left alone.
std::vector<CutSave> FindCutSaves();

// Puts bytes (the old or the new content) back into the cut save's file in place, and then
// removes the record. 0, or an errno value with the record kept.
int PutBack(const CutSave& save, const std::string& bytes);
// Removes the record without touching the file.
void Forget(const CutSave& save);
