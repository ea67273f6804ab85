#include "FindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>

FindBar::FindBar(QWidget* parent)
    : QWidget(parent), text_(new QLineEdit(this)), count_(new QLabel(this)) {
    setObjectName(QStringLiteral("findBar"));
    text_->setObjectName(QStringLiteral("findText"));
    text_->setPlaceholderText(QStringLiteral("名前またはアドレス"));
    text_->installEventFilter(this);
    normalPalette_ = text_->palette();
    count_->setObjectName(QStringLiteral("findCount"));
    showCount(0, 0);

    QToolButton* previous = makeButton(QStringLiteral("前へ"), QStringLiteral("findPrevious"));
    QToolButton* next = makeButton(QStringLiteral("次へ"), QStringLiteral("findNext"));
    QToolButton* close = makeButton(QString(), QStringLiteral("findClose"));
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setToolTip(QStringLiteral("閉じる"));
    connect(previous, &QToolButton::clicked, this, &FindBar::previousRequested);
    connect(next, &QToolButton::clicked, this, &FindBar::nextRequested);
    connect(close, &QToolButton::clicked, this, &FindBar::closeRequested);
    connect(text_, &QLineEdit::textChanged, this, &FindBar::textChanged);

    // F3 works wherever the focus is in the window, while the bar is shown.
    auto* f3 = new QShortcut(QKeySequence(Qt::Key_F3), this);
    auto* shiftF3 = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this);
    connect(f3, &QShortcut::activated, this, &FindBar::nextRequested);
    connect(shiftF3, &QShortcut::activated, this, &FindBar::previousRequested);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(text_, 1);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(count_);
    layout->addWidget(close);
}

QToolButton* FindBar::makeButton(const QString& text, const QString& name) {
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setText(text);
    button->setFocusPolicy(Qt::NoFocus); // Enter and the text stay with the text box
    return button;
}

QString FindBar::text() const {
    return text_->text();
}

void FindBar::focusText() {
    text_->selectAll();
    text_->setFocus(Qt::ShortcutFocusReason);
}

void FindBar::clearCount() {
    count_->clear();
}

void FindBar::showCount(qsizetype current, qsizetype total) {
    if (total == 0)
        count_->setText(QStringLiteral("0 / 0"));
    else if (current > 0)
        count_->setText(QStringLiteral("%1 / %2").arg(current).arg(total));
    else
        count_->setText(QStringLiteral("- / %1").arg(total));
}

void FindBar::showNotFound(bool notFound) {
    if (!notFound) {
        text_->setPalette(normalPalette_);
        return;
    }
    QPalette palette = normalPalette_;
    palette.setColor(QPalette::Base, QColor(0xFF, 0x66, 0x66));
    palette.setColor(QPalette::Text, Qt::white);
    text_->setPalette(palette);
}

// Enter goes to the next match and Shift+Enter to the previous one.
bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched != text_ || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if (key->modifiers() & Qt::ShiftModifier)
        emit previousRequested();
    else
        emit nextRequested();
    return true;
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        emit closeRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}
