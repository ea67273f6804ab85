#include "DocumentManager.h"

#include "FileErrors.h"
#include "PathNames.h"
#include "RecentFileList.h"
#include "StandardCommands.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>

namespace {

const QString kSaveFailed = QStringLiteral("ﾄﾞｷｭﾒﾝﾄの保存に失敗しました。");
const QString kInvalidName = QStringLiteral("無効なﾌｧｲﾙ名です。");

bool IsBadName(int error) {
    return error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG || error == EINVAL;
}

} // namespace

DocumentManager::DocumentManager(Document& document, Prompter& prompter,
                                 RecentFileList& recentFiles, DocumentTemplate docTemplate,
                                 QObject* parent)
    : QObject(parent), document_(document), prompter_(prompter), recentFiles_(recentFiles),
      template_(std::move(docTemplate)) {
    onCommand(ID_FILE_SAVE, [this] { fileSave(); });
    onCommand(ID_FILE_SAVE_AS, [this] { saveAs(); });
}

QList<FileFilter> DocumentManager::fileFilters() const {
    return {{template_.filterName, ExtensionPatterns(template_.filterExtension)},
            {QStringLiteral("すべてのﾌｧｲﾙ (*.*)"), {QStringLiteral("*")}}};
}

QList<FileFilter> DocumentManager::openFilters() const {
    QList<FileFilter> filters = fileFilters();
    if (importer_) {
        const FileFilter all = filters.takeLast();
        filters << importer_->filters() << all;
    }
    return filters;
}

Prompter::Answer DocumentManager::ask(const QString& text, Prompter::Buttons buttons,
                                      Prompter::Icon icon, Prompter::Answer defaultAnswer) {
    return prompter_.ask(dialogParent_, QCoreApplication::applicationName(), text, buttons, icon,
                         defaultAnswer);
}

bool DocumentManager::saveModified() {
    if (!document_.isModified())
        return true;
    const QString text = QStringLiteral("%1 への変更を保存しますか？").arg(document_.title());
    switch (
        ask(text, Prompter::Buttons::YesNoCancel, Prompter::Icon::Warning, Prompter::Answer::Yes)) {
    case Prompter::Answer::Yes:
        return fileSave();
    case Prompter::Answer::No:
        return true;
    default:
        return false;
    }
}

bool DocumentManager::fileNew() {
    if (!saveModified())
        return false;
    if (!document_.onNewDocument())
        return false;
    document_.sendInitialUpdate();
    return true;
}

bool DocumentManager::fileOpen() {
    const QString path =
        prompter_.chooseOpenFile(dialogParent_, QStringLiteral("開く"), openFilters());
    return !path.isEmpty() && openDocumentFile(path);
}

bool DocumentManager::openDocumentFile(const QString& path) {
    if (!saveModified())
        return false;
    return openWithoutAsking(path, false);
}

bool DocumentManager::openRecentFile(int index) {
    if (index < 0 || index >= recentFiles_.count())
        return false;
    // Taken now: saving in the question below puts a new file at the front of the list.
    const QString path = recentFiles_.path(index);
    if (!saveModified())
        return false;
    return openWithoutAsking(path, true);
}

bool DocumentManager::openWithoutAsking(const QString& path, bool dropFromRecentOnFailure) {
    if (importer_ && importer_->imports(path))
        return importWithoutAsking(path, dropFromRecentOnFailure);
    if (openGuard_ && !openGuard_(path))
        return false;
    const FileResult result = document_.openDocument(path);
    if (!result.ok()) {
        reportOpenFailure(path, result);
        if (dropFromRecentOnFailure)
            dropRecent(path);
        return false;
    }
    document_.sendInitialUpdate();
    rememberRecent(document_.pathName());
    return true;
}

// The imported file is kept in the recent list under its own name: choosing it there imports
// it again, as opening it did.
bool DocumentManager::importWithoutAsking(const QString& path, bool dropFromRecentOnFailure) {
    switch (importer_->importFile(path, dialogParent_)) {
    case DocumentImporter::Outcome::Imported:
        document_.becomeImported();
        document_.sendInitialUpdate();
        rememberRecent(AbsolutePathName(path));
        return true;
    case DocumentImporter::Outcome::Failed:
        if (dropFromRecentOnFailure)
            dropRecent(path);
        return false;
    case DocumentImporter::Outcome::Declined:
        return false;
    }
    return false;
}

void DocumentManager::dropRecent(const QString& path) {
    recentFiles_.remove(recentFiles_.indexOf(path));
    emit recentFilesChanged();
}

bool DocumentManager::fileSave() {
    if (document_.pathName().isEmpty())
        return saveAs();
    if (!confirmOverwriteChangedFile())
        return false;
    return saveTo(document_.pathName());
}

bool DocumentManager::confirmOverwriteChangedFile() {
    if (!document_.fileChangedOnDisk())
        return true;
    const QString text = QStringLiteral("%1 は他のプログラムによって変更されています。\n"
                                        "上書きして保存しますか？")
                             .arg(document_.pathName());
    return ask(text, Prompter::Buttons::YesNo, Prompter::Icon::Warning, Prompter::Answer::No) ==
           Prompter::Answer::Yes;
}

QString DocumentManager::proposedSaveName() const {
    QString name = document_.title();
    const qsizetype cut = name.indexOf(QRegularExpression(QStringLiteral("[ #%;/\\\\]")));
    if (cut >= 0)
        name.truncate(cut);
    return name + template_.filterExtension;
}

bool DocumentManager::saveAs() {
    QString path = prompter_.chooseSaveFile(dialogParent_, QStringLiteral("名前を付けて保存"),
                                            proposedSaveName(), fileFilters());
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty()) {
        path += template_.typedExtension;
        // The dialog confirmed the name as typed; the extension may now hit another file.
        if (!confirmOverwriteExisting(path))
            return false;
    }
    return saveTo(path);
}

bool DocumentManager::confirmOverwriteExisting(const QString& path) {
    if (!QFileInfo::exists(path))
        return true;
    const QString text = QStringLiteral("%1 は既に存在します。\n上書きしますか？").arg(path);
    return ask(text, Prompter::Buttons::YesNo, Prompter::Icon::Warning, Prompter::Answer::No) ==
           Prompter::Answer::Yes;
}

bool DocumentManager::saveTo(const QString& path) {
    const FileResult result = document_.saveDocument(path);
    if (!result.ok()) {
        reportSaveFailure(path, result);
        return false;
    }
    rememberRecent(document_.pathName());
    return true;
}

void DocumentManager::reportOpenFailure(const QString& path, const FileResult& result) {
    ask(OpenFailureText(path, result.error), Prompter::Buttons::Ok, Prompter::Icon::Warning,
        Prompter::Answer::Ok);
}

void DocumentManager::reportSaveFailure(const QString& path, const FileResult& result) {
    const bool badName =
        result.status == FileResult::Status::CreateFailed && IsBadName(result.error);
    ask(FileErrorText(badName ? kInvalidName : kSaveFailed, path, result.error),
        Prompter::Buttons::Ok, Prompter::Icon::Warning, Prompter::Answer::Ok);
}

void DocumentManager::rememberRecent(const QString& path) {
    // The profile is UTF-8 text: a name that is not would come back as another name.
    if (HasRawPathBytes(path))
        return;
    recentFiles_.add(path);
    emit recentFilesChanged();
}
