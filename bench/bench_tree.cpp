// The group tree pane on a book of 100,000 groups (half at the top level, half nested in one
// chain): how long finding an item takes, the walk every drop and pane message makes, and
// how long the selected group takes to move down past its neighbour. Medians of 11.
#include "BenchSupport.h"
#include "SilentPrompter.h"
#include "app/TellwickApp.h"
#include "document/TellwickDoc.h"
#include "framework/CommandRouter.h"
#include "framework/DocumentManager.h"
#include "views/Commands.h"
#include "views/TlwTreeView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kGroups = 100'000;
constexpr int kRepetitions = 11;

bool WriteBook(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (int i = 0; i < kGroups / 2; ++i)
        file.write("GROUP flat" + QByteArray::number(i) + "\r\nEND GROUP\r\n");
    for (int i = 0; i < kGroups / 2; ++i)
        file.write("GROUP deep" + QByteArray::number(i) + "\r\n");
    return file.error() == QFileDevice::NoError;
}

EntryNode* Deepest(EntryNode* group) {
    while (group->firstChild)
        group = group->firstChild;
    return group;
}

} // namespace

int main(int argc, char* argv[]) {
    UseOffscreenPlatformUnlessSet();
    QApplication qapp(argc, argv);
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("groups.tlw"));
    SilentPrompter prompter;
    CTellwickApp app(prompter, dir.filePath(QStringLiteral("tellwick.INI")));
    if (!WriteBook(book) || !app.initInstance({book}))
        return 1;
    CTlwTreeView& tree = app.treePane();
    EntryNode* lastFlat = app.document().tree.first;
    while (lastFlat->next && lastFlat->next->Name().starts_with("flat"))
        lastFlat = lastFlat->next;
    EntryNode* deepest = Deepest(lastFlat->next);

    const double findFlat = MedianMs(kRepetitions, [&] { tree.findGroupItem(lastFlat); });
    const double findDeep = MedianMs(kRepetitions, [&] { tree.findGroupItem(deepest); });
    tree.setCurrentItem(tree.findGroupItem(app.document().tree.first));
    const double moveDown = MedianMs(kRepetitions, [&] { app.router().execute(ID_MOVE_DOWN); });
    if (!tree.findGroupItem(deepest))
        return 1;
    std::printf("groups: %d (%d flat, %d nested in one chain)\n", kGroups, kGroups / 2,
                kGroups / 2);
    std::printf("find the last flat group's item, median of %d:  %8.2f ms\n", kRepetitions,
                findFlat);
    std::printf("find the deepest group's item, median of %d:    %8.2f ms\n", kRepetitions,
                findDeep);
    std::printf("move the first group down, median of %d:        %8.2f ms\n", kRepetitions,
                moveDown);
    return 0;
}
