#pragma once

#include "DocumentPane.h"

#include <QTreeWidget>

class CTellwickDoc;
class PaneMessageEvent;
struct EntryNode;

// The left pane: the book's groups as a tree under one root item standing for the book.
// Each group item's data is its EntryNode; the root item's is null.
class CTlwTreeView : public QTreeWidget, public DocumentPane {
    Q_OBJECT

public:
    explicit CTlwTreeView(CTellwickDoc& document, QWidget* parent = nullptr);
    ~CTlwTreeView() override;

    void onInitialUpdate() override;

    static EntryNode* entryOf(const QTreeWidgetItem* item);
    QTreeWidgetItem* rootItem() const { return topLevelItem(0); }
    QTreeWidgetItem* findGroupItem(const EntryNode* entry) const;

protected:
    bool event(QEvent* event) override;

private:
    void deleteAllItems();
    QTreeWidgetItem* makeGroupItem(EntryNode* group) const;
    void insertGroupItems(EntryNode* chain, QTreeWidgetItem* parentItem) const;
    void onSelectionChanged();
    void showSelectedGroupLater();
    void sendToFrame(int message, EntryNode* entry);
    void handlePaneMessage(PaneMessageEvent& message);
    void refreshGroup(EntryNode* entry);
    void renameGroup(EntryNode* entry);
    void selectGroup(EntryNode* entry);
    void moveGroupItem(const PaneMessageEvent& message);
    QTreeWidgetItem* copyItemTree(QTreeWidgetItem* source, QTreeWidgetItem* anchor, int place);

    bool showPending_ = false;
};
