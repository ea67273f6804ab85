#pragma once

class QTreeWidgetItem;

// Deletes an item with its whole subtree, deepest items first. QTreeWidgetItem's own
// destructor recurses once per level, which overflows the stack on deeply nested books.
void DeleteItemTree(QTreeWidgetItem* item);
