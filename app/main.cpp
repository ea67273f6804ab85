#include "CommandLine.h"
#include "TellwickApp.h"
#include "framework/PathNames.h"
#include "framework/ProfileFile.h"
#include "framework/Prompter.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>

namespace {

// The window speaks Japanese whatever the locale, and so must Qt's own dialogs and buttons.
void InstallJapaneseQtTexts(QApplication& app) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}

// QApplication has taken its own options out of argv. Each argument keeps its bytes, so a
// file name that is not UTF-8 still opens.
QStringList ArgumentsAsPaths(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << DecodePathBytes(argv[i]);
    return arguments;
}

// Prints the help or the version when asked; true when the program is done.
bool AnsweredInformationRequest(const QStringList& arguments) {
    const InformationRequest request = findInformationRequest(arguments);
    if (request == InformationRequest::None)
        return false;
    const QString text = request == InformationRequest::Help ? helpText() : versionText();
    std::fputs(text.toUtf8().constData(), stdout);
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (AnsweredInformationRequest(ArgumentsAsPaths(argc, argv)))
        return std::fflush(stdout) == 0 ? 0 : 1;
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tellwick"));
    QApplication::setApplicationVersion(QStringLiteral(TELLWICK_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("tellwick"));
    InstallJapaneseQtTexts(qapp);

    WidgetPrompter prompter;
    CTellwickApp app(prompter, ProfileFile::defaultPath());
    if (!app.initInstance(ArgumentsAsPaths(argc, argv))) {
        app.exitInstance();
        return app.startUpExitCode();
    }
    const int exitCode = QApplication::exec();
    app.exitInstance();
    return exitCode;
}
