#include "app/CommandLine.h"

#include "framework/PathNames.h"

#include <sys/stat.h>

namespace {

using ShellCommand = CommandLineInfo::ShellCommand;

bool isKnownSwitch(const QString& name) {
    static const QStringList known = {QStringLiteral("p"), QStringLiteral("pt"),
                                      QStringLiteral("dde"), QStringLiteral("Embedding"),
                                      QStringLiteral("Automation")};
    return known.contains(name);
}

bool namesExistingEntry(const QString& arg) {
    struct stat info {};
    return ::lstat(EncodePathBytes(arg).constData(), &info) == 0;
}

// A known switch is always one. Otherwise an existing name is a file ("-dash.tlw"), and
// "/" also starts every absolute path.
bool isSwitch(const QString& arg) {
    if (!arg.startsWith(u'-') && !arg.startsWith(u'/'))
        return false;
    if (isKnownSwitch(arg.sliced(1)))
        return true;
    if (arg.startsWith(u'/') && arg.indexOf(u'/', 1) >= 0)
        return false;
    return !namesExistingEntry(arg);
}

void applySwitch(const QString& arg, CommandLineInfo& info) {
    const QString name = arg.sliced(1);
    if (name == u"p")
        info.shellCommand = ShellCommand::Print;
    else if (name == u"pt")
        info.shellCommand = ShellCommand::PrintTo;
    else if (name == u"dde")
        info.shellCommand = ShellCommand::Dde;
    else if (!isKnownSwitch(name) && !name.isEmpty())
        info.unknownSwitches << arg;
    // "Embedding" and "Automation" change nothing.
}

// A parameter fills the first empty slot: the file name, then, only once print-to has been
// switched on, printer, driver and port; so "a b -pt c d e" ignores b and prints a on c.
void applyParameter(const QString& param, CommandLineInfo& info) {
    const bool printTo = info.shellCommand == ShellCommand::PrintTo;
    if (info.fileName.isEmpty())
        info.fileName = param;
    else if (printTo && info.printerName.isEmpty())
        info.printerName = param;
    else if (printTo && info.driverName.isEmpty())
        info.driverName = param;
    else if (printTo && info.portName.isEmpty())
        info.portName = param;
}

} // namespace

CommandLineInfo parseCommandLine(const QStringList& args) {
    CommandLineInfo info;
    for (const QString& arg : args) {
        if (isSwitch(arg))
            applySwitch(arg, info);
        else
            applyParameter(arg, info);
    }
    if (info.shellCommand == ShellCommand::New && !info.fileName.isEmpty())
        info.shellCommand = ShellCommand::Open;
    return info;
}

InformationRequest findInformationRequest(const QStringList& args) {
    InformationRequest found = InformationRequest::None;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--"))
            break;
        if (arg == QLatin1String("--help"))
            return InformationRequest::Help;
        if (arg == QLatin1String("--version"))
            found = InformationRequest::Version;
    }
    return found;
}

QString helpText() {
    return QStringLiteral(
        "Usage: tellwick [BOOK.tlw]\n"
        "       tellwick -p BOOK.tlw\n"
        "       tellwick -pt BOOK.tlw PRINTER DRIVER PORT\n"
        "       tellwick -dde\n"
        "\n"
        "Opens the address book BOOK.tlw (CP932 text with CR LF line ends) in the Tellwick\n"
        "window, or an empty book.\n"
        "\n"
        "  -p BOOK            print the book on the default printer, then end\n"
        "  -pt BOOK PRINTER DRIVER PORT\n"
        "                     print the book on PRINTER (a path ending in .pdf writes that\n"
        "                     PDF file), then end\n"
        "  -dde               run hidden and serve open and print requests on a local socket\n"
        "  -Embedding, -Automation\n"
        "                     accepted, no effect\n"
        "  --help             print this text and end\n"
        "  --version          print the version and end\n"
        "\n"
        "Switches may start with \"-\" or \"/\". An argument that names an existing file is\n"
        "opened even when it starts with one of them; other unknown switches are reported\n"
        "and ignored. Settings: $XDG_CONFIG_HOME/tellwick.INI.\n");
}

QString versionText() {
    return QStringLiteral("tellwick %1\n").arg(QStringLiteral(TELLWICK_VERSION));
}
