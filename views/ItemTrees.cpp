#include "ItemTrees.h"

#include <QTreeWidget>

#include <vector>

void DeleteItemTree(QTreeWidgetItem* item) {
    if (!item)
        return;
    if (QTreeWidgetItem* parent = item->parent())
        parent->removeChild(item);
    else if (QTreeWidget* tree = item->treeWidget())
        tree->takeTopLevelItem(tree->indexOfTopLevelItem(item));
    std::vector<QTreeWidgetItem*> pending{item};
    while (!pending.empty()) {
        QTreeWidgetItem* current = pending.back();
        if (current->childCount() > 0) {
            pending.push_back(current->takeChild(current->childCount() - 1));
            continue;
        }
        pending.pop_back();
        delete current;
    }
}
