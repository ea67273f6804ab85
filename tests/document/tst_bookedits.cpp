// The edit layer's history: undo and redo give back the book byte for byte, whatever ran
// before, and what the history keeps apart is bounded and freed when it goes.
#include "document/BookEdits.h"
#include "file/BookFormat.h"

#include <QSignalSpy>
#include <QTest>

#include <random>
#include <sstream>

namespace {

std::string Bytes(const EntryTree& tree) {
    std::ostringstream out;
    WriteBook(out, tree);
    return out.str();
}

// Every linked entry in tree order.
std::vector<EntryNode*> Entries(const EntryTree& tree) {
    std::vector<EntryNode*> entries;
    std::vector<EntryNode*> pending{tree.first};
    while (!pending.empty()) {
        EntryNode* entry = pending.back();
        pending.pop_back();
        if (!entry)
            continue;
        entries.push_back(entry);
        pending.push_back(entry->next);
        pending.push_back(entry->firstChild);
    }
    return entries;
}

bool Inside(const EntryNode* entry, const EntryNode* group) {
    for (; entry; entry = entry->parent) {
        if (entry == group)
            return true;
    }
    return false;
}

// Random edits, undos and redos on one book, checked against the book's bytes as each edit
// left them: an undo or a redo must land exactly on one of those states.
class Session {
public:
    explicit Session(unsigned seed) : rng_(seed) { states_.push_back(Bytes(tree_)); }

    // Empty when every state matched; else what went wrong, and when.
    std::string play(int moves) {
        for (int move = 0; move < moves; ++move) {
            const unsigned roll = rng_() % 10;
            if (roll == 0 || roll == 1)
                undo();
            else if (roll == 2)
                redo();
            else
                edit();
            if (Bytes(tree_) != states_[done_])
                return "move " + std::to_string(move) + " (" + std::to_string(roll) +
                       "): the book is not the state it should be";
        }
        while (edits_.canUndo())
            undo();
        if (Bytes(tree_) != states_.front())
            return "undoing everything did not give the first book back";
        while (edits_.canRedo())
            redo();
        if (Bytes(tree_) != states_.back())
            return "redoing everything did not give the last book back";
        return {};
    }

    BookEdits& edits() { return edits_; }

private:
    void undo() {
        if (done_ > 0) {
            edits_.undo();
            --done_;
        }
    }
    void redo() {
        if (done_ + 1 < states_.size()) {
            edits_.redo();
            ++done_;
        }
    }

    EntryNode* pick(const std::vector<EntryNode*>& entries) {
        return entries.empty() ? nullptr : entries[rng_() % entries.size()];
    }

    std::string text() { return "n" + std::to_string(rng_() % 1000); }

    EntryNode* newEntry() {
        switch (rng_() % 3) {
        case 0:
            return edits_.newSeparator();
        case 1:
            return edits_.newEntry(EntryKind::Group);
        default:
            return edits_.newEntry(EntryKind::Address);
        }
    }

    // One step of one to three changes, as a command or a drop makes them.
    void edit() {
        bool made = false;
        const QMetaObject::Connection told =
            QObject::connect(&edits_, &BookEdits::bookChanged, [&made] { made = true; });
        {
            const auto step = edits_.beginStep(QStringLiteral("edit"));
            for (unsigned changes = rng_() % 3 + 1; changes > 0; --changes)
                change(Entries(tree_));
        }
        QObject::disconnect(told);
        if (!made)
            return; // nothing changed, so no step
        states_.resize(done_ + 1);
        states_.push_back(Bytes(tree_));
        ++done_;
    }

    void change(const std::vector<EntryNode*>& entries) {
        EntryNode* entry = pick(entries);
        EntryNode* other = pick(entries);
        switch (rng_() % 7) {
        case 0:
            if (entry && entry->kind != EntryKind::Separator)
                edits_.setName(entry, text());
            break;
        case 1:
            if (entry && entry->kind == EntryKind::Address) {
                const std::vector<std::string> addresses{text(), text()};
                edits_.setText(entry, text(), addresses);
            }
            break;
        case 2:
            if (entry && (!other || !Inside(other, entry)))
                edits_.moveEntry(entry, other);
            break;
        case 3:
            if (entry && entry->next)
                edits_.swapEntries(entry, entry->next);
            break;
        case 4:
            if (entry)
                edits_.removeEntry(entry);
            break;
        case 5:
            takeBook(other);
            break;
        default: {
            EntryNode* fresh = newEntry();
            if (other && other->IsGroup() && rng_() % 2)
                edits_.moveEntry(fresh, other);
            else
                edits_.insertAfter(fresh, other);
        }
        }
    }

    void takeBook(EntryNode* at) {
        EntryTree other;
        EntryNode* last = nullptr;
        for (unsigned count = rng_() % 3 + 1; count > 0; --count) {
            EntryNode* group = other.NewEntry(EntryKind::Group, text());
            other.InsertAfter(group, last);
            other.AppendEntry(other.NewEntry(EntryKind::Address, text()), group, true);
            last = group;
        }
        if (at && at->IsGroup() && rng_() % 2)
            edits_.takeBookInto(other, at);
        else
            edits_.takeBookAfter(other, at);
    }

    std::mt19937 rng_;
    EntryTree tree_;
    BookEdits edits_{tree_};
    std::vector<std::string> states_; // the book after each edit of the surviving history
    std::size_t done_ = 0;
};

} // namespace

class TestBookEdits : public QObject {
    Q_OBJECT

private slots:
    void randomSessionsLandOnTheStatesEditsMade() {
        for (unsigned seed = 1; seed <= 40; ++seed) {
            Session session(seed);
            const std::string failure = session.play(400);
            QVERIFY2(failure.empty(), ("seed " + std::to_string(seed) + ": " + failure).c_str());
        }
    }

    // The clean state follows saves through undo and redo, and a state undone past a save
    // and then edited away can never be clean again.
    void cleanFollowsTheSavedState() {
        EntryTree tree;
        BookEdits edits(tree);
        QSignalSpy clean(&edits, &BookEdits::cleanChanged);
        const auto insert = [&] { edits.insertAfter(edits.newSeparator(), tree.first); };
        insert();
        insert();
        edits.markSaved();
        QVERIFY(edits.isClean());
        edits.undo();
        QVERIFY(!edits.isClean());
        edits.redo();
        QVERIFY(edits.isClean());
        edits.undo();
        insert(); // the saved state is now out of reach
        edits.undo();
        edits.undo();
        QVERIFY(!edits.isClean());
        edits.forget(false);
        QVERIFY(!edits.isClean());
        edits.forget(true);
        QVERIFY(edits.isClean());
        QCOMPARE(clean.count(), 5);
    }

    // An empty step is no step; a step's changes undo as one, named as it was begun.
    void stepsGroupChanges() {
        EntryTree tree;
        BookEdits edits(tree);
        { const auto nothing = edits.beginStep(QStringLiteral("無")); }
        QCOMPARE(edits.stepCount(), 0u);
        {
            const auto step = edits.beginStep(QStringLiteral("移動"));
            const auto inner = edits.beginStep(QStringLiteral("inner"));
            edits.insertAfter(edits.newEntry(EntryKind::Group), nullptr);
            edits.insertAfter(edits.newSeparator(), tree.first);
        }
        QCOMPARE(edits.stepCount(), 1u);
        QCOMPARE(edits.undoName(), QStringLiteral("移動"));
        edits.undo();
        QVERIFY(!tree.first);
        QCOMPARE(edits.redoName(), QStringLiteral("移動"));
    }

    // Beyond the bounds the oldest steps go, with the entries only they kept; the newest
    // step stays whatever it holds.
    void historyIsBounded() {
        EntryTree tree;
        BookEdits edits(tree);
        edits.setLimits(5, 100);
        for (int i = 0; i < 8; ++i)
            edits.insertAfter(edits.newSeparator(), nullptr);
        QCOMPARE(edits.stepCount(), 5u);
        EntryNode* group = edits.newEntry(EntryKind::Group);
        edits.insertAfter(group, nullptr);
        for (int i = 0; i < 150; ++i)
            tree.AppendEntry(tree.NewSeparator(), group, true);
        edits.removeEntry(group);
        QCOMPARE(edits.keptEntries(), 151u);
        QCOMPARE(edits.stepCount(), 1u);
        edits.insertAfter(edits.newSeparator(), nullptr);
        QCOMPARE(edits.stepCount(), 1u); // the group's step went, and its entries were freed
        QCOMPARE(edits.keptEntries(), 0u);
        edits.undo();
        QCOMPARE(Entries(tree).size(), 8u);
    }
};

QTEST_GUILESS_MAIN(TestBookEdits)
#include "tst_bookedits.moc"
