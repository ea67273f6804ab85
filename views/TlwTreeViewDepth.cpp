// How deep the tree pane shows a book, and how it keeps deep items within reach: expansion
// stops at a level the toolkit lays out safely, and the column grows with the levels shown so
// an item indented past the pane's edge can still be hit, selected and scrolled to.
#include "TlwTreeView.h"

#include <QHeaderView>
#include <QScrollBar>

#include <algorithm>
#include <limits>
#include <vector>

// Counts the levels from the root item (level 0) up to index, but stops at limit: enough to
// compare with a bound without walking the whole of a deep chain.
int CTlwTreeView::levelOf(QModelIndex index, int limit) {
    int level = -1;
    for (; index.isValid() && level < limit; index = index.parent())
        ++level;
    return level;
}

// Every expansion passes here, whoever made it (keys, mouse, "*", scrolling to an item):
// one too deep is undone at once; before it, only its children were laid out.
void CTlwTreeView::keepExpansionShallow(const QModelIndex& index) {
    const int level = levelOf(index, kMaxExpandDepth);
    if (level >= kMaxExpandDepth) {
        collapse(index);
        return;
    }
    makeRoomForLevel(level + 1);
}

// The one column stretches over the pane but is never narrower than an item at level needs
// for its indentation and a short label.
void CTlwTreeView::makeRoomForLevel(int level) {
    const int decorated = rootIsDecorated() ? 1 : 0;
    const int needed = indentation() * (level + decorated) + iconSize().width() +
                       fontMetrics().averageCharWidth() * 16;
    QHeaderView* columns = header();
    if (needed <= columns->minimumSectionSize())
        return;
    columns->setMinimumSectionSize(std::min(needed, columns->maximumSectionSize()));
    columns->resizeSections(QHeaderView::Interactive); // the stretched column, at once
}

void CTlwTreeView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    const int level = levelOf(index, std::numeric_limits<int>::max());
    QModelIndex shown = index;
    for (int above = level - kMaxExpandDepth; above > 0; --above)
        shown = shown.parent();
    makeRoomForLevel(std::min(level, kMaxExpandDepth));
    QTreeWidget::scrollTo(shown, hint);
    bringIntoSightSideways(shown);
}

// The toolkit scrolls sideways to the start of the column only, however deep the item is
// indented; the item, with its branch mark, is brought into sight as well.
void CTlwTreeView::bringIntoSightSideways(const QModelIndex& index) {
    const QRect rect = visualRect(index);
    if (!rect.isValid() || (rect.left() >= 0 && rect.right() < viewport()->width()))
        return;
    QScrollBar* bar = horizontalScrollBar();
    bar->setValue(bar->value() + rect.left() - indentation());
}

// Deepest items first: expanding an item that is not shown yet only records it, so the
// view lays the subtree out once, when the top item opens last.
void CTlwTreeView::expandSubtree(QTreeWidgetItem* top) {
    struct Pending {
        QTreeWidgetItem* item;
        int level;
    };
    std::vector<QTreeWidgetItem*> toExpand;
    std::vector<Pending> pending{{top, levelOf(indexFromItem(top), kMaxExpandDepth)}};
    while (!pending.empty()) {
        const Pending next = pending.back();
        pending.pop_back();
        if (next.item->childCount() == 0 || next.level >= kMaxExpandDepth)
            continue;
        toExpand.push_back(next.item);
        for (int i = next.item->childCount() - 1; i >= 0; --i)
            pending.push_back({next.item->child(i), next.level + 1});
    }
    for (auto it = toExpand.rbegin(); it != toExpand.rend(); ++it)
        (*it)->setExpanded(true);
}
