#pragma once

#include "ContactImport.h"
#include "ContactRecord.h"
#include "file/RoundTrip.h"
#include "model/EntryTree.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// What one record held that a book cannot, collected while its text is fitted.
class RecordProblems {
public:
    // A character written as "?".
    void AddUnencodable(std::string_view character) { Add(character, unencodable_); }
    void AddMisplaced(std::string_view character) { Add(character, misplaced_); }
    // Lists what other problems list, counting nothing as replaced.
    void Include(const RecordProblems& other);
    bool Empty() const { return unencodable_.empty() && misplaced_.empty(); }
    // Characters written as "?" so far, every occurrence counted.
    std::size_t Replaced() const { return replaced_; }
    void AddReplaced(std::size_t count) { replaced_ += count; }
    std::string& Unencodable() { return unencodable_; }
    std::string& Misplaced() { return misplaced_; }

private:
    void Add(std::string_view character, std::string& list);
    void List(std::string_view character, std::string& list);

    std::unordered_set<std::string> seen_;
    std::string unencodable_;
    std::string misplaced_;
    std::size_t replaced_ = 0;
};

// The CP932 bytes of text for its place in a book line: leading blanks dropped where the
// book drops them, and every character the book cannot keep there recorded in problems and
// written as "?".
std::string BookText(std::string_view text, TextPlace place, RecordProblems& problems);

// Adds records to a tree as address entries, making each group path's groups once.
class ContactBuilder {
public:
    ContactBuilder(EntryTree& tree, bool replace, ImportReport& report)
        : tree_(tree), replace_(replace), report_(report) {}

    void Add(const ContactRecord& record);

private:
    // One group of the last path looked up: where its name ends in the path, and what its
    // name held that a book cannot (null when nothing).
    struct PathStep {
        std::size_t end;
        EntryNode* group;
        std::unique_ptr<RecordProblems> problems;
    };
    // A group by its parent and its name; the name views the group's own text.
    struct GroupKey {
        const EntryNode* parent;
        std::string_view name;
        bool operator==(const GroupKey&) const = default;
    };
    struct GroupKeyHash {
        std::size_t operator()(const GroupKey& key) const {
            return std::hash<std::string_view>()(key.name) * 31 +
                   std::hash<const EntryNode*>()(key.parent);
        }
    };

    EntryNode* GroupFor(std::string_view groupPath, RecordProblems& problems);
    std::size_t StepsSharedWith(std::string_view groupPath) const;
    EntryNode* FirstIn(const EntryNode* group) const;
    EntryNode* ExistingGroup(const EntryNode* parent, std::string_view name);
    EntryNode* GroupNamed(std::string_view piece, EntryNode* parent, std::size_t end,
                          RecordProblems& problems);
    void AppendTo(EntryNode* group, EntryNode* entry);
    void Report(const ContactRecord& record, RecordProblems& problems);

    EntryTree& tree_;
    bool replace_;
    ImportReport& report_;
    // The groups of every chain searched so far (null: the top level).
    std::unordered_map<GroupKey, EntryNode*, GroupKeyHash> groups_;
    std::unordered_set<const EntryNode*> indexedChains_;
    // The last entry of each chain of two or more entries (null key: the top level).
    std::unordered_map<const EntryNode*, EntryNode*> lastInChain_;
    // Records come in runs of one group, or of a group and its subgroups: the groups of the
    // last path are kept, so the names a path shares with it need no new look-up.
    std::string lastPath_;
    std::vector<PathStep> lastSteps_;
    // Kept from record to record, so that adding one allocates nothing here: the bytes of
    // the name and addresses that had to change, and views of what the entry gets.
    std::vector<std::string> bytes_;
    std::vector<std::string_view> addresses_;
};
