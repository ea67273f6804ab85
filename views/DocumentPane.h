#pragma once

#include "framework/CommandTarget.h"
#include "framework/Document.h"

class CTellwickDoc;
class Prompter;

// What both panes share as views of the book: being told of new and opened books, and the
// command states that depend on the document alone.
class DocumentPane : public DocumentView, public CommandTarget {
protected:
    DocumentPane(CTellwickDoc& document, Prompter& prompter);
    ~DocumentPane() override;

    CTellwickDoc& document_;
    Prompter& prompter_; // every question, dialog and beep goes through it
};
