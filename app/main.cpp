#include "TellwickApp.h"
#include "framework/ProfileFile.h"
#include "framework/Prompter.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tellwick"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tellwick"));

    WidgetPrompter prompter;
    CTellwickApp app(prompter, ProfileFile::defaultPath());
    if (!app.initInstance(QApplication::arguments().mid(1))) {
        app.exitInstance();
        return app.startedToPrint() ? 0 : 1;
    }
    const int exitCode = QApplication::exec();
    app.exitInstance();
    return exitCode;
}
