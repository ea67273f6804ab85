#pragma once

#include "framework/CommandTarget.h"
#include "framework/Document.h"

#include "file/RoundTrip.h"

#include <optional>
#include <string>

class BookPrinting;
class ClickToRename;
class CTellwickDoc;
class QAbstractScrollArea;
class QMouseEvent;
class QPoint;
class QString;
class QWidget;
class Prompter;
struct EntryNode;
struct PrintedBook;

// What both panes share as views of the book: being told of new and opened books, the
// command states that depend on the document alone, and printing the whole book.
class DocumentPane : public DocumentView, public CommandTarget {
public:
    // The print commands do nothing until the application hands its printing over.
    void setPrinting(BookPrinting* printing) { printing_ = printing; }

protected:
    DocumentPane(CTellwickDoc& document, Prompter& prompter);
    ~DocumentPane() override;

    // Tells the user why text was refused, or why an entry cannot be edited.
    void explain(const QString& reason);
    // False, after telling the user why, when the entry's name is too long to edit in place.
    bool mayRenameInPlace(const EntryNode& entry);
    // The dialog's editor of an entry whose name or an address is too long for it would take
    // minutes to lay out: false, after telling the user why, for such an entry.
    bool mayEditInDialog(const EntryNode& entry);

    // True for an empty reason; otherwise false, after telling the user the reason.
    bool allowedUnless(const QString& reason);

    // A rename waiting for the double-click time to pass gives way to any command.
    void commandStarting() override;

    // Takes a mouse event the frame relays to pane during a drag (in pane's coordinates): a
    // move shows the image here and hit-tests the drop target, the release drops on it and
    // ends the drag. False when no drag is in progress or the event is none of those.
    bool takeRelayedMouse(QAbstractScrollArea& pane, QMouseEvent* event);
    virtual void dragOver(const QPoint& viewportPoint) = 0;
    virtual void dropOnTarget() = 0;

    CTellwickDoc& document_;
    Prompter& prompter_;                     // every question, dialog and beep goes through it
    ClickToRename* clickToRename_ = nullptr; // made by each pane for its view

private:
    void registerPrintCommands();
    void registerUndoCommands();
    // Undo (back) or redo, in the focused edit box or else in the book.
    void takeHistoryStep(bool back);
    PrintedBook printedBook() const;
    QWidget* dialogParent();

    BookPrinting* printing_ = nullptr;
};
