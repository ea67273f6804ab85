#pragma once

// The window, shown offscreen at a fixed size, over a book of two big groups: "big" with
// 100,000 addresses and "huge" with 1,000,000. Shared by the list and undo benchmarks.
#include "BenchSupport.h"
#include "SilentPrompter.h"
#include "app/MainFrame.h"
#include "app/TellwickApp.h"
#include "framework/CommandRouter.h"

#include <QApplication>
#include <QTemporaryDir>

constexpr int kBig = 100'000;
constexpr int kHuge = 1'000'000;

class BigBookWindow {
public:
    // False when the book could not be written or opened.
    bool open() {
        QFile file(book);
        if (!file.open(QIODevice::WriteOnly) || !WriteGroup(file, "big", kBig) ||
            !WriteGroup(file, "huge", kHuge))
            return false;
        file.close();
        if (!app.initInstance({book}))
            return false;
        app.frame().resize(900, 600);
        app.frame().show();
        QApplication::setActiveWindow(&app.frame());
        return true;
    }

    // Runs a command and lets the window repaint; false when the command did not run.
    bool run(int command) {
        const bool ran = app.router().execute(command);
        QCoreApplication::processEvents();
        return ran;
    }

    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("big.tlw"));
    SilentPrompter prompter;
    CTellwickApp app{prompter, dir.filePath(QStringLiteral("tellwick.INI"))};
};
