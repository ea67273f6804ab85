#pragma once

#include "framework/CommandTarget.h"

#include <QMainWindow>

class QLabel;
class QSplitter;
class QToolBar;

// The one top-level window: menu, toolbar, status bar and a one-row, two-column splitter
// with the group tree on the left and the entry list on the right. The panes never call
// each other: the frame hands each pane message to the pane that must act on it, and
// during a drag it holds the mouse and passes moves and the release to the pane under the
// cursor.
class CMainFrame : public QMainWindow, public CommandTarget {
    Q_OBJECT

public:
    CMainFrame(QWidget* leftPane, QWidget* rightPane, QWidget* parent = nullptr);

    QWidget* pane(int column) const;
    QToolBar* toolBar() const { return toolBar_; }
    void setDocumentTitle(const QString& title);
    // Puts a bar below the panes, above the status bar, as wide as both.
    void addBottomBar(QWidget* bar);

signals:
    void filesDropped(const QStringList& paths);
    void closeRequested(bool* accept);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createStatusBar();
    void createToolBar();
    void registerCommands();
    void relayMouse(QMouseEvent* event);
    void setInitialPaneWidths();
    void resizeToFitScreen(const QSize& wanted);
    void showPrompt(const QString& prompt);
    void focusOtherPane();

    QSplitter* splitter_;
    QWidget* clientArea_; // the splitter, and bars added below it
    QToolBar* toolBar_ = nullptr;
    QLabel* messagePane_ = nullptr;
    bool panesSized_ = false;
    bool relaying_ = false;
};
