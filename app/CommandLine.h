#pragma once

#include <QString>
#include <QStringList>

// What the command line asks the program to do at start-up.
struct CommandLineInfo {
    enum class ShellCommand { New, Open, Print, PrintTo, Dde };
    ShellCommand shellCommand = ShellCommand::New;
    QString fileName;
    QString printerName;
    QString driverName;
    QString portName;
    QStringList unknownSwitches; // as given, for the user to be told; they change nothing
};

// args are the arguments after the program name. "-x" and "/x" are switches, compared
// case-sensitively: p, pt, dde, Embedding, Automation; others are ignored and listed. An
// argument that is no known switch is a path when it names an existing file ("-dash.tlw"),
// or starts with "/" and holds a second "/".
CommandLineInfo parseCommandLine(const QStringList& args);

// "--help" or "--version" among the arguments (before a "--"): the program prints the text
// and ends, before it needs a display. They win over every other argument.
enum class InformationRequest { None, Help, Version };
InformationRequest findInformationRequest(const QStringList& args);
QString helpText();
QString versionText();
