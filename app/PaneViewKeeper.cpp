#include "PaneViewKeeper.h"

#include "views/TlwListView.h"
#include "views/TlwTreeView.h"

PaneViewKeeper::PaneViewKeeper(CTlwTreeView& tree, CTlwListView& list,
                               std::function<QWidget*()> activePane)
    : tree_(tree), list_(list), activePane_(std::move(activePane)) {}

BookView PaneViewKeeper::captureView() const {
    BookView view;
    tree_.captureView(view);
    list_.captureView(view);
    view.activePane = activePane_() == &list_ ? 1 : 0;
    return view;
}

// The tree first: the list then shows its group with nothing left to overrule it.
void PaneViewKeeper::restoreView(const BookView& view, bool groupsChanged) {
    tree_.restoreView(view, groupsChanged);
    list_.restoreView(view);
    QWidget* pane = view.activePane == 1 ? static_cast<QWidget*>(&list_) : &tree_;
    pane->setFocus(Qt::OtherFocusReason);
}
