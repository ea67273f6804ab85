// Hostile books at full size in the real window, headless: chains of 100,000 and 1,000,000
// nested groups, a 100 MB line, 10,000,000 tiny entries and 1,000,000 entries in one group.
// Each is opened, shown, edited, saved (or, for the chains, refused as too big for the disk),
// opened again and closed; the time of every step and the peak resident memory are printed.
// Exits 1 when a step fails or gives a wrong result (a crash ends it anyway).
#include "BenchSupport.h"
#include "SilentPrompter.h"
#include "app/MainFrame.h"
#include "app/TellwickApp.h"
#include "document/TellwickDoc.h"
#include "file/BookFormat.h"
#include "framework/CommandRouter.h"
#include "framework/DocumentManager.h"
#include "framework/StandardCommands.h"
#include "tests/support/HostileBooks.h"
#include "views/Commands.h"
#include "views/EntryListModel.h"
#include "views/TlwListView.h"
#include "views/TlwTreeView.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <sstream>

namespace {

bool failed = false;

std::string NameOf(const EntryNode* entry) {
    return std::string(entry->Name());
}

// Lets the next scenario's peak be measured on its own.
void ResetPeakResident() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

QString PeakResident() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return QString::fromLatin1(line.mid(6).simplified());
    }
    return QStringLiteral("?");
}

// Runs one step, prints its time, and records a failure when it returns false.
void Step(const char* name, const std::function<bool()>& step) {
    QElapsedTimer timer;
    timer.start();
    const bool ok = step();
    QCoreApplication::processEvents();
    std::printf("  %-44s %9.1f ms%s\n", name, double(timer.nsecsElapsed()) / 1e6,
                ok ? "" : "   FAILED");
    std::fflush(stdout);
    failed = failed || !ok;
}

bool WriteBookFile(const QString& path, const std::function<void(const BookSink&)>& book) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    book([&file](const QByteArray& piece) { file.write(piece); });
    return file.error() == QFileDevice::NoError;
}

QByteArray FileDigest(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result() : QByteArray();
}

QByteArray BookDigest(const CTellwickDoc& doc) {
    std::ostringstream out;
    WriteBook(out, doc.tree);
    return QCryptographicHash::hash(QByteArray::fromStdString(out.str()),
                                    QCryptographicHash::Sha256);
}

void PressKey(QWidget& widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &release);
}

class Bench {
public:
    Bench(CTellwickApp& app, const QTemporaryDir& dir) : app_(app), dir_(dir) {}

    void nestedChain(int depth) {
        std::printf("chain of %d nested groups\n", depth);
        ResetPeakResident();
        const QString path = dir_.filePath(QStringLiteral("deep.tlw"));
        Step("write the book", [&] {
            return WriteBookFile(path, [depth](const BookSink& s) { NestedChainBook(depth, s); });
        });
        Step("open", [&] { return app_.documents().openDocumentFile(path); });
        CTlwTreeView& tree = app_.treePane();
        Step("select the top group, \"*\" (expand all)", [&] {
            tree.setCurrentItem(tree.rootItem()->child(1));
            tree.setFocus();
            PressKey(tree, Qt::Key_Asterisk);
            return tree.rootItem()->child(1)->isExpanded();
        });
        Step("End (the last group shown)", [&] {
            PressKey(tree, Qt::Key_End);
            return tree.currentItem() && tree.currentItem()->text(0).startsWith('d');
        });
        EntryNode* deepest = app_.document().tree.first->next;
        while (deepest->firstChild && deepest->firstChild->IsGroup())
            deepest = deepest->firstChild;
        QTreeWidgetItem* deepestItem = nullptr;
        Step("find the deepest group's item", [&] {
            deepestItem = tree.findGroupItem(deepest);
            return deepestItem != nullptr;
        });
        Step("select it in the tree", [&] {
            tree.setCurrentItem(deepestItem);
            QCoreApplication::processEvents();
            return app_.listPane().rows().rowCount() == 1;
        });
        Step("move it down, then up", [&] {
            return app_.router().execute(ID_MOVE_DOWN) && app_.router().execute(ID_MOVE_UP) &&
                   NameOf(deepest->parent->firstChild) == ChainGroupName(depth).toStdString();
        });
        Step("delete it", [&] {
            const bool done = app_.router().execute(ID_DELETE);
            return done && !tree.findGroupItem(deepest) && app_.document().isModified();
        });
        const QByteArray before = FileDigest(path);
        const quint64 size = BookOutputSize(app_.document().tree);
        if (size <= quint64(QStorageInfo(dir_.path()).bytesAvailable())) {
            std::printf("  save: %.1f GB would fit on this disk; not written\n",
                        double(size) / 1e9);
        } else {
            Step("save: refused, too big for the disk", [&] {
                app_.router().execute(ID_FILE_SAVE);
                return app_.document().isModified() && FileDigest(path) == before;
            });
        }
        Step("close (File New)", [&] {
            app_.document().setModifiedFlag(false);
            return app_.documents().fileNew() && tree.rootItem()->childCount() == 0;
        });
        QFile::remove(path);
        std::printf("  peak resident memory (VmHWM):  %s\n", qPrintable(PeakResident()));
    }

    // Opens, inserts a separator after `row` (in the group shown), saves, reopens and
    // compares, closes.
    void editSaveReopen(const char* title, const std::function<void(const BookSink&)>& book,
                        int row, int expectedRows, const char* group = nullptr) {
        std::printf("%s\n", title);
        ResetPeakResident();
        const QString path = dir_.filePath(QStringLiteral("big.tlw"));
        const QString saved = dir_.filePath(QStringLiteral("saved.tlw"));
        Step("write the book", [&] { return WriteBookFile(path, book); });
        Step("open and show", [&] {
            return app_.documents().openDocumentFile(path) &&
                   (group || app_.listPane().rows().rowCount() == expectedRows);
        });
        CTlwListView& list = app_.listPane();
        if (group) {
            Step("select the group", [&] {
                CTlwTreeView& tree = app_.treePane();
                tree.setCurrentItem(tree.rootItem()->child(0));
                QCoreApplication::processEvents();
                return list.rows().rowCount() == expectedRows;
            });
            Step("select all", [&] {
                list.setFocus();
                list.selectAll();
                return list.selectionModel()->selection().size() == 1;
            });
        }
        Step("insert a separator", [&] {
            list.setFocus();
            list.selectionModel()->setCurrentIndex(list.rows().index(row, 0),
                                                   QItemSelectionModel::NoUpdate);
            return app_.router().execute(ID_INSERT_SEPARATOR) &&
                   list.rows().rowCount() == expectedRows + 1;
        });
        QByteArray digest;
        Step("save", [&] {
            digest = BookDigest(app_.document());
            return app_.document().saveDocument(saved).ok() && FileDigest(saved) == digest;
        });
        Step("reopen and compare", [&] {
            return app_.documents().openDocumentFile(saved) &&
                   BookDigest(app_.document()) == digest;
        });
        if (group) {
            Step("delete the group in the tree", [&] {
                CTlwTreeView& tree = app_.treePane();
                tree.setCurrentItem(tree.rootItem()->child(0));
                tree.setFocus();
                return app_.router().execute(ID_DELETE) && tree.rootItem()->childCount() == 1;
            });
        }
        Step("close (File New)", [&] {
            app_.document().setModifiedFlag(false);
            return app_.documents().fileNew() && list.rows().rowCount() == 0;
        });
        QFile::remove(path);
        QFile::remove(saved);
        std::printf("  peak resident memory (VmHWM):  %s\n", qPrintable(PeakResident()));
    }

private:
    CTellwickApp& app_;
    const QTemporaryDir& dir_;
};

} // namespace

int main(int argc, char* argv[]) {
    UseOffscreenPlatformUnlessSet();
    QApplication qapp(argc, argv);
    QTemporaryDir dir;
    SilentPrompter prompter; // every question gets its default: Yes to a delete
    CTellwickApp app(prompter, dir.filePath(QStringLiteral("tellwick.INI")));
    if (!app.initInstance({}))
        return 1;
    app.frame().show();
    Bench bench(app, dir);
    for (int depth : {100'000, 1'000'000})
        bench.nestedChain(depth);
    bench.editSaveReopen(
        "one line of 100 MB (a long address)",
        [](const BookSink& s) { LongLineBook(100 * 1024 * 1024, false, s); }, 1, 3);
    bench.editSaveReopen(
        "one line of 100 MB (a long name)",
        [](const BookSink& s) { LongLineBook(100 * 1024 * 1024, true, s); }, 1, 3);
    bench.editSaveReopen(
        "10,000,000 tiny entries", [](const BookSink& s) { TinyEntriesBook(10'000'000, s); },
        5'000'000, 10'000'000);
    bench.editSaveReopen(
        "1,000,000 entries in one group", [](const BookSink& s) { OneBigGroupBook(1'000'000, s); },
        0, 1'000'000, "big");
    return failed ? 1 : 0;
}
