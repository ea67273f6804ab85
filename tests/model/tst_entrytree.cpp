#include "model/EntryTree.h"
#include "tests/support/TreeScript.h"

#include <QtTest>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

EntryNode* Make(EntryTree& tree, const std::string& name, EntryKind kind = EntryKind::Address) {
    return tree.NewEntry(kind, name);
}
EntryNode* Group(EntryTree& tree, const std::string& name) {
    return Make(tree, name, EntryKind::Group);
}
std::string NameOf(const EntryNode* node) {
    return std::string(node->Name());
}

// The shape of the tree as text: "a,g{b,c},d"; also checks every link invariant on the way.
std::string Describe(const EntryTree& tree) {
    std::string out;
    std::vector<const EntryNode*> parents{nullptr};
    const EntryNode* prev = nullptr;
    for (const EntryNode* e = tree.first; e;) {
        if (e->parent != parents.back() || e->prev != prev)
            return "broken links at " + NameOf(e);
        if (prev && prev->next != e)
            return "broken next at " + NameOf(prev);
        if (!e->IsGroup() && e->firstChild)
            return "children under a non-group " + NameOf(e);
        out += NameOf(e);
        if (e->IsGroup()) {
            out += "{";
            if (e->firstChild) {
                parents.push_back(e);
                prev = nullptr;
                e = e->firstChild;
                continue;
            }
            out += "}";
        }
        while (!e->next && e->parent) {
            e = e->parent;
            parents.pop_back();
            out += "}";
        }
        prev = e;
        e = e->next;
        if (e)
            out += ",";
    }
    return out;
}

} // namespace

class TestEntryTree : public QObject {
    Q_OBJECT

private slots:
    void firstNodeIgnoresAnchorAndFlag() {
        EntryTree tree;
        EntryNode other;
        other.kind = EntryKind::Group;
        EntryNode* a = tree.AppendEntry(Make(tree, "a"), &other, true);
        QCOMPARE(tree.first, a);
        QVERIFY(!a->parent && !a->next && !a->prev);

        EntryTree tree2;
        EntryNode* b = tree2.InsertAfter(Make(tree2, "b"), &other);
        QCOMPARE(tree2.first, b);
        QVERIFY(!b->parent && !b->next && !b->prev);
    }

    void appendPlacesEntries() {
        EntryTree tree;
        EntryNode* g = tree.AppendEntry(Group(tree, "g"), nullptr, false);
        tree.AppendEntry(Make(tree, "x"), nullptr, false);
        EntryNode* b = tree.AppendEntry(Make(tree, "b"), g, true); // empty group: first child
        QCOMPARE(b->parent, g);
        tree.AppendEntry(Make(tree, "c"), g, true);  // after the last child
        tree.AppendEntry(Make(tree, "d"), b, false); // end of b's chain, not right after b
        tree.AppendEntry(Make(tree, "y"), nullptr, false);
        QCOMPARE(Describe(tree), std::string("g{b,c,d},x,y"));
    }

    void insertAfterLinksDirectlyBehindAnchor() {
        EntryTree tree;
        EntryNode* g = tree.AppendEntry(Group(tree, "g"), nullptr, false);
        EntryNode* a = tree.AppendEntry(Make(tree, "a"), g, true);
        EntryNode* z = tree.AppendEntry(Make(tree, "z"), g, false);
        tree.InsertAfter(Make(tree, "b"), a);                // middle of a chain
        EntryNode* s = tree.InsertAfter(Make(tree, "s"), g); // a group anchor gets a sibling
        EntryNode* last = tree.InsertAfter(Make(tree, "e"), z);
        tree.InsertAfter(Make(tree, "t"), nullptr);
        QCOMPARE(Describe(tree), std::string("g{a,b},s,z,e,t"));
        QVERIFY(!s->parent);
        QCOMPARE(NameOf(last->next), std::string("t"));
    }

    void insertCopyCopiesContentNotChildren() {
        EntryTree tree;
        EntryNode* g = tree.AppendEntry(Group(tree, "g"), nullptr, false);
        tree.AppendEntry(Make(tree, "child"), g, true);
        auto source = std::make_unique<EntryTree>();
        EntryNode* templ = source->NewEntry(EntryKind::Address, "n", Strings{"a1", "", "a3"});
        EntryNode* copy = tree.InsertCopyAfter(*templ, g);
        QVERIFY(copy != templ);
        // The copy's text is its own: the template's tree may go first.
        source.reset();
        QCOMPARE(copy->Addresses().ToStrings(), (Strings{"a1", "", "a3"}));
        QCOMPARE(Describe(tree), std::string("g{child},n"));

        // A template taken from the tree itself still makes an unlinked, childless copy.
        EntryNode* twin = tree.InsertCopyAfter(*g, nullptr);
        QCOMPARE(Describe(tree), std::string("g{child},n,g{}"));
        QVERIFY(!twin->firstChild && !twin->next);
        EntryNode* separator = tree.InsertCopyAfter(*tree.NewSeparator(), nullptr);
        QCOMPARE(separator->Name(), std::string_view(kSeparatorName));
    }

    void insertCopyIntoPutsTheCopyFirstInTheGroup() {
        EntryTree tree;
        EntryNode* g = tree.AppendEntry(Group(tree, "g"), nullptr, false);
        tree.InsertCopyInto(*Make(tree, "first"), g);
        QCOMPARE(Describe(tree), std::string("g{first}"));
        tree.InsertCopyInto(*Make(tree, "new"), g);
        QCOMPARE(Describe(tree), std::string("g{new,first}"));
    }

    // Names and addresses of any length and count come back as set, also after one of them
    // changes and when the other entries around them change too.
    void textKeepsEveryByteOfNamesAndAddresses() {
        EntryTree tree;
        const std::string longName(300, '\x82');
        const std::string huge(70000, 'x');
        const Strings many(200, "a@b");
        EntryNode* a = tree.AppendEntry(
            tree.NewEntry(EntryKind::Address, longName, Strings{huge, "", std::string(1, '\0')}),
            nullptr, false);
        EntryNode* b = tree.AppendEntry(tree.NewEntry(EntryKind::Address, "", many), a, false);
        EntryNode* c = tree.AppendEntry(tree.NewEntry(EntryKind::Address), a, false);
        QCOMPARE(NameOf(a), longName);
        QCOMPARE(a->Addresses().ToStrings(), (Strings{huge, "", std::string(1, '\0')}));
        QCOMPARE(a->Addresses().size(), std::size_t(3));
        QCOMPARE(a->Addresses()[1], std::string_view());
        QCOMPARE(b->Addresses().ToStrings(), many);
        QVERIFY(c->Name().empty() && c->Addresses().empty());

        tree.SetName(a, "short");
        QCOMPARE(NameOf(a), std::string("short"));
        QCOMPARE(a->Addresses()[0], std::string_view(huge));
        tree.SetAddresses(a, Strings{"one"});
        QCOMPARE(a->Addresses().ToStrings(), Strings{"one"});
        QCOMPARE(NameOf(a), std::string("short"));
        tree.SetName(c, longName);
        tree.SetAddresses(c, Strings{""});
        QCOMPARE(c->Addresses().size(), std::size_t(1)); // one empty address is not none
        QCOMPARE(b->Addresses().ToStrings(), many);
    }

    // Removed nodes are reused; what is still linked never changes under a new entry.
    void removedEntriesMakeRoomWithoutTouchingTheRest() {
        EntryTree tree;
        EntryNode* keep = tree.AppendEntry(Make(tree, "keep"), nullptr, false);
        EntryNode* g = tree.AppendEntry(Group(tree, "g"), nullptr, false);
        std::set<EntryNode*> freed{g};
        for (int i = 0; i < 20; ++i)
            freed.insert(tree.AppendEntry(Make(tree, std::to_string(i)), g, true));
        tree.RemoveEntry(g);
        for (int i = 0; i < 21; ++i)
            QVERIFY(freed.count(tree.AppendEntry(Make(tree, "new"), keep, false)) == 1);
        QVERIFY(freed.count(Make(tree, "more")) == 0);
        QCOMPARE(NameOf(keep), std::string("keep"));
        QCOMPARE(Describe(tree).substr(0, 9), std::string("keep,new,"));
        tree.Clear();
        QVERIFY(!tree.first);
        QCOMPARE(tree.MemoryBytes(), std::size_t(0));
        QCOMPARE(Describe(tree), std::string());
    }

    // Links are numbers of slots in memory shared by every tree: books spanning many blocks
    // keep their links while others come and go, reuse what a freed book gave back, and
    // take over a book's memory whole.
    void linksHoldAcrossBlocksAndBooks() {
        const auto fill = [](EntryTree& tree, const std::string& tag, int groups) {
            std::string shape;
            for (int g = 0; g < groups; ++g) {
                EntryNode* group = tree.AppendEntry(Group(tree, tag), nullptr, false);
                for (int i = 0; i < 1500; ++i)
                    tree.AppendEntry(Make(tree, tag), group, true);
            }
            return Describe(tree);
        };
        EntryTree a, b, c, scratch;
        const std::string shapeA = fill(a, "a", 12), shapeB = fill(b, "b", 3);
        for (int round = 0; round < 3; ++round) {
            fill(scratch, "s", 4);
            round % 2 ? scratch.Clear() : scratch.ClearForReuse();
        }
        const std::string shapeC = fill(c, "c", 12);
        a.Clear();
        const std::string moreB = fill(b, "b", 12);
        QCOMPARE(Describe(c), shapeC);
        b.TakeBookAfter(c, nullptr);
        c.Clear();
        fill(a, "a", 12);
        QCOMPARE(Describe(b), moreB + "," + shapeC);
        QVERIFY(shapeA.size() > 12 * 1500 * 2 && moreB.substr(0, shapeB.size()) == shapeB);
    }

    // Random runs of edits, each edit followed by checks of the links, of every entry's
    // text and of the written book read back; the sanitizer build also poisons what an edit
    // freed or replaced, so a stale read fails there.
    void randomEditsKeepTheBookWhole() {
        const std::string failure = PlayRandomScripts(100);
        QVERIFY2(failure.empty(), failure.c_str());
    }

    // A whole book taken into another keeps its order and subtrees, with the parents of
    // its top level set to where it lands; the source is left empty.
    void takesAWholeBookAtAnyPlace() {
        const auto book = [] {
            auto incoming = std::make_unique<EntryTree>();
            EntryNode* x = incoming->AppendEntry(Group(*incoming, "x"), nullptr, false);
            incoming->AppendEntry(Make(*incoming, "x1"), x, true);
            incoming->AppendEntry(Make(*incoming, "y"), nullptr, false);
            return incoming;
        };
        EntryTree tree;
        auto incoming = book();
        EntryNode* taken = tree.TakeBookAfter(*incoming, nullptr);
        QVERIFY(!incoming->first);
        QCOMPARE(taken, tree.first);
        QCOMPARE(Describe(tree), std::string("x{x1},y"));

        EntryNode* g = tree.AppendEntry(Group(tree, "g"), nullptr, false);
        EntryNode* a = tree.AppendEntry(Make(tree, "a"), g, true);
        tree.AppendEntry(Make(tree, "b"), a, false);
        incoming = book();
        tree.TakeBookAfter(*incoming, a);
        QCOMPARE(Describe(tree), std::string("x{x1},y,g{a,x{x1},y,b}"));
        incoming = book();
        tree.TakeBookInto(*incoming, g);
        QCOMPARE(Describe(tree), std::string("x{x1},y,g{x{x1},y,a,x{x1},y,b}"));
        incoming = book();
        tree.TakeBookAfter(*incoming, nullptr);
        QCOMPARE(Describe(tree), std::string("x{x1},y,g{x{x1},y,a,x{x1},y,b},x{x1},y"));
        EntryTree empty;
        QVERIFY(!tree.TakeBookAfter(empty, a) && !tree.TakeBookInto(empty, g));
        EntryNode* e = tree.AppendEntry(Group(tree, "e"), nullptr, false);
        incoming = book();
        tree.TakeBookInto(*incoming, e);
        QCOMPARE(Describe(tree), std::string("x{x1},y,g{x{x1},y,a,x{x1},y,b},x{x1},y,e{x{x1},y}"));
    }

    void moveToTopAndIntoGroups() {
        EntryTree tree;
        EntryNode* only = tree.AppendEntry(Make(tree, "a"), nullptr, false);
        tree.MoveEntry(only, nullptr);
        QCOMPARE(Describe(tree), std::string("a"));
        tree.MoveEntry(nullptr, only); // no-op

        EntryNode* g = tree.AppendEntry(Group(tree, "g"), nullptr, false);
        EntryNode* e = tree.AppendEntry(Group(tree, "e"), nullptr, false);
        EntryNode* b = tree.AppendEntry(Make(tree, "b"), g, true);
        EntryNode* c = tree.AppendEntry(Make(tree, "c"), b, false);
        EntryNode* d = tree.AppendEntry(Make(tree, "d"), b, false);
        QCOMPARE(Describe(tree), std::string("a,g{b,c,d},e{}"));

        tree.MoveEntry(b, e); // first child away: c becomes firstChild; e was empty
        QCOMPARE(g->firstChild, c);
        QCOMPARE(Describe(tree), std::string("a,g{c,d},e{b}"));
        tree.MoveEntry(d, nullptr); // last child away: c ends the chain
        QVERIFY(!c->next);
        QCOMPARE(Describe(tree), std::string("d,a,g{c},e{b}"));
        tree.MoveEntry(g, e); // a group with its subtree, first in the target group
        QCOMPARE(Describe(tree), std::string("d,a,e{g{c},b}"));
        tree.MoveEntry(d, b); // after a non-group target
        QCOMPARE(Describe(tree), std::string("a,e{g{c},b,d}"));
        tree.MoveEntry(tree.first, c);
        QCOMPARE(Describe(tree), std::string("e{g{c,a},b,d}"));
    }

    void swapExchangesContentAndChildren() {
        EntryTree tree;
        EntryNode* g = tree.AppendEntry(Group(tree, "g"), nullptr, false);
        EntryNode* x = tree.AppendEntry(Make(tree, "x"), nullptr, false);
        tree.SetAddresses(x, Strings{"x1", "x2"});
        EntryNode* c1 = tree.AppendEntry(Make(tree, "c1"), g, true);
        EntryNode* c2 = tree.AppendEntry(Make(tree, "c2"), c1, false);
        tree.SwapEntries(g, x);
        QCOMPARE(tree.first, g); // objects stay in place
        QCOMPARE(g->kind, EntryKind::Address);
        QCOMPARE(g->Addresses().ToStrings(), (Strings{"x1", "x2"}));
        QVERIFY(!g->firstChild);
        QCOMPARE(x->kind, EntryKind::Group);
        QVERIFY(x->Addresses().empty());
        QCOMPARE(NameOf(x), std::string("g"));
        QCOMPARE(x->firstChild, c1);
        QCOMPARE(c1->parent, x);
        QCOMPARE(c2->parent, x);
        QCOMPARE(Describe(tree), std::string("x,g{c1,c2}"));
    }

    void swapTwoGroupsExchangesSubtrees() {
        EntryTree tree;
        EntryNode* a = tree.AppendEntry(Group(tree, "a"), nullptr, false);
        EntryNode* b = tree.AppendEntry(Group(tree, "b"), nullptr, false);
        tree.AppendEntry(Make(tree, "a1"), a, true);
        EntryNode* b1 = tree.AppendEntry(Group(tree, "b1"), b, true);
        tree.AppendEntry(Make(tree, "b11"), b1, true);
        tree.SwapEntries(a, b);
        QCOMPARE(Describe(tree), std::string("b{b1{b11}},a{a1}"));
    }

    void removeUnlinksAndFreesSubtree() {
        EntryTree tree;
        EntryNode* a = tree.AppendEntry(Make(tree, "a"), nullptr, false);
        EntryNode* g = tree.AppendEntry(Group(tree, "g"), nullptr, false);
        EntryNode* b = tree.AppendEntry(Group(tree, "b"), g, true);
        tree.AppendEntry(Make(tree, "c"), b, true);
        EntryNode* d = tree.AppendEntry(Make(tree, "d"), b, false);
        tree.RemoveEntry(a);
        QCOMPARE(tree.first, g);
        tree.RemoveEntry(b); // first child with children: d becomes the head
        QCOMPARE(g->firstChild, d);
        QVERIFY(!d->prev);
        QCOMPARE(Describe(tree), std::string("g{d}"));
        tree.RemoveEntry(nullptr);
        tree.RemoveEntry(g);
        QVERIFY(!tree.first);
        tree.Clear(); // on an empty tree
        QVERIFY(!tree.first);
    }

    void deepAndWideTreesFreeWithoutRecursion() {
        EntryTree tree;
        EntryNode* anchor = nullptr;
        for (int i = 0; i < 1'000'000; ++i)
            anchor = tree.AppendEntry(Group(tree, "g"), anchor, anchor != nullptr);
        EntryNode* top = tree.first;
        tree.AppendEntry(Make(tree, "after"), top, false);
        tree.RemoveEntry(top);
        QCOMPARE(Describe(tree), std::string("after"));

        for (int i = 0; i < 1'000'000; ++i)
            anchor = tree.AppendEntry(Group(tree, "g"), i ? anchor : tree.first, i != 0);
        tree.Clear();
        QVERIFY(!tree.first);
    }
};

QTEST_APPLESS_MAIN(TestEntryTree)
#include "tst_entrytree.moc"
