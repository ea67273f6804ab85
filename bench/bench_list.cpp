// The entry list pane on big groups: showing a group of 1,000,000 entries, and on a group of
// 100,000 entries filling, scrolling, inserting, moving and deleting, each including the
// repaint the user waits for, and one round of command-state updates. Medians of 11.
#include "BigBookWindow.h"
#include "document/TellwickDoc.h"
#include "framework/CommandRouter.h"
#include "views/Commands.h"
#include "views/EntryListModel.h"
#include "views/PaneMessages.h"
#include "views/TlwListView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRepetitions = 11;
constexpr double kBigTargetMs = 50;
constexpr double kHugeTargetMs = 60;

void Report(const char* what, double ms, double target, bool* allMet) {
    const bool met = ms < target;
    *allMet = *allMet && met;
    std::printf("%-44s %8.2f ms  (target < %.0f ms) %s\n", what, ms, target, met ? "ok" : "SLOW");
}

} // namespace

int main(int argc, char* argv[]) {
    UseOffscreenPlatformUnlessSet();
    QApplication qapp(argc, argv);
    BigBookWindow window;
    if (!window.open())
        return 1;
    CTellwickApp& app = window.app;
    CTlwListView& list = app.listPane();
    list.setFocus();
    // Lays the rows out and paints the visible ones, as the screen would.
    const auto paint = [&] { list.viewport()->grab(); };
    EntryNode* big = app.document().tree.first;
    EntryNode* huge = big->next;
    const auto show = [&](EntryNode* group) {
        PaneMessageEvent message(UM_SHOWGROUP, group);
        QCoreApplication::sendEvent(&app.frame(), &message);
        paint();
    };
    bool allRan = true;
    const auto run = [&](int command) {
        allRan = app.router().execute(command) && allRan;
        paint();
    };

    bool allMet = true;
    Report("show a group of 1,000,000 entries",
           MedianMs(
               kRepetitions, [&] { show(huge); }, [&] { show(big); }),
           kHugeTargetMs, &allMet);
    Report("show a group of 100,000 entries",
           MedianMs(
               kRepetitions, [&] { show(big); }, [&] { show(huge); }),
           kBigTargetMs, &allMet);
    QScrollBar* scroll = list.verticalScrollBar();
    Report("scroll from top to bottom and back",
           MedianMs(kRepetitions,
                    [&] {
                        scroll->setValue(scroll->maximum());
                        paint();
                        scroll->setValue(0);
                        paint();
                    }) /
               2,
           kBigTargetMs, &allMet);
    list.setCurrentIndex(list.rows().index(kBig / 2, 0));
    Report("insert a separator mid-list", MedianMs(kRepetitions, [&] { run(ID_INSERT_SEPARATOR); }),
           kBigTargetMs, &allMet);
    Report("move the current row up", MedianMs(kRepetitions, [&] { run(ID_MOVE_UP); }),
           kBigTargetMs, &allMet);
    Report("move the current row down", MedianMs(kRepetitions, [&] { run(ID_MOVE_DOWN); }),
           kBigTargetMs, &allMet);
    Report("delete the current row (answered Yes)", MedianMs(kRepetitions, [&] { run(ID_DELETE); }),
           kBigTargetMs, &allMet);
    Report("update every command state once",
           MedianMs(kRepetitions, [&] { app.router().updateAll(); }), 1, &allMet);
    if (!allRan || list.rows().rowCount() != kBig) {
        std::printf("a command did not run (rows now %d)\n", list.rows().rowCount());
        return 1;
    }
    return allMet ? 0 : 3;
}
