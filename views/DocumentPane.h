#pragma once

#include "framework/CommandTarget.h"
#include "framework/Document.h"

class CTellwickDoc;

// What both panes share as views of the book: being told of new and opened books, and the
// command states that depend on the document alone.
class DocumentPane : public DocumentView, public CommandTarget {
protected:
    explicit DocumentPane(CTellwickDoc& document);
    ~DocumentPane() override;

    CTellwickDoc& document_;
};
