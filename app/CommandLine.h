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
};

// args are the arguments after the program name. "-x" and "/x" are switches, compared
// case-sensitively: p, pt, dde, Embedding, Automation; others are ignored. An argument
// starting with "/" is a path, not a switch, when it exists or holds a second "/".
CommandLineInfo parseCommandLine(const QStringList& args);
