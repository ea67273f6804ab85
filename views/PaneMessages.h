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

// A pane message as a Qt event: number, wParam and lParam, exactly as sent.
class PaneMessageEvent : public QEvent {
public:
    PaneMessageEvent(int message, quintptr wParam, quintptr lParam)
        : QEvent(type()), message(message), wParam(wParam), lParam(lParam) {}
    PaneMessageEvent(int message, EntryNode* entry)
        : PaneMessageEvent(message, 0, reinterpret_cast<quintptr>(entry)) {}

    static QEvent::Type type() {
        static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
        return registered;
    }
    EntryNode* entry() const { return reinterpret_cast<EntryNode*>(lParam); }
    GroupMoveRequest* moveRequest() const { return reinterpret_cast<GroupMoveRequest*>(lParam); }

    const int message;
    const quintptr wParam;
    const quintptr lParam;
    qintptr result = 0;
};
