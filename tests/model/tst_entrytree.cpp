#include "model/EntryTree.h"

#include <QtTest>

#include <memory>
#include <string>
#include <vector>

namespace {

EntryNode* Make(const std::string& name, EntryKind kind = EntryKind::Address) {
    auto* node = new EntryNode;
    node->name = name;
    node->kind = kind;
    return node;
}
EntryNode* Group(const std::string& name) {
    return Make(name, EntryKind::Group);
}

// The shape of the tree as text: "a,g{b,c},d"; also checks every link invariant on the way.
std::string Describe(const EntryTree& tree) {
    std::string out;
    std::vector<const EntryNode*> parents{nullptr};
    const EntryNode* prev = nullptr;
    for (const EntryNode* e = tree.first; e;) {
        if (e->parent != parents.back() || e->prev != prev)
            return "broken links at " + e->name;
        if (prev && prev->next != e)
            return "broken next at " + prev->name;
        if (!e->IsGroup() && e->firstChild)
            return "children under a non-group " + e->name;
        out += e->name;
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
        EntryNode* a = tree.AppendEntry(Make("a"), &other, true);
        QCOMPARE(tree.first, a);
        QVERIFY(!a->parent && !a->next && !a->prev);

        EntryTree tree2;
        EntryNode* b = tree2.InsertAfter(Make("b"), &other);
        QCOMPARE(tree2.first, b);
        QVERIFY(!b->parent && !b->next && !b->prev);
    }

    void appendPlacesEntries() {
        EntryTree tree;
        EntryNode* g = tree.AppendEntry(Group("g"), nullptr, false);
        tree.AppendEntry(Make("x"), nullptr, false);
        EntryNode* b = tree.AppendEntry(Make("b"), g, true); // empty group: first child
        QCOMPARE(b->parent, g);
        tree.AppendEntry(Make("c"), g, true);  // after the last child
        tree.AppendEntry(Make("d"), b, false); // end of b's chain, not right after b
        tree.AppendEntry(Make("y"), nullptr, false);
        QCOMPARE(Describe(tree), std::string("g{b,c,d},x,y"));
    }

    void insertAfterLinksDirectlyBehindAnchor() {
        EntryTree tree;
        EntryNode* g = tree.AppendEntry(Group("g"), nullptr, false);
        EntryNode* a = tree.AppendEntry(Make("a"), g, true);
        EntryNode* z = tree.AppendEntry(Make("z"), g, false);
        tree.InsertAfter(Make("b"), a);                // middle of a chain
        EntryNode* s = tree.InsertAfter(Make("s"), g); // a group anchor gets a sibling
        EntryNode* last = tree.InsertAfter(Make("e"), z);
        tree.InsertAfter(Make("t"), nullptr);
        QCOMPARE(Describe(tree), std::string("g{a,b},s,z,e,t"));
        QVERIFY(!s->parent);
        QCOMPARE(last->next->name, std::string("t"));
    }

    void insertCopyCopiesContentNotChildren() {
        EntryTree tree;
        EntryNode* g = tree.AppendEntry(Group("g"), nullptr, false);
        tree.AppendEntry(Make("child"), g, true);
        EntryNode templ;
        templ.name = "n";
        templ.addresses = {"a1", "", "a3"};
        EntryNode* copy = tree.InsertCopyAfter(templ, g);
        QVERIFY(copy != &templ);
        QCOMPARE(copy->addresses, (std::vector<std::string>{"a1", "", "a3"}));
        QCOMPARE(Describe(tree), std::string("g{child},n"));

        // A template taken from the tree itself still makes an unlinked, childless copy.
        EntryNode* twin = tree.InsertCopyAfter(*g, nullptr);
        QCOMPARE(Describe(tree), std::string("g{child},n,g{}"));
        QVERIFY(!twin->firstChild && !twin->next);

        EntryNode* raw = EntryTree::CopyEntry(*g);
        // Links copied, children shared, not cloned.
        QCOMPARE(raw->firstChild, g->firstChild);
        QCOMPARE(raw->next, g->next);
        QCOMPARE(raw->prev, g->prev);
        QCOMPARE(raw->parent, g->parent);
        QCOMPARE(raw->name, g->name);
        delete raw;
    }

    void insertCopyIntoPutsTheCopyFirstInTheGroup() {
        EntryTree tree;
        EntryNode* g = tree.AppendEntry(Group("g"), nullptr, false);
        EntryNode templ;
        templ.name = "first";
        tree.InsertCopyInto(templ, g);
        QCOMPARE(Describe(tree), std::string("g{first}"));
        templ.name = "new";
        tree.InsertCopyInto(templ, g);
        QCOMPARE(Describe(tree), std::string("g{new,first}"));
    }

    // A whole book taken into another keeps its order and subtrees, with the parents of
    // its top level set to where it lands; the source is left empty.
    void takesAWholeBookAtAnyPlace() {
        const auto book = [] {
            auto incoming = std::make_unique<EntryTree>();
            EntryNode* x = incoming->AppendEntry(Group("x"), nullptr, false);
            incoming->AppendEntry(Make("x1"), x, true);
            incoming->AppendEntry(Make("y"), nullptr, false);
            return incoming;
        };
        EntryTree tree;
        auto incoming = book();
        EntryNode* taken = tree.TakeBookAfter(*incoming, nullptr);
        QVERIFY(!incoming->first);
        QCOMPARE(taken, tree.first);
        QCOMPARE(Describe(tree), std::string("x{x1},y"));

        EntryNode* g = tree.AppendEntry(Group("g"), nullptr, false);
        EntryNode* a = tree.AppendEntry(Make("a"), g, true);
        tree.AppendEntry(Make("b"), a, false);
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
        EntryNode* e = tree.AppendEntry(Group("e"), nullptr, false);
        incoming = book();
        tree.TakeBookInto(*incoming, e);
        QCOMPARE(Describe(tree), std::string("x{x1},y,g{x{x1},y,a,x{x1},y,b},x{x1},y,e{x{x1},y}"));
    }

    void moveToTopAndIntoGroups() {
        EntryTree tree;
        EntryNode* only = tree.AppendEntry(Make("a"), nullptr, false);
        tree.MoveEntry(only, nullptr);
        QCOMPARE(Describe(tree), std::string("a"));
        tree.MoveEntry(nullptr, only); // no-op

        EntryNode* g = tree.AppendEntry(Group("g"), nullptr, false);
        EntryNode* e = tree.AppendEntry(Group("e"), nullptr, false);
        EntryNode* b = tree.AppendEntry(Make("b"), g, true);
        EntryNode* c = tree.AppendEntry(Make("c"), b, false);
        EntryNode* d = tree.AppendEntry(Make("d"), b, false);
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
        EntryNode* g = tree.AppendEntry(Group("g"), nullptr, false);
        EntryNode* x = tree.AppendEntry(Make("x"), nullptr, false);
        x->addresses = {"x1", "x2"};
        EntryNode* c1 = tree.AppendEntry(Make("c1"), g, true);
        EntryNode* c2 = tree.AppendEntry(Make("c2"), c1, false);
        tree.SwapEntries(g, x);
        QCOMPARE(tree.first, g); // objects stay in place
        QCOMPARE(g->kind, EntryKind::Address);
        QCOMPARE(g->addresses, (std::vector<std::string>{"x1", "x2"}));
        QVERIFY(!g->firstChild);
        QCOMPARE(x->kind, EntryKind::Group);
        QVERIFY(x->addresses.empty());
        QCOMPARE(x->firstChild, c1);
        QCOMPARE(c1->parent, x);
        QCOMPARE(c2->parent, x);
        QCOMPARE(Describe(tree), std::string("x,g{c1,c2}"));
    }

    void swapTwoGroupsExchangesSubtrees() {
        EntryTree tree;
        EntryNode* a = tree.AppendEntry(Group("a"), nullptr, false);
        EntryNode* b = tree.AppendEntry(Group("b"), nullptr, false);
        tree.AppendEntry(Make("a1"), a, true);
        EntryNode* b1 = tree.AppendEntry(Group("b1"), b, true);
        tree.AppendEntry(Make("b11"), b1, true);
        tree.SwapEntries(a, b);
        QCOMPARE(Describe(tree), std::string("b{b1{b11}},a{a1}"));
    }

    void removeUnlinksAndFreesSubtree() {
        EntryTree tree;
        EntryNode* a = tree.AppendEntry(Make("a"), nullptr, false);
        EntryNode* g = tree.AppendEntry(Group("g"), nullptr, false);
        EntryNode* b = tree.AppendEntry(Group("b"), g, true);
        tree.AppendEntry(Make("c"), b, true);
        EntryNode* d = tree.AppendEntry(Make("d"), b, false);
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
            anchor = tree.AppendEntry(Group("g"), anchor, anchor != nullptr);
        EntryNode* top = tree.first;
        tree.AppendEntry(Make("after"), top, false);
        tree.RemoveEntry(top);
        QCOMPARE(Describe(tree), std::string("after"));

        for (int i = 0; i < 1'000'000; ++i)
            anchor = tree.AppendEntry(Group("g"), i ? anchor : tree.first, i != 0);
        tree.Clear();
        QVERIFY(!tree.first);
    }
};

QTEST_APPLESS_MAIN(TestEntryTree)
#include "tst_entrytree.moc"
