#pragma once

#include <QStyledItemDelegate>

#include <functional>

// Hands a finished in-place edit to the pane instead of writing it into the model, so the
// entry, not only the label, takes the new name. Escape ends the edit without a call.
class NameEditDelegate : public QStyledItemDelegate {
public:
    using Commit = std::function<void(const QModelIndex&, const QString&)>;
    NameEditDelegate(Commit commit, QObject* parent)
        : QStyledItemDelegate(parent), commit_(std::move(commit)) {}

    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        commit_(index, editor->property("text").toString());
    }

private:
    Commit commit_;
};
