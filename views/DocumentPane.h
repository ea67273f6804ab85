#pragma once

#include "framework/CommandTarget.h"
#include "framework/Document.h"

#include <optional>
#include <string>

class BookPrinting;
class CTellwickDoc;
class QAbstractScrollArea;
class QMouseEvent;
class QPoint;
class QString;
class QWidget;
class Prompter;
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

    // The bytes to store for a name typed in place over original; nullopt, after telling
    // the user which characters the book cannot hold, when some cannot be stored.
    std::optional<std::string> encodeTypedName(QWidget* parent, const QString& text,
                                               const std::string& original);

    // Takes a mouse event the frame relays to pane during a drag (in pane's coordinates): a
    // move shows the image here and hit-tests the drop target, the release drops on it and
    // ends the drag. False when no drag is in progress or the event is none of those.
    bool takeRelayedMouse(QAbstractScrollArea& pane, QMouseEvent* event);
    virtual void dragOver(const QPoint& viewportPoint) = 0;
    virtual void dropOnTarget() = 0;

    CTellwickDoc& document_;
    Prompter& prompter_; // every question, dialog and beep goes through it

private:
    void registerPrintCommands();
    PrintedBook printedBook() const;
    QWidget* dialogParent();

    BookPrinting* printing_ = nullptr;
};
