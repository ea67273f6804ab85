#include "ItemTrees.h"

#include <QTreeWidget>

void DeleteItemTree(QTreeWidgetItem* item) {
    if (!item)
        return;
    // Detached items have no model to notify, which keeps each deletion below cheap.
    if (QTreeWidgetItem* parent = item->parent())
        parent->removeChild(item);
    else if (QTreeWidget* tree = item->treeWidget())
        tree->takeTopLevelItem(tree->indexOfTopLevelItem(item));
    // Always delete a leaf that is its parent's first child: Qt finds it at once and drops
    // it from the front of the list in constant time, so the walk is linear in the items.
    QTreeWidgetItem* current = item;
    for (;;) {
        if (current->childCount() > 0) {
            current = current->child(0);
            continue;
        }
        QTreeWidgetItem* parent = current == item ? nullptr : current->parent();
        delete current;
        if (!parent)
            return;
        current = parent;
    }
}
