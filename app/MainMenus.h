#pragma once

#include <QObject>

class CMainFrame;
class CommandRouter;
class QAction;
class QMenu;
class RecentFileList;

// Builds the frame's menus, toolbar buttons and shortcuts, one QAction per command shared
// by all three, and keeps the recent-file items of the File menu current.
class MainMenus : public QObject {
    Q_OBJECT

public:
    MainMenus(CMainFrame& frame, CommandRouter& router, const RecentFileList& recentFiles);

    QMenu* fileMenu() const { return fileMenu_; }
    // Re-creates the recent-file items (or the greyed placeholder) from the list.
    void refreshRecentFiles();
    // Names the step that undo and redo would take in their items; empty: no name.
    void nameUndoSteps(const QString& undoName, const QString& redoName);

private:
    QAction* command(int id, const QString& menuText = {});
    void buildMenus();
    void buildToolBar();
    void addShortcuts();

    CMainFrame& frame_;
    CommandRouter& router_;
    const RecentFileList& recentFiles_;
    QMenu* fileMenu_ = nullptr;
    QAction* recentPlaceholder_ = nullptr;
    QList<QAction*> recentActions_;
};
