#pragma once

// The real application window over a book written to a temporary file, with every box
// answered by a scripted prompter, and helpers to look at both panes and the saved bytes.
#include "app/MainFrame.h"
#include "app/TellwickApp.h"
#include "document/TellwickDoc.h"
#include "file/BookFormat.h"
#include "framework/CommandRouter.h"
#include "tests/support/ScriptedPrompter.h"
#include "views/EntryListModel.h"
#include "views/TlwListView.h"
#include "views/TlwTreeView.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <sstream>

inline QByteArray WrittenBook(const CTellwickDoc& doc) {
    std::ostringstream out;
    WriteBook(out, doc.tree);
    return QByteArray::fromStdString(out.str());
}

inline QStringList ChildLabels(const QTreeWidgetItem* item) {
    QStringList labels;
    for (int i = 0; i < item->childCount(); ++i)
        labels << item->child(i)->text(0);
    return labels;
}

// Test classes derive from it (and declare Q_OBJECT themselves).
class PaneFixture : public QObject {
protected:
    QTemporaryDir dir_;
    std::unique_ptr<ScriptedPrompter> prompter_;
    std::unique_ptr<CTellwickApp> app_;

    QString writeFile(const QString& name, const QByteArray& bytes) {
        QFile file(dir_.filePath(name));
        [&] { QVERIFY(file.open(QIODevice::WriteOnly)); }();
        file.write(bytes);
        return file.fileName();
    }
    CTellwickApp& open(const QByteArray& book) {
        const QString path = writeFile(QStringLiteral("book.tlw"), book);
        prompter_ = std::make_unique<ScriptedPrompter>();
        app_ = std::make_unique<CTellwickApp>(*prompter_, dir_.filePath("tellwick.INI"));
        [&] { QVERIFY(app_->initInstance({path})); }();
        app_->frame().show();
        QApplication::setActiveWindow(&app_->frame());
        app_->treePane().setFocus();
        QCoreApplication::processEvents(); // the list is told from the event loop
        return *app_;
    }
    void closeApp() {
        app_.reset();
        prompter_.reset();
    }
    CTlwTreeView& tree() { return app_->treePane(); }
    CTlwListView& list() { return app_->listPane(); }
    // The first item with that label in pre-order, walked without recursion.
    QTreeWidgetItem* item(const QString& label) {
        QList<QTreeWidgetItem*> pending{tree().rootItem()};
        while (!pending.isEmpty()) {
            QTreeWidgetItem* item = pending.takeLast();
            if (item->text(0) == label)
                return item;
            for (int i = item->childCount() - 1; i >= 0; --i)
                pending << item->child(i);
        }
        return nullptr;
    }
    void select(const QString& label) {
        tree().setCurrentItem(item(label));
        QCoreApplication::processEvents(); // the list is told from the event loop
    }
    bool enabled(int id) {
        app_->router().updateAll();
        return app_->router().stateOf(id).enabled;
    }
    QStringList listColumn(int column) {
        QStringList texts;
        const EntryListModel& rows = list().rows();
        for (int row = 0; row < rows.rowCount(); ++row)
            texts << rows.index(row, column).data().toString();
        return texts;
    }
    QStringList listNames() { return listColumn(EntryListModel::NameColumn); }
    // A mouse event as the frame receives it while it holds the mouse, at a point given in
    // the coordinates of `from`.
    void sendToFrame(QEvent::Type type, QWidget* from, const QPoint& point) {
        CMainFrame& frame = app_->frame();
        const QPoint global = from->mapToGlobal(point);
        QMouseEvent event(type, frame.mapFromGlobal(global), global,
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          type == QEvent::MouseMove ? Qt::LeftButton : Qt::NoButton, {});
        QCoreApplication::sendEvent(&frame, &event);
    }
    // The in-place editor open in a view, if any.
    static QLineEdit* openEditor(QAbstractItemView& view) {
        for (QLineEdit* edit : view.viewport()->findChildren<QLineEdit*>()) {
            if (edit->isVisible())
                return edit;
        }
        return nullptr;
    }
    // A point on an item's label. The item's rect spans the column, which a deeply nested
    // book makes far wider than the pane.
    QPoint itemPoint(QTreeWidgetItem* item) {
        const QRect rect = tree().visualItemRect(item);
        return {rect.left() + std::min(rect.width() / 2, 10), rect.center().y()};
    }
    // Presses on a tree item and moves far enough for the tree to start dragging it.
    void startTreeDrag(QTreeWidgetItem* source) {
        QWidget* viewport = tree().viewport();
        const QPoint from = itemPoint(source);
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        const QPoint farther = from + QPoint(QApplication::startDragDistance() + 5, 0);
        QMouseEvent move(QEvent::MouseMove, farther, viewport->mapToGlobal(farther), Qt::NoButton,
                         Qt::LeftButton, {});
        QCoreApplication::sendEvent(viewport, &move);
        [&] { QVERIFY(app_->document().dragging); }();
        [&] { QCOMPARE(QWidget::mouseGrabber(), &app_->frame()); }();
    }
    QPoint rowCenter(int row) { return list().visualRect(list().rows().index(row, 0)).center(); }
    // Presses on a row and moves far enough for the view to start a drag of the selection.
    void startListDrag(int row) {
        QWidget* viewport = list().viewport();
        const QPoint from = rowCenter(row);
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        for (int step = 1; step <= 2; ++step) {
            const QPoint to = from + QPoint(step * (QApplication::startDragDistance() + 2), 0);
            QMouseEvent move(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton,
                             Qt::LeftButton, {});
            QCoreApplication::sendEvent(viewport, &move);
        }
        [&] { QVERIFY(app_->document().dragging); }();
        [&] { QCOMPARE(QWidget::mouseGrabber(), &app_->frame()); }();
    }
    // Moves through the frame to a point of `over` and releases there.
    void releaseOver(QWidget* over, const QPoint& at) {
        sendToFrame(QEvent::MouseMove, over, at);
        sendToFrame(QEvent::MouseButtonRelease, over, at);
        verifyDragEnded();
    }
    void verifyDragEnded() {
        QVERIFY(!app_->document().dragging);
        QVERIFY(app_->document().dragList.empty());
        QVERIFY(!app_->document().dragImage);
        QVERIFY(!QWidget::mouseGrabber());
    }
};
