#pragma once

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

#include <functional>

// Hands a finished in-place edit to the pane instead of writing it into the model, so the
// entry, not only the label, takes the new name. Escape ends the edit without a call. A name
// the pane refuses is not lost: once the edit has closed, the pane shows why, and the editor
// opens again on the same item holding the text as typed.
class NameEditDelegate : public QStyledItemDelegate {
public:
    // Stores text typed for the item; the reason it was refused, or empty when it was stored.
    using Commit = std::function<QString(const QModelIndex&, const QString&)>;
    // Tells the user why (through the pane's prompter).
    using Explain = std::function<void(const QString&)>;
    NameEditDelegate(Commit commit, Explain explain, QObject* parent);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override;

protected:
    // The edit stays open while another window is active: a question box of the program, or
    // another application, is no reason to store or drop what is being typed.
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    void explainAndEditAgain();

    Commit commit_;
    Explain explain_;
    // The refused text, its item and the reason, from the refusal until the editor is back.
    mutable QPersistentModelIndex refusedItem_;
    mutable QString refusedText_;
    mutable QString refusal_;
};
