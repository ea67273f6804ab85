#pragma once

#include "DocumentPane.h"

#include <QMouseEvent>
#include <QTreeWidget>

#include <memory>

class CTellwickDoc;
struct BookView;
class Prompter;
class PaneMessageEvent;
struct EntryNode;

// The left pane: the book's groups as a tree under one root item standing for the book.
// Each group item's data is its EntryNode; the root item's is null.
class CTlwTreeView : public QTreeWidget, public DocumentPane {
    Q_OBJECT

public:
    CTlwTreeView(CTellwickDoc& document, Prompter& prompter, QWidget* parent = nullptr);
    ~CTlwTreeView() override;

    void onInitialUpdate() override;
    // The open items and the current one, and the same again after an undo or a redo.
    void captureView(BookView& view) const;
    // Its items are made again only when the step changed groups.
    void restoreView(const BookView& view, bool groupsChanged);

    static EntryNode* entryOf(const QTreeWidgetItem* item);
    QTreeWidgetItem* rootItem() const { return topLevelItem(0); }
    QTreeWidgetItem* findGroupItem(const EntryNode* entry) const;
    // Brings the item into sight, also sideways; an item deeper than the pane shows is left
    // current where it is, and its ancestor at the deepest level shown is brought instead.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    bool event(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The toolkit lays out expanded items, and lets go of them, with one nested call per
    // level: no item deeper than this (the root item is level 0) is ever expanded, so the
    // pane shows groups down to one level more, and deeper ones only in the list.
    static constexpr int kMaxExpandDepth = 1000;
    enum ItemPlace { IntoOrAfter = 0, LastChild = 1, After = 2 };

    void registerCommands();
    EntryNode* selectedEntry() const;
    static void setEntryOf(QTreeWidgetItem* item, EntryNode* entry);
    // The reason the name was refused, or empty when it was stored.
    QString renameInPlace(QTreeWidgetItem* item, const QString& text);
    void deleteSelectedGroup();
    // The selected group with everything below it; the root item is the whole book's.
    void copySelectedGroup();
    void cutSelectedGroup();
    void pasteIntoSelectedGroup();
    // Takes the group's item and entry out of the book, as one part of a step.
    void removeSelectedGroup();
    void editSelectedGroup();
    void moveSelectedGroup(int step);
    void expandSubtree(QTreeWidgetItem* top);
    static int levelOf(QModelIndex index, int limit);
    void keepExpansionShallow(const QModelIndex& index);
    void makeRoomForLevel(int level);
    void bringIntoSightSideways(const QModelIndex& index);
    void beginDrag(QTreeWidgetItem* item, const QPoint& globalCursor);
    void dragOver(const QPoint& viewportPoint) override;
    void dropOnTarget() override;
    void setDropTarget(QTreeWidgetItem* item);
    QTreeWidgetItem* dropTargetItem() const;
    void dropOn(QTreeWidgetItem* target);
    bool moveGroupItemInto(EntryNode* group, QTreeWidgetItem* target);
    static bool isSelfOrAncestor(const QTreeWidgetItem* item, const QTreeWidgetItem* candidate);
    void deleteAllItems();
    void rebuildItems();
    QTreeWidgetItem* makeGroupItem(EntryNode* group) const;
    void insertGroupItems(EntryNode* chain, QTreeWidgetItem* parentItem) const;
    void onSelectionChanged();
    void showSelectedGroupLater();
    void sendToFrame(int message, EntryNode* entry);
    void handlePaneMessage(PaneMessageEvent& message);
    void refreshGroup(EntryNode* entry);
    void renameGroup(EntryNode* entry);
    void selectGroup(EntryNode* entry);
    void showFoundGroup(EntryNode* group);
    void moveGroupItem(const PaneMessageEvent& message);
    QTreeWidgetItem* copyItemTree(QTreeWidgetItem* source, QTreeWidgetItem* anchor, int place);

    bool showPending_ = false;
    std::unique_ptr<QMouseEvent> pendingPress_; // held back while it may start a drag
    QPersistentModelIndex dropTarget_;          // under the cursor while a drag passes
};
