#include "TlwTreeView.h"

#include "Artwork.h"
#include "ClickToRename.h"
#include "EntryText.h"
#include "FocusedSelectionLook.h"
#include "ItemTrees.h"
#include "PaneMessages.h"
#include "document/TellwickDoc.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QMouseEvent>

#include <unordered_set>
#include <vector>

namespace {

QIcon TwoStateIcon(Artwork::TreeImage normal, Artwork::TreeImage selected) {
    QIcon icon(Artwork::treeImage(normal));
    icon.addPixmap(Artwork::treeImage(selected), QIcon::Selected);
    return icon;
}

const QIcon& RootIcon() {
    static const QIcon icon =
        TwoStateIcon(Artwork::TreeImage::BookClosed, Artwork::TreeImage::BookOpen);
    return icon;
}

const QIcon& GroupIcon() {
    static const QIcon icon =
        TwoStateIcon(Artwork::TreeImage::FolderClosed, Artwork::TreeImage::FolderOpen);
    return icon;
}

QEvent::Type ShowSelectedGroupEvent() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

} // namespace

CTlwTreeView::CTlwTreeView(CTellwickDoc& document, Prompter& prompter, QWidget* parent)
    : QTreeWidget(parent), DocumentPane(document, prompter) {
    setObjectName(QStringLiteral("groupTree"));
    setColumnCount(1);
    header()->hide();
    setIconSize(QSize(18, 16));
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed); // a slow second click: ClickToRename
    clickToRename_ = new ClickToRename(
        *this, [this](const QModelIndex& index) { edit(index, EditKeyPressed, nullptr); });
    new FocusedSelectionLook(*this);
    connect(this, &QTreeWidget::currentItemChanged, this, &CTlwTreeView::onSelectionChanged);
    connect(this, &QTreeView::expanded, this, &CTlwTreeView::keepExpansionShallow);
    registerCommands();
    connect(&document_, &CTellwickDoc::dragFinished, this, [this] { setDropTarget(nullptr); });
}

CTlwTreeView::~CTlwTreeView() {
    deleteAllItems();
}

EntryNode* CTlwTreeView::entryOf(const QTreeWidgetItem* item) {
    if (!item)
        return nullptr;
    return static_cast<EntryNode*>(item->data(0, Qt::UserRole).value<void*>());
}

void CTlwTreeView::setEntryOf(QTreeWidgetItem* item, EntryNode* entry) {
    item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(entry)));
}

bool CTlwTreeView::isSelfOrAncestor(const QTreeWidgetItem* item, const QTreeWidgetItem* candidate) {
    for (; item; item = item->parent()) {
        if (item == candidate)
            return true;
    }
    return false;
}

void CTlwTreeView::deleteAllItems() {
    const QSignalBlocker quiet(this); // no selection posts for items on their way out
    while (topLevelItemCount() > 0)
        DeleteItemTree(topLevelItem(0));
}

QTreeWidgetItem* CTlwTreeView::makeGroupItem(EntryNode* group) const {
    auto* item = new QTreeWidgetItem(QStringList{DisplayText(group->Name())});
    item->setIcon(0, GroupIcon());
    item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(group)));
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    return item;
}

// Builds the items of every group in the chain and below it, walking with an explicit
// stack; the items are made detached and attached at the end, which keeps deep books cheap.
void CTlwTreeView::insertGroupItems(EntryNode* chain, QTreeWidgetItem* parentItem) const {
    struct Level {
        EntryNode* entry;
        QTreeWidgetItem* item;
    };
    std::vector<QTreeWidgetItem*> built;
    std::vector<Level> stack{{chain, nullptr}};
    while (!stack.empty()) {
        Level& level = stack.back();
        EntryNode* entry = level.entry;
        if (!entry) {
            stack.pop_back();
            continue;
        }
        level.entry = entry->next;
        if (!entry->IsGroup())
            continue;
        QTreeWidgetItem* item = makeGroupItem(entry);
        if (level.item)
            level.item->addChild(item);
        else
            built.push_back(item);
        stack.push_back({entry->firstChild, item});
    }
    for (QTreeWidgetItem* item : built)
        parentItem->addChild(item);
}

void CTlwTreeView::onInitialUpdate() {
    rebuildItems();
    // Selected, not merely current: a current item without the selection is drawn in a pale
    // box that looks like a text field. The list already shows the top level it stands for.
    setCurrentItem(rootItem());
}

void CTlwTreeView::rebuildItems() {
    deleteAllItems();
    header()->setMinimumSectionSize(-1); // the room a deep book needed goes with it
    header()->resizeSections(QHeaderView::Interactive);
    // The root item is made for an empty book too, so a group inserted later shows.
    auto* root = new QTreeWidgetItem(QStringList{document_.title()});
    root->setIcon(0, RootIcon());
    root->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(nullptr)));
    root->setFlags(root->flags() & ~Qt::ItemIsEditable);
    insertGroupItems(document_.tree.first, root);
    {
        const QSignalBlocker quiet(this);
        addTopLevelItem(root);
    }
    root->setExpanded(true);
}

void CTlwTreeView::captureView(BookView& view) const {
    view.treeCurrent = entryOf(currentItem());
    view.treeShowPending = showPending_;
    view.rootExpanded = rootItem() && rootItem()->isExpanded();
    view.expandedGroups.clear();
    std::vector<QTreeWidgetItem*> pending;
    if (rootItem())
        pending.push_back(rootItem());
    while (!pending.empty()) {
        QTreeWidgetItem* item = pending.back();
        pending.pop_back();
        if (item->parent() && item->isExpanded())
            view.expandedGroups.push_back(entryOf(item));
        for (int i = 0; i < item->childCount(); ++i)
            pending.push_back(item->child(i));
    }
}

// The items are made again from the book, which the step put back, when it changed groups;
// the list is told what to show by whoever restores the view, so no selection change
// reaches it from here.
void CTlwTreeView::restoreView(const BookView& view, bool groupsChanged) {
    const QSignalBlocker quiet(this);
    if (groupsChanged || !rootItem())
        rebuildItems();
    rootItem()->setExpanded(view.rootExpanded);
    const std::unordered_set<const EntryNode*> open(view.expandedGroups.begin(),
                                                    view.expandedGroups.end());
    std::vector<QTreeWidgetItem*> pending{rootItem()};
    QTreeWidgetItem* current = view.treeCurrent ? nullptr : rootItem();
    while (!pending.empty()) {
        QTreeWidgetItem* item = pending.back();
        pending.pop_back();
        if (item->parent() && entryOf(item) == view.treeCurrent)
            current = item;
        if (item->parent())
            item->setExpanded(open.contains(entryOf(item)));
        for (int i = 0; i < item->childCount(); ++i)
            pending.push_back(item->child(i));
    }
    setCurrentItem(current ? current : rootItem());
    QCoreApplication::removePostedEvents(this, ShowSelectedGroupEvent());
    showPending_ = false;
    if (view.treeShowPending)
        onSelectionChanged(); // the list is told later, as it was going to be
    scrollToItem(currentItem());
}

QTreeWidgetItem* CTlwTreeView::findGroupItem(const EntryNode* entry) const {
    std::vector<QTreeWidgetItem*> pending;
    for (int i = topLevelItemCount() - 1; i >= 0; --i)
        pending.push_back(topLevelItem(i));
    while (!pending.empty()) {
        QTreeWidgetItem* item = pending.back();
        pending.pop_back();
        if (entryOf(item) == entry && item->parent())
            return item;
        for (int i = item->childCount() - 1; i >= 0; --i)
            pending.push_back(item->child(i));
    }
    return nullptr;
}

// The list is told later, from the event loop, as a posted message would tell it. The entry
// is looked up only then: a pointer taken now could be freed by the time the message is
// handled (a book opened in between), and a burst of changes shows the last one only.
void CTlwTreeView::onSelectionChanged() {
    if (showPending_)
        return;
    showPending_ = true;
    QCoreApplication::postEvent(this, new QEvent(ShowSelectedGroupEvent()));
}

void CTlwTreeView::showSelectedGroupLater() {
    showPending_ = false;
    if (QTreeWidgetItem* item = currentItem())
        sendToFrame(UM_SHOWGROUP, entryOf(item));
}

void CTlwTreeView::sendToFrame(int message, EntryNode* entry) {
    PaneMessageEvent event(message, entry);
    QCoreApplication::sendEvent(window(), &event);
}

bool CTlwTreeView::event(QEvent* event) {
    if (event->type() == ShowSelectedGroupEvent()) {
        showSelectedGroupLater();
        return true;
    }
    if (event->type() == PaneMessageEvent::type()) {
        handlePaneMessage(static_cast<PaneMessageEvent&>(*event));
        return true;
    }
    // The frame relays a drag's mouse to the pane itself, not to its viewport.
    if ((event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonRelease) &&
        takeRelayedMouse(*this, static_cast<QMouseEvent*>(event)))
        return true;
    return QTreeWidget::event(event);
}

void CTlwTreeView::handlePaneMessage(PaneMessageEvent& message) {
    switch (message.message) {
    case UM_REFRESHGROUP:
        refreshGroup(message.entry());
        break;
    case UM_RENAMEGROUP:
        renameGroup(message.entry());
        break;
    case UM_DELETEGROUP:
        DeleteItemTree(findGroupItem(message.entry()));
        break;
    case UM_SELECTGROUP:
        selectGroup(message.entry());
        break;
    case UM_SHOWFOUNDGROUP:
        showFoundGroup(message.entry());
        break;
    case UM_MOVEGROUPAFTER:
    case UM_MOVEGROUPINTO:
        moveGroupItem(message);
        break;
    default:
        break;
    }
    message.result = 0;
}

void CTlwTreeView::refreshGroup(EntryNode* entry) {
    if (!entry)
        return;
    EntryNode* group = entry->parent;
    QTreeWidgetItem* item = group ? findGroupItem(group) : rootItem();
    if (!item)
        return;
    while (item->childCount() > 0)
        DeleteItemTree(item->child(item->childCount() - 1));
    insertGroupItems(group ? group->firstChild : document_.tree.first, item);
}

void CTlwTreeView::renameGroup(EntryNode* entry) {
    if (QTreeWidgetItem* item = findGroupItem(entry))
        item->setText(0, DisplayText(entry->Name()));
}

void CTlwTreeView::selectGroup(EntryNode* entry) {
    if (QTreeWidgetItem* item = findGroupItem(entry)) {
        setCurrentItem(item);
        scrollToItem(item);
    }
}

// Selects the group's item, or the root item for the top level; scrolling to it expands
// the items above it.
void CTlwTreeView::showFoundGroup(EntryNode* group) {
    QTreeWidgetItem* item = group ? findGroupItem(group) : rootItem();
    if (!item)
        return;
    setCurrentItem(item);
    scrollToItem(item);
}

void CTlwTreeView::moveGroupItem(const PaneMessageEvent& message) {
    const GroupMoveRequest* request = message.moveRequest();
    if (!request)
        return;
    QTreeWidgetItem* moved = findGroupItem(request->moved);
    QTreeWidgetItem* anchor = findGroupItem(request->anchor);
    // An anchor inside the moved subtree would make the subtree its own descendant.
    if (!moved || !anchor || isSelfOrAncestor(anchor, moved))
        return;
    copyItemTree(moved, anchor, message.message == UM_MOVEGROUPAFTER ? After : IntoOrAfter);
    DeleteItemTree(moved);
}

// Re-creates source with its subtree at a place relative to anchor; the subtree moves over
// whole, and the new item comes back collapsed. The emptied source is the caller's to delete.
QTreeWidgetItem* CTlwTreeView::copyItemTree(QTreeWidgetItem* source, QTreeWidgetItem* anchor,
                                            int place) {
    auto* copy = new QTreeWidgetItem(QStringList{source->text(0)});
    copy->setIcon(0, source->icon(0));
    copy->setData(0, Qt::UserRole, source->data(0, Qt::UserRole));
    copy->setFlags(source->flags());
    QTreeWidgetItem* anchorParent = anchor->parent();
    const EntryNode* anchorEntry = entryOf(anchor);
    const bool afterAnchor =
        place == After || (place == IntoOrAfter && anchorParent && !anchorEntry->IsGroup());
    if (afterAnchor && anchorParent)
        anchorParent->insertChild(anchorParent->indexOfChild(anchor) + 1, copy);
    else if (afterAnchor)
        insertTopLevelItem(indexOfTopLevelItem(anchor) + 1, copy);
    else if (place == LastChild)
        anchor->addChild(copy);
    else
        anchor->insertChild(0, copy);
    const QList<QTreeWidgetItem*> children = source->takeChildren();
    copy->addChildren(children);
    return copy;
}
