#include "app/CommandLine.h"

#include <QFileInfo>

namespace {

using ShellCommand = CommandLineInfo::ShellCommand;

bool isSwitch(const QString& arg) {
    if (arg.startsWith(u'-'))
        return true;
    // On Linux "/" also starts every absolute path.
    return arg.startsWith(u'/') && arg.indexOf(u'/', 1) < 0 && !QFileInfo::exists(arg);
}

void applySwitch(const QString& name, CommandLineInfo& info) {
    if (name == u"p")
        info.shellCommand = ShellCommand::Print;
    else if (name == u"pt")
        info.shellCommand = ShellCommand::PrintTo;
    else if (name == u"dde")
        info.shellCommand = ShellCommand::Dde;
    // "Embedding", "Automation" and unknown switches change nothing.
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
            applySwitch(arg.sliced(1), info);
        else
            applyParameter(arg, info);
    }
    if (info.shellCommand == ShellCommand::New && !info.fileName.isEmpty())
        info.shellCommand = ShellCommand::Open;
    return info;
}
