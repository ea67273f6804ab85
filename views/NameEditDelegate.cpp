#include "NameEditDelegate.h"

#include "AddressText.h"

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTimer>

NameEditDelegate::NameEditDelegate(Commit commit, Explain explain, QObject* parent)
    : QStyledItemDelegate(parent), commit_(std::move(commit)), explain_(std::move(explain)) {}

// Names longer than an editor takes are refused before an edit starts, so the limit never
// cuts a stored name; it only keeps a huge paste from freezing the window.
QWidget* NameEditDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->setMaxLength(int(kLongestEditedText));
    return editor;
}

void NameEditDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line && refusedItem_.isValid() && index == refusedItem_) {
        line->setText(refusedText_);
        refusedItem_ = QPersistentModelIndex();
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void NameEditDelegate::setModelData(QWidget* editor, QAbstractItemModel*,
                                    const QModelIndex& index) const {
    const QString text = editor->property("text").toString();
    const QString refusal = commit_(index, text);
    if (refusal.isEmpty())
        return;
    // Explained only after the editor has closed, from the event loop: a question box opened
    // inside the editor's own key or focus handling would run while it is being torn down.
    const bool queued = refusedItem_.isValid();
    refusedItem_ = index;
    refusedText_ = text;
    refusal_ = refusal;
    if (!queued) {
        auto* self = const_cast<NameEditDelegate*>(this);
        QTimer::singleShot(0, self, [self] { self->explainAndEditAgain(); });
    }
}

void NameEditDelegate::explainAndEditAgain() {
    const QPersistentModelIndex item = refusedItem_;
    explain_(refusal_);
    auto* view = qobject_cast<QAbstractItemView*>(parent());
    if (view && item.isValid() && refusedItem_ == item)
        view->edit(item);
    refusedItem_ = QPersistentModelIndex();
}

bool NameEditDelegate::eventFilter(QObject* object, QEvent* event) {
    if (event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() == Qt::ActiveWindowFocusReason)
        return false;
    return QStyledItemDelegate::eventFilter(object, event);
}
