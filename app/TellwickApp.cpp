#include "TellwickApp.h"

#include "AboutDlg.h"
#include "BookFinder.h"
#include "BookLockKeeper.h"
#include "CutSaveOffer.h"
#include "MainFrame.h"
#include "MainMenus.h"
#include "PaneViewKeeper.h"
#include "RecoveryKeeper.h"
#include "ShellRequestQueue.h"
#include "ShellServer.h"
#include "document/TellwickDoc.h"
#include "framework/CommandRouter.h"
#include "framework/DocumentManager.h"
#include "framework/PathNames.h"
#include "framework/Prompter.h"
#include "framework/StandardCommands.h"
#include "printing/BookPrinting.h"
#include "views/Artwork.h"
#include "views/Commands.h"
#include "views/ContactBookImporter.h"
#include "views/IncomingBook.h"
#include "views/TlwListView.h"
#include "views/TlwTreeView.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace {

const QString kRecentSection = QStringLiteral("Recent File List");
const QString kSettingsSection = QStringLiteral("Settings");
const QString kPreviewPagesKey = QStringLiteral("PreviewPages");

DocumentTemplate AddressBookTemplate() {
    return {QStringLiteral("アドレス帳"), QStringLiteral("アドレス帳 (*.tlw)"),
            QStringLiteral(".TLW"), QStringLiteral(".tlw")};
}

} // namespace

CTellwickApp::CTellwickApp(Prompter& prompter, QString profilePath, QObject* parent)
    : QObject(parent), prompter_(prompter), profilePath_(std::move(profilePath)) {}

CTellwickApp::~CTellwickApp() {
    // The panes are views of the document: they go before it does.
    document_->edits.setViewKeeper(nullptr);
    frame_.reset();
}

bool CTellwickApp::initInstance(const QStringList& arguments) {
    loadProfile();
    createDocumentAndFrame();
    const CommandLineInfo info = parseCommandLine(arguments);
    for (const QString& unknown : info.unknownSwitches)
        std::fprintf(stderr, "tellwick: unknown switch ignored: %s\n",
                     EncodePathBytes(unknown).constData());
    return runShellCommand(info);
}

void CTellwickApp::loadProfile() {
    profileReadable_ = profile_.load(profilePath_);
    recentFiles_.read(profile_);
    previewPages_ = profile_.intValue(kSettingsSection, kPreviewPagesKey, 0);
}

void CTellwickApp::exitInstance() {
    // Writing a profile that could not be read would throw away whatever it holds.
    if (!profileReadable_) {
        std::fprintf(stderr, "tellwick: settings not saved: %s\n",
                     profile_.loadError().toLocal8Bit().constData());
        return;
    }
    recentFiles_.write(profile_);
    if (previewPages_ != profile_.intValue(kSettingsSection, kPreviewPagesKey, 0))
        profile_.setValue(kSettingsSection, kPreviewPagesKey, QString::number(previewPages_));
    if (!profile_.save(profilePath_))
        std::fprintf(stderr, "tellwick: settings not saved: cannot write '%s'\n",
                     EncodePathBytes(profilePath_).constData());
}

void CTellwickApp::createDocumentAndFrame() {
    document_ = std::make_unique<CTellwickDoc>();
    recovery_ = std::make_unique<RecoveryKeeper>(*document_);
    locks_ = std::make_unique<BookLockKeeper>(*document_);
    documents_ = std::make_unique<DocumentManager>(*document_, prompter_, recentFiles_,
                                                   AddressBookTemplate());
    documents_->setImporter(std::make_unique<ContactBookImporter>(*document_, prompter_));
    // A book open in another window is opened only when the user says so; printing and
    // serving never ask.
    documents_->setOpenGuard([this](const QString& path) {
        return prompter_.unattended() || locks_->mayOpen(path, prompter_, frame_.get());
    });
    tree_ = new CTlwTreeView(*document_, prompter_);
    list_ = new CTlwListView(*document_, prompter_);
    printing_ = std::make_unique<BookPrinting>(prompter_);
    printing_->setPreviewPages(previewPages_);
    tree_->setPrinting(printing_.get());
    list_->setPrinting(printing_.get());
    frame_ = std::make_unique<CMainFrame>(tree_, list_);
    frame_->setWindowIcon(Artwork::applicationIcon());
    documents_->setDialogParent(frame_.get());
    activePane_ = tree_;
    router_ = new CommandRouter([this] { return commandChain(); }, frame_.get());
    menus_ = new MainMenus(*frame_, *router_, recentFiles_);
    finder_ = new BookFinder(*frame_, document_->tree, document_->edits);
    registerCommands();
    viewKeeper_ =
        std::make_unique<PaneViewKeeper>(*tree_, *list_, [this] { return activePane_.data(); });
    document_->edits.setViewKeeper(viewKeeper_.get());
    connect(&document_->edits, &BookEdits::historyChanged, menus_, [this] {
        menus_->nameUndoSteps(document_->edits.undoName(), document_->edits.redoName());
    });

    connect(document_.get(), &Document::titleChanged, frame_.get(), &CMainFrame::setDocumentTitle);
    frame_->setDocumentTitle(document_->title());
    connect(documents_.get(), &DocumentManager::recentFilesChanged, menus_,
            &MainMenus::refreshRecentFiles);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { trackActivePane(now); });
    connect(frame_.get(), &CMainFrame::filesDropped, this, &CTellwickApp::openDroppedFiles);
    connect(frame_.get(), &CMainFrame::closeRequested, this,
            [this](bool* accept) { *accept = documents_->saveModified(); });
}

void CTellwickApp::registerCommands() {
    onCommand(ID_APP_ABOUT, [this] { showAbout(); });
    onCommand(ID_FILE_NEW, [this] { documents_->fileNew(); });
    onCommand(ID_FILE_OPEN, [this] { documents_->fileOpen(); });
    onCommand(ID_APP_EXIT, [this] { frame_->close(); });
    onCommand(ID_FIND, [this] { finder_->open(); });
    for (int i = 0; i < recentFiles_.maxSize(); ++i)
        onCommand(ID_FILE_MRU_FILE1 + i, [this, i] { documents_->openRecentFile(i); });
}

// The active pane is the one that last had the focus; it answers commands first.
void CTellwickApp::trackActivePane(QWidget* nowFocused) {
    for (QWidget* w = nowFocused; w; w = w->parentWidget()) {
        if (w == tree_ || w == list_) {
            activePane_ = w;
            return;
        }
    }
}

QList<CommandTarget*> CTellwickApp::commandChain() const {
    QList<CommandTarget*> chain;
    if (activePane_ == tree_)
        chain << tree_;
    else if (activePane_ == list_)
        chain << list_;
    chain << documents_.get() << frame_.get() << const_cast<CTellwickApp*>(this);
    return chain;
}

bool CTellwickApp::runShellCommand(const CommandLineInfo& info) {
    using Shell = CommandLineInfo::ShellCommand;
    // Only a window run asks about saves that were cut and unsaved changes left behind;
    // printing and serving run unattended. A book brought back takes the place of the one
    // the command line named.
    if (info.shellCommand == Shell::New || info.shellCommand == Shell::Open) {
        OfferCutSaves(prompter_, frame_.get());
        if (recovery_->offerLeftCopies(prompter_, frame_.get())) {
            frame_->show();
            return true;
        }
    }
    switch (info.shellCommand) {
    case Shell::New:
        if (!documents_->fileNew())
            return false;
        frame_->show();
        return true;
    case Shell::Open:
        if (!documents_->openDocumentFile(info.fileName))
            return false;
        frame_->show();
        return true;
    case Shell::Print:
    case Shell::PrintTo:
        // The window stays hidden and the program ends once the book is printed; it may run
        // from a script, so no box waits for a click.
        prompter_.setUnattended(true);
        pendingPrint_ = info;
        printedAtStartUp_ = printAtStartUp(info);
        return false;
    case Shell::Dde:
        return serveShellRequests();
    }
    return false;
}

bool CTellwickApp::serveShellRequests() {
    QApplication::setQuitOnLastWindowClosed(false);
    auto* queue =
        new ShellRequestQueue([this](const ShellRequest& request) { onShellRequest(request); },
                              ShellRequestQueue::kCapacity, this);
    shellServer_ = new ShellServer(*queue, this);
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (shellServer_->listen(name))
        return true;
    std::fprintf(stderr, "tellwick: %s\n", shellServer_->errorString().toLocal8Bit().constData());
    return false;
}

bool CTellwickApp::printAtStartUp(const CommandLineInfo& info) {
    if (printFile(info.fileName, {info.printerName, info.driverName, info.portName}))
        return true;
    // Whoever started the program may be a script: it hears why from the unattended boxes.
    std::fprintf(stderr, "tellwick: not printed: %s\n", EncodePathBytes(info.fileName).constData());
    return false;
}

// Opens the book as the document, then prints it at once through the active pane, on the
// target's printer or the default one.
bool CTellwickApp::printFile(const QString& path, const PrintTarget& target) {
    if (!documents_->openDocumentFile(path))
        return false;
    printing_->setDirectTarget(target);
    const bool ran = router_->execute(ID_FILE_PRINT_DIRECT);
    printing_->setDirectTarget({});
    return ran && printing_->lastJobPrinted();
}

void CTellwickApp::onShellRequest(const ShellRequest& request) {
    const QStringList& args = request.arguments;
    switch (request.verb) {
    case ShellRequest::Verb::Open:
        openFromShell(args.value(0));
        return;
    case ShellRequest::Verb::Print:
        printFile(args.value(0), {});
        return;
    case ShellRequest::Verb::PrintTo:
        printFile(args.value(0), {args.value(1), args.value(2), args.value(3)});
        return;
    }
}

void CTellwickApp::openFromShell(const QString& path) {
    if (documents_->openDocumentFile(path)) {
        // The first request shows the window; closing it then ends the program.
        QApplication::setQuitOnLastWindowClosed(true);
        frame_->show();
        frame_->activateWindow();
    }
}

// A dropped contact file is not a book to open: it is offered for reading in at the
// selection, as the load command would read it.
void CTellwickApp::openDroppedFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        if (!IsContactFile(path))
            documents_->openDocumentFile(path);
        else if (prompter_.ask(frame_.get(), QCoreApplication::applicationName(),
                               QStringLiteral("%1\nを選択位置に読み込みますか?")
                                   .arg(QDir::toNativeSeparators(path)),
                               Prompter::Buttons::YesNo, Prompter::Icon::Question,
                               Prompter::Answer::Yes) == Prompter::Answer::Yes)
            list_->loadAtSelection(path);
    }
}

void CTellwickApp::showAbout() {
    CAboutDlg about(frame_.get());
    prompter_.runDialog(about);
}
