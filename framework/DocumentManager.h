#pragma once

#include "CommandTarget.h"
#include "Document.h"
#include "DocumentImporter.h"
#include "Prompter.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class RecentFileList;

// The strings the file commands take from the document type.
struct DocumentTemplate {
    QString windowTitle;     // shown after the document title in the caption
    QString filterName;      // first entry of the open and save dialogs' type list
    QString filterExtension; // with "*", that entry's pattern; added to proposed names
    QString typedExtension;  // appended to a name typed without an extension
};

// New, Open, Save and the recent files for the one document, with the question about
// unsaved changes before anything replaces it. Failures are reported and change nothing.
// Every way of opening a file ends here, so the importer (when set) decides for all of them
// which files are imported as a new untitled document. As a command target it carries out
// Save for the document.
class DocumentManager : public QObject, public CommandTarget {
    Q_OBJECT

public:
    DocumentManager(Document& document, Prompter& prompter, RecentFileList& recentFiles,
                    DocumentTemplate docTemplate, QObject* parent = nullptr);

    void setDialogParent(QWidget* parent) { dialogParent_ = parent; }
    const DocumentTemplate& docTemplate() const { return template_; }
    // The save dialog's types; the open dialog offers the importer's too.
    QList<FileFilter> fileFilters() const;
    // Asked before a file is read as the document; false leaves the document as it is.
    void setOpenGuard(std::function<bool(const QString& path)> guard) {
        openGuard_ = std::move(guard);
    }
    void setImporter(std::unique_ptr<DocumentImporter> importer) {
        importer_ = std::move(importer);
    }

    bool fileNew();
    bool fileOpen();
    bool fileSave();
    bool openRecentFile(int index);
    // Opens a file as the document after the question about unsaved changes.
    bool openDocumentFile(const QString& path);
    // Asks about unsaved changes; false when the user cancelled or the save failed.
    bool saveModified();

signals:
    void recentFilesChanged();

private:
    bool saveAs();
    bool saveTo(const QString& path);
    bool confirmOverwriteChangedFile();
    bool confirmOverwriteExisting(const QString& path);
    QString proposedSaveName() const;
    QList<FileFilter> openFilters() const;
    bool openWithoutAsking(const QString& path, bool dropFromRecentOnFailure);
    bool importWithoutAsking(const QString& path, bool dropFromRecentOnFailure);
    void dropRecent(const QString& path);
    void reportOpenFailure(const QString& path, const FileResult& result);
    void reportSaveFailure(const QString& path, const FileResult& result);
    void rememberRecent(const QString& path);
    Prompter::Answer ask(const QString& text, Prompter::Buttons buttons, Prompter::Icon icon,
                         Prompter::Answer defaultAnswer);

    Document& document_;
    Prompter& prompter_;
    RecentFileList& recentFiles_;
    DocumentTemplate template_;
    QPointer<QWidget> dialogParent_;
    std::unique_ptr<DocumentImporter> importer_;
    std::function<bool(const QString& path)> openGuard_;
};
