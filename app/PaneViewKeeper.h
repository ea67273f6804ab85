#pragma once

#include "document/BookEdits.h"

#include <functional>

class CTlwListView;
class CTlwTreeView;
class QWidget;

// Puts together what both panes show, and which of them was active, for the book's history;
// after an undo or a redo it has each pane show its part again and gives the focus back.
class PaneViewKeeper : public BookViewKeeper {
public:
    PaneViewKeeper(CTlwTreeView& tree, CTlwListView& list, std::function<QWidget*()> activePane);

    BookView captureView() const override;
    void restoreView(const BookView& view, bool groupsChanged) override;

private:
    CTlwTreeView& tree_;
    CTlwListView& list_;
    std::function<QWidget*()> activePane_;
};
