#pragma once

#include "DocumentPane.h"

#include <QTreeView>

class CTellwickDoc;
class Prompter;
class EntryListModel;
class PaneMessageEvent;
struct EntryNode;

// The right pane: the entries of one group, one row per entry in chain order, with the
// columns "名前" and "アドレス". It shows whatever the last UM_SHOWGROUP named.
class CTlwListView : public QTreeView, public DocumentPane {
    Q_OBJECT

public:
    CTlwListView(CTellwickDoc& document, Prompter& prompter, QWidget* parent = nullptr);

    void onInitialUpdate() override;
    EntryListModel& rows() const { return *rows_; }
    // The first row holding the focus, or -1: the entry every one-entry command works on.
    int currentRow() const;

protected:
    bool event(QEvent* event) override;

private:
    void showGroup(EntryNode* group);
    bool takeDragEvent(QEvent* event);

    EntryListModel* rows_;
    int dropRow_ = -1;
};
