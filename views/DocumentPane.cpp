#include "DocumentPane.h"

#include "AddressText.h"
#include "ClickToRename.h"

#include "DragImage.h"
#include "EntryClipboard.h"
#include "EntryDialogs.h"
#include "document/TellwickDoc.h"
#include "framework/Prompter.h"
#include "framework/StandardCommands.h"
#include "model/EntryNode.h"
#include "printing/BookPrinting.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWidget>

DocumentPane::DocumentPane(CTellwickDoc& document, Prompter& prompter)
    : document_(document), prompter_(prompter) {
    document_.addView(this);
    onCommandState(ID_FILE_SAVE, [this](CommandState& s) { s.enabled = document_.isModified(); });
    onCommandState(ID_EDIT_PASTE,
                   [](CommandState& s) { s.enabled = EntryClipboard::instance().pasteable(); });
    registerPrintCommands();
    registerUndoCommands();
}

// An edit box has its own undo: the keys reach the book's only when no box has the focus.
// Nothing is undone while a drag holds entries of the book.
void DocumentPane::registerUndoCommands() {
    onCommand(ID_EDIT_UNDO, [this] { takeHistoryStep(true); });
    onCommand(ID_EDIT_REDO, [this] { takeHistoryStep(false); });
    onCommandState(ID_EDIT_UNDO, [this](CommandState& s) {
        s.enabled = document_.edits.canUndo() && !document_.dragging;
    });
    onCommandState(ID_EDIT_REDO, [this](CommandState& s) {
        s.enabled = document_.edits.canRedo() && !document_.dragging;
    });
}

// Both panes print the whole book the same way.
void DocumentPane::registerPrintCommands() {
    onCommand(ID_FILE_PRINT, [this] {
        if (printing_)
            printing_->print(printedBook(), dialogParent());
    });
    onCommand(ID_FILE_PRINT_DIRECT, [this] {
        if (printing_)
            printing_->printDirect(printedBook(), dialogParent());
    });
    onCommand(ID_FILE_PRINT_PREVIEW, [this] {
        if (printing_)
            printing_->preview(printedBook(), dialogParent());
    });
}

void DocumentPane::takeHistoryStep(bool back) {
    if (auto* box = qobject_cast<QLineEdit*>(QApplication::focusWidget()))
        back ? box->undo() : box->redo();
    else if (!document_.dragging)
        back ? document_.edits.undo() : document_.edits.redo();
}

PrintedBook DocumentPane::printedBook() const {
    return {document_.title(), document_.tree};
}

QWidget* DocumentPane::dialogParent() {
    auto* pane = dynamic_cast<QWidget*>(this);
    return pane ? pane->window() : nullptr;
}

DocumentPane::~DocumentPane() {
    document_.removeView(this);
}

bool DocumentPane::takeRelayedMouse(QAbstractScrollArea& pane, QMouseEvent* event) {
    if (!document_.dragging)
        return false;
    if (event->type() == QEvent::MouseMove) {
        document_.dragWnd = &pane;
        if (document_.dragImage)
            document_.dragImage->moveTo(event->globalPosition().toPoint());
        dragOver(pane.viewport()->mapFrom(&pane, event->position().toPoint()));
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease && event->button() == Qt::LeftButton) {
        dropOnTarget();
        FinishDrag(document_);
        return true;
    }
    return false;
}

void DocumentPane::explain(const QString& reason) {
    prompter_.inform(dynamic_cast<QWidget*>(this), QCoreApplication::applicationName(), reason,
                     Prompter::Icon::Warning);
}

bool DocumentPane::mayRenameInPlace(const EntryNode& entry) {
    return allowedUnless(TooLongToEdit(entry.Name().size()));
}

bool DocumentPane::mayEditInDialog(const EntryNode& entry) {
    return allowedUnless(TooLongForDialog(entry));
}

bool DocumentPane::allowedUnless(const QString& reason) {
    if (!reason.isEmpty())
        explain(reason);
    return reason.isEmpty();
}

void DocumentPane::commandStarting() {
    if (clickToRename_)
        clickToRename_->cancel();
}
