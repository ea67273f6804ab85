#pragma once

// The program's own command ids.
enum TellwickCommand : int {
    ID_INSERT_GROUP = 32772,
    ID_INSERT_SEPARATOR = 32773,
    ID_INSERT_ADDRESS = 32774,
    ID_MOVE_UP = 32775,
    ID_MOVE_DOWN = 32776,
    ID_DELETE_UNUSED = 32777, // a prompt string only
    ID_DELETE = 32778,
    ID_PROPERTIES = 32780,
    ID_LOAD_AT_SELECTION = 32783,
    ID_FIND = 32784, // opens the find bar
};
