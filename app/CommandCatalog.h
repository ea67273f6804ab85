#pragma once

#include <QString>

// The status-bar prompt and the tooltip of a command; empty when it has none.
struct CommandText {
    QString prompt;
    QString tooltip;
};

CommandText TextOfCommand(int id);
