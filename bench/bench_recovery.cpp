// The recovery copy of a book with unsaved changes, at 1,100,000 entries: the part the
// window's thread spends writing the book out, and the whole copy including the file written
// on the writer's thread. Medians of 5.
#include "BigBookWindow.h"
#include "app/RecoveryKeeper.h"
#include "document/TellwickDoc.h"
#include "file/BookFormat.h"

#include <QApplication>

#include <cstdio>
#include <sstream>

int main(int argc, char* argv[]) {
    UseOffscreenPlatformUnlessSet();
    QApplication qapp(argc, argv);
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    BigBookWindow window;
    if (!window.open())
        return 1;
    CTellwickDoc& document = window.app.document();
    {
        const auto step = document.edits.beginStep(QStringLiteral("rename"));
        document.edits.setName(document.tree.first->firstChild, "renamed");
    }
    const double threadMs = MedianCpuMs(
        5,
        [&] {
            std::ostringstream book;
            WriteBook(book, document.tree);
        },
        [] {});
    const double wholeMs = MedianMs(5, [&] { window.app.recovery().writeNow(); });
    std::printf("book written out on the window's thread  %8.1f ms\n", threadMs);
    std::printf("whole copy, file synced                  %8.1f ms\n", wholeMs);
    return window.app.recovery().file().empty() ? 1 : 0;
}
