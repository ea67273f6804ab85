// The entry list pane at 100,000 and 1,000,000 rows: every one-row edit a user makes, select
// all and delete all, showing the group, and scrolling, each as the window does it (the
// command, the pane messages and the repaint the user waits for). Processor time, medians.
// A single edit should fit in one frame of 16 ms at a million rows and in 4 ms at 100,000.
#include "BigBookWindow.h"
#include "document/TellwickDoc.h"
#include "framework/CommandRouter.h"
#include "framework/StandardCommands.h"
#include "views/Commands.h"
#include "views/EntryListModel.h"
#include "views/TlwListView.h"
#include "views/TlwTreeView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>

#include <cstdio>

namespace {

constexpr int kRepetitions = 11;

struct Report {
    bool allMet = true;
    void line(const char* what, int rows, double ms, double target) {
        const bool met = ms <= target;
        allMet = allMet && met;
        std::printf("%-38s %9d %9.2f ms  (target <= %2.0f) %s\n", what, rows, ms, target,
                    met ? "ok" : "SLOW");
    }
};

} // namespace

int main(int argc, char* argv[]) {
    UseOffscreenPlatformUnlessSet();
    QApplication qapp(argc, argv);
    BigBookWindow window;
    if (!window.open())
        return 1;
    CTellwickApp& app = window.app;
    CTlwListView& list = app.listPane();
    CTlwTreeView& tree = app.treePane();
    // The window paints what changed into its backing store, as on a screen.
    const auto paint = [&] { QCoreApplication::processEvents(); };
    bool allRan = true;
    const auto run = [&](int command) {
        app.router().updateAll(); // as the idle loop has done before the user acts
        allRan = window.run(command) && allRan;
    };
    const auto undo = [&] { run(ID_EDIT_UNDO); };
    const auto selectGroup = [&](EntryNode* group) {
        tree.setFocus();
        tree.setCurrentItem(group ? tree.findGroupItem(group) : tree.rootItem());
        paint();
    };
    const auto selectAll = [&] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
        QCoreApplication::sendEvent(&list, &press);
        paint();
    };
    const auto middleRow = [&] {
        list.setFocus();
        list.selectionModel()->setCurrentIndex(list.rows().index(list.rows().rowCount() / 2, 0),
                                               QItemSelectionModel::ClearAndSelect |
                                                   QItemSelectionModel::Rows);
        paint();
    };

    std::printf("%-38s %9s %12s\n", "median processor time", "rows", "");
    Report report;
    EntryNode* big = app.document().tree.first;
    EntryNode* huge = big->next;
    for (EntryNode* group : {huge, big}) {
        const int rows = group == huge ? kHuge : kBig;
        const double target = group == huge ? 16 : 4;
        const int repetitions = group == huge ? 5 : kRepetitions;
        report.line("select the group in the tree", rows,
                    MedianCpuMs(
                        repetitions, [&] { selectGroup(group); }, [&] { selectGroup(nullptr); }),
                    target);
        middleRow();
        report.line("repaint alone (in every step below)", rows,
                    MedianCpuMs(
                        repetitions,
                        [&] {
                            list.viewport()->update();
                            paint();
                        },
                        [] {}),
                    target);
        report.line("insert an address (dialog answered)", rows,
                    MedianCpuMs(
                        repetitions, [&] { run(ID_INSERT_ADDRESS); }, middleRow),
                    target);
        report.line("move the current row up", rows,
                    MedianCpuMs(
                        repetitions, [&] { run(ID_MOVE_UP); }, middleRow),
                    target);
        report.line("delete the current row (answered Yes)", rows,
                    MedianCpuMs(
                        repetitions, [&] { run(ID_DELETE); }, middleRow),
                    target);
        report.line("select all (Ctrl+A)", rows, MedianCpuMs(repetitions, selectAll, middleRow),
                    target);
        report.line("delete every row (answered Yes)", rows,
                    MedianCpuMs(
                        repetitions, [&] { run(ID_DELETE); },
                        [&] {
                            if (list.rows().rowCount() == 0)
                                undo();
                            selectAll();
                        }),
                    target);
        undo();
        QScrollBar* scroll = list.verticalScrollBar();
        report.line("scroll to the bottom and back, each", rows,
                    MedianCpuMs(
                        repetitions,
                        [&] {
                            scroll->setValue(scroll->maximum());
                            paint();
                            scroll->setValue(0);
                            paint();
                        },
                        [] {}) /
                        2,
                    target);
        report.line("update every command state once", rows,
                    MedianCpuMs(
                        repetitions, [&] { app.router().updateAll(); }, [] {}),
                    1);
    }
    if (!allRan || list.rows().rowCount() < kBig) {
        std::printf("a command did not run (rows now %d)\n", list.rows().rowCount());
        return 1;
    }
    return report.allMet ? 0 : 3;
}
