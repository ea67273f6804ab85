#include "DocumentPane.h"

#include "doc/TellwickDoc.h"
#include "framework/StandardCommands.h"

DocumentPane::DocumentPane(CTellwickDoc& document, Prompter& prompter)
    : document_(document), prompter_(prompter) {
    document_.addView(this);
    onCommandState(ID_FILE_SAVE, [this](CommandState& s) { s.enabled = document_.isModified(); });
    onCommandState(ID_EDIT_CUT, [](CommandState& s) { s.enabled = false; });
    onCommandState(ID_EDIT_COPY, [](CommandState& s) { s.enabled = false; });
    onCommandState(ID_EDIT_PASTE,
                   [this](CommandState& s) { s.enabled = !document_.clipList.empty(); });
}

DocumentPane::~DocumentPane() {
    document_.removeView(this);
}
