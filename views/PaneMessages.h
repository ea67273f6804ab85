#pragma once

#include "model/EntryNode.h"

#include <QEvent>

// The private messages by which the panes keep each other up to date. They always travel
// through the main window, which hands each one to the pane that must act on it.
enum PaneMessage : int {
    UM_SHOWGROUP = 0x401,      // to the list: show the children of lParam (null: top level)
    UM_REFRESHGROUP = 0x402,   // to the tree: re-create group items under lParam's parent
    UM_RENAMEGROUP = 0x403,    // to the tree: relabel lParam's item
    UM_DELETEGROUP = 0x404,    // to the tree: delete lParam's item with its subtree
    UM_SELECTGROUP = 0x405,    // to the tree: select lParam's item
    UM_MOVEGROUPAFTER = 0x406, // to the tree: re-create request->moved after request->anchor
    UM_MOVEGROUPINTO = 0x407,  // to the tree: the same, as anchor's first child
    // Finding: bring a found entry into sight without changing the book.
    UM_SHOWFOUNDGROUP = 0x408, // to the tree: select lParam's item (null: the root item)
    UM_SHOWFOUNDENTRY = 0x409, // to the list: show lParam's chain, its row current and selected
};

// Which pane a message is for: 0 the tree on the left, 1 the list on the right.
inline int PaneOfMessage(int message) {
    return message == UM_SHOWGROUP || message == UM_SHOWFOUNDENTRY ? 1 : 0;
}

// The record that UM_MOVEGROUPAFTER and UM_MOVEGROUPINTO point at; owned by the sender.
struct GroupMoveRequest {
    void* reserved1 = nullptr;
    void* reserved2 = nullptr;
    EntryNode* anchor = nullptr;
    EntryNode* moved = nullptr;
};

// A pane message as a Qt event: its number and what it is about, typed. The move messages
// carry their request, every other message an entry (or null).
class PaneMessageEvent : public QEvent {
public:
    PaneMessageEvent(int message, EntryNode* entry)
        : QEvent(type()), message(message), entry_(entry) {}
    PaneMessageEvent(int message, GroupMoveRequest& request)
        : QEvent(type()), message(message), request_(&request) {}

    static QEvent::Type type() {
        static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
        return registered;
    }
    EntryNode* entry() const { return entry_; }
    GroupMoveRequest* moveRequest() const { return request_; }
    // The same message, for the frame to hand on to a pane.
    PaneMessageEvent relayed() const {
        return request_ ? PaneMessageEvent(message, *request_) : PaneMessageEvent(message, entry_);
    }

    const int message;
    qintptr result = 0;

private:
    EntryNode* entry_ = nullptr;
    GroupMoveRequest* request_ = nullptr;
};
