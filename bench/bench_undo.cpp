// Undo at scale, in the window. Deleting a group of 1,000,000 entries and undoing it must each
// cost no more than deleting it did when the delete freed the entries: that delete is the
// same window work plus freeing the group, timed here on a copy of the book. Then 1,000
// single inserts in a list of 100,000 rows, undone one by one. Medians of 5.
#include "BigBookWindow.h"
#include "document/TellwickDoc.h"
#include "framework/CommandRouter.h"
#include "framework/StandardCommands.h"
#include "views/Commands.h"
#include "views/EntryListModel.h"
#include "views/TlwListView.h"
#include "views/TlwTreeView.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kRepetitions = 5;
constexpr int kSingleEdits = 1'000;

} // namespace

int main(int argc, char* argv[]) {
    UseOffscreenPlatformUnlessSet();
    QApplication qapp(argc, argv);
    BigBookWindow window;
    if (!window.open())
        return 1;
    CTellwickApp& app = window.app;
    const QString& book = window.book;
    CTellwickDoc& doc = app.document();
    CTlwTreeView& tree = app.treePane();
    bool allRan = true;
    const auto run = [&](int command) { allRan = window.run(command) && allRan; };
    EntryNode* huge = doc.tree.first->next;
    const auto selectHuge = [&] {
        tree.setFocus();
        tree.setCurrentItem(tree.findGroupItem(huge));
        QCoreApplication::processEvents();
    };

    // The old delete's own part: freeing the group's entries, on a copy of the book.
    auto copy = std::make_unique<EntryTree>();
    const double freeMs = MedianMs(
        kRepetitions, [&] { copy->RemoveEntry(copy->first->next); },
        [&] {
            copy = std::make_unique<EntryTree>();
            allRan = CTellwickDoc::ReadOtherBook(book, *copy).ok() && allRan;
        });
    copy.reset();

    std::vector<double> deleteMs, undoMs, redoMs;
    for (int i = 0; i < kRepetitions; ++i) {
        selectHuge();
        deleteMs.push_back(TimedMs([&] { run(ID_DELETE); }));
        undoMs.push_back(TimedMs([&] { run(ID_EDIT_UNDO); }));
        redoMs.push_back(TimedMs([&] { run(ID_EDIT_REDO); }));
        run(ID_EDIT_UNDO);
    }
    // What the undo's view costs: the list shows the million rows it showed before the step.
    const double showMs = MedianMs(
        kRepetitions, [&] { selectHuge(); },
        [&] {
            tree.setCurrentItem(tree.rootItem());
            QCoreApplication::processEvents();
        });
    const double oldDeleteMs = Median(deleteMs) + freeMs;
    std::printf("delete the 1,000,000-entry group        %8.1f ms\n", Median(deleteMs));
    std::printf("undo that delete                        %8.1f ms\n", Median(undoMs));
    std::printf("  of which showing its 1,000,000 rows     %7.1f ms\n", showMs);
    std::printf("redo it                                 %8.1f ms\n", Median(redoMs));
    std::printf("the delete that freed the group (before) %7.1f ms\n", oldDeleteMs);
    const bool met = Median(undoMs) <= oldDeleteMs && Median(deleteMs) <= oldDeleteMs;
    std::printf("undo / old delete: %.2f  %s\n", Median(undoMs) / oldDeleteMs, met ? "ok" : "SLOW");

    // Single inserts mid-list in the 100,000-entry group, then every one undone.
    tree.setCurrentItem(tree.findGroupItem(doc.tree.first));
    QCoreApplication::processEvents();
    CTlwListView& list = app.listPane();
    list.setFocus();
    list.setCurrentIndex(list.rows().index(kBig / 2, 0));
    std::vector<double> insertMs, undoOneMs;
    for (int i = 0; i < kSingleEdits; ++i)
        insertMs.push_back(TimedMs([&] { run(ID_INSERT_SEPARATOR); }));
    for (int i = 0; i < kSingleEdits; ++i)
        undoOneMs.push_back(TimedMs([&] { run(ID_EDIT_UNDO); }));
    std::printf("insert at 100,000 rows, median of 1,000  %7.2f ms\n", Median(insertMs));
    std::printf("undo one insert, median of 1,000         %7.2f ms\n", Median(undoOneMs));
    if (!allRan || list.rows().rowCount() != kBig || doc.edits.canUndo()) {
        std::printf("a command did not run (rows now %d)\n", list.rows().rowCount());
        return 1;
    }
    return met ? 0 : 3;
}
