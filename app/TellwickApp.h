#pragma once

#include "CommandLine.h"
#include "framework/CommandTarget.h"
#include "framework/ProfileFile.h"
#include "framework/RecentFileList.h"

#include <QObject>
#include <QPointer>

#include <memory>

class BookFinder;
class BookPrinting;
class CMainFrame;
class CTellwickDoc;
class RecoveryKeeper;
class BookLockKeeper;
class CTlwListView;
class CTlwTreeView;
class CommandRouter;
class DocumentManager;
class MainMenus;
class PaneViewKeeper;
class Prompter;
class ShellServer;
struct PrintTarget;
struct ShellRequest;

// The application: restores the recent files, ties document, frame and panes together,
// carries out the command line, and answers the application-level commands.
class CTellwickApp : public QObject, public CommandTarget {
    Q_OBJECT

public:
    CTellwickApp(Prompter& prompter, QString profilePath, QObject* parent = nullptr);
    ~CTellwickApp() override;

    // Start-up; false means the program ends at once (printing done, or a file that could
    // not be opened).
    bool initInstance(const QStringList& arguments);
    // Writes the recent-file list back to the profile; a profile that could not be read is
    // left alone, with a line on standard error.
    void exitInstance();

    CMainFrame& frame() const { return *frame_; }
    CTellwickDoc& document() const { return *document_; }
    DocumentManager& documents() const { return *documents_; }
    CommandRouter& router() const { return *router_; }
    RecentFileList& recentFiles() { return recentFiles_; }
    CTlwTreeView& treePane() const { return *tree_; }
    CTlwListView& listPane() const { return *list_; }
    BookFinder& finder() const { return *finder_; }

    // Whether start-up ended because the command line asked to print.
    bool startedToPrint() const {
        return pendingPrint_.shellCommand == CommandLineInfo::ShellCommand::Print ||
               pendingPrint_.shellCommand == CommandLineInfo::ShellCommand::PrintTo;
    }
    // The exit status of a program whose start-up returned false: 0 only when it was started
    // to print and printed.
    int startUpExitCode() const { return startedToPrint() && printedAtStartUp_ ? 0 : 1; }
    // Opens each file in turn, each after the question about unsaved changes.
    void openDroppedFiles(const QStringList& paths);
    RecoveryKeeper& recovery() const { return *recovery_; }

private:
    void loadProfile();
    void createDocumentAndFrame();
    void registerCommands();
    void trackActivePane(QWidget* nowFocused);
    QList<CommandTarget*> commandChain() const;
    bool runShellCommand(const CommandLineInfo& info);
    bool printAtStartUp(const CommandLineInfo& info);
    bool printFile(const QString& path, const PrintTarget& target);
    bool serveShellRequests();
    void onShellRequest(const ShellRequest& request);
    void openFromShell(const QString& path);
    void showAbout();

    Prompter& prompter_;
    QString profilePath_;
    ProfileFile profile_;
    bool profileReadable_ = true; // false: exists but could not be read, so never written
    RecentFileList recentFiles_;
    int previewPages_ = 0;
    std::unique_ptr<BookPrinting> printing_;
    std::unique_ptr<CTellwickDoc> document_;
    std::unique_ptr<DocumentManager> documents_;
    std::unique_ptr<CMainFrame> frame_;
    CTlwTreeView* tree_ = nullptr;
    CTlwListView* list_ = nullptr;
    CommandRouter* router_ = nullptr;
    MainMenus* menus_ = nullptr;
    BookFinder* finder_ = nullptr;
    ShellServer* shellServer_ = nullptr;
    std::unique_ptr<PaneViewKeeper> viewKeeper_;
    QPointer<QWidget> activePane_;
    CommandLineInfo pendingPrint_;
    bool printedAtStartUp_ = false;
    std::unique_ptr<BookLockKeeper> locks_;
    std::unique_ptr<RecoveryKeeper> recovery_; // goes first: it reads the document
};
