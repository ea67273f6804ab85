#pragma once

#include <QLineEdit>
#include <QStyledItemDelegate>

#include <functional>
#include <limits>

// Hands a finished in-place edit to the pane instead of writing it into the model, so the
// entry, not only the label, takes the new name. Escape ends the edit without a call.
class NameEditDelegate : public QStyledItemDelegate {
public:
    using Commit = std::function<void(const QModelIndex&, const QString&)>;
    NameEditDelegate(Commit commit, QObject* parent)
        : QStyledItemDelegate(parent), commit_(std::move(commit)) {}

    // A name has no length limit: the line edit's own (32767) would cut a longer one short
    // when the edit starts, and store it cut even if the user changed nothing.
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setMaxLength(std::numeric_limits<int>::max());
        return editor;
    }
    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        commit_(index, editor->property("text").toString());
    }

private:
    Commit commit_;
};
