#pragma once

#include "framework/CommandTarget.h"
#include "framework/Document.h"

#include <optional>
#include <string>

class CTellwickDoc;
class QString;
class QWidget;
class Prompter;

// What both panes share as views of the book: being told of new and opened books, and the
// command states that depend on the document alone.
class DocumentPane : public DocumentView, public CommandTarget {
protected:
    DocumentPane(CTellwickDoc& document, Prompter& prompter);
    ~DocumentPane() override;

    // The bytes to store for a name typed in place over original; nullopt, after telling
    // the user which characters the book cannot hold, when some cannot be stored.
    std::optional<std::string> encodeTypedName(QWidget* parent, const QString& text,
                                               const std::string& original);

    CTellwickDoc& document_;
    Prompter& prompter_; // every question, dialog and beep goes through it
};
