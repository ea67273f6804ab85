#pragma once

// Geometry checks of a dialog laid out at its own size, without looking at pixels: no two
// visible widgets overlap, each label sits left of the field it names, and every widget lies
// inside the dialog.
#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QStringList>

inline QStringList DialogLayoutProblems(QDialog& dialog) {
    dialog.ensurePolished();
    if (dialog.layout())
        dialog.layout()->activate();
    QStringList problems;
    QList<QWidget*> shown;
    for (QWidget* child : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isVisibleTo(&dialog) && !child->isWindow())
            shown << child;
    }
    const auto name = [](const QWidget* widget) {
        return widget->objectName().isEmpty()
                   ? QString::fromLatin1(widget->metaObject()->className())
                   : widget->objectName();
    };
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (!dialog.rect().contains(shown[i]->geometry()))
            problems << name(shown[i]) + QStringLiteral(" outside the dialog");
        for (qsizetype j = i + 1; j < shown.size(); ++j) {
            if (shown[i]->geometry().intersects(shown[j]->geometry()))
                problems << name(shown[i]) + QStringLiteral(" overlaps ") + name(shown[j]);
        }
        const auto* label = qobject_cast<QLabel*>(shown[i]);
        if (label && label->buddy() && label->geometry().right() >= label->buddy()->x())
            problems << name(label) + QStringLiteral(" not left of its field");
    }
    return problems;
}
