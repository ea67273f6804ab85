#include "BookLockKeeper.h"

#include "ShellSocketPlace.h"
#include "document/TellwickDoc.h"
#include "framework/PathNames.h"
#include "framework/Prompter.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

BookLockKeeper::BookLockKeeper(CTellwickDoc& document, QObject* parent)
    : QObject(parent), document_(document) {
    connect(&document_, &Document::titleChanged, this, &BookLockKeeper::follow);
    connect(&document_, &Document::modifiedChanged, this, &BookLockKeeper::follow);
    connect(&document_.edits, &BookEdits::bookChanged, this, [this](BookChange change) {
        if (change == BookChange::Replaced)
            follow();
    });
}

BookLockKeeper::~BookLockKeeper() {
    release();
}

// The runtime lock goes in the same private folder as the request server's socket; the
// lock beside the book only where this user may write the book's folder.
std::vector<std::string> BookLockKeeper::lockPaths(const QString& path) const {
    std::vector<std::string> paths;
    const std::string book = EncodePathBytes(path).toStdString();
    struct stat info {};
    if (path.isEmpty() || ::stat(book.c_str(), &info) != 0)
        return paths;
    if (const QString socket = ShellSocketPath(QStringLiteral("tellwick")); !socket.isEmpty())
        paths.push_back(RuntimeLockPath(EncodePathBytes(QFileInfo(socket).path()).toStdString(),
                                        info.st_dev, info.st_ino));
    const std::string side = SideLockPath(book);
    const std::string folder = side.substr(0, side.rfind('/'));
    if (::access(folder.c_str(), W_OK) == 0)
        paths.push_back(side);
    return paths;
}

std::optional<LockHolder> BookLockKeeper::otherHolder(const QString& path) const {
    std::vector<std::string> locks = lockPaths(path);
    // A shared folder this user may not write can still hold another user's lock.
    const std::string side = SideLockPath(EncodePathBytes(path).toStdString());
    if (std::find(locks.begin(), locks.end(), side) == locks.end())
        locks.push_back(side);
    for (const std::string& lock : locks) {
        LockHolder holder;
        if (ReadLock(lock, holder) && HeldByOther(holder))
            return holder;
    }
    return std::nullopt;
}

bool BookLockKeeper::mayOpen(const QString& path, Prompter& prompter, QWidget* parent) const {
    const std::optional<LockHolder> holder = otherHolder(path);
    if (!holder)
        return true;
    const QString question =
        QStringLiteral("このアドレス帳は別のウィンドウで開かれています (%1, %2)。開きますか?")
            .arg(QString::fromStdString(holder->user), QString::fromStdString(holder->host));
    return prompter.ask(parent, QCoreApplication::applicationName(), question,
                        Prompter::Buttons::YesNo, Prompter::Icon::Warning,
                        Prompter::Answer::No) == Prompter::Answer::Yes;
}

// Called whenever the book may have another file than before: a save replaces the file
// with a new one, so its locks are taken again.
void BookLockKeeper::follow() {
    const std::vector<std::string> wanted = lockPaths(document_.pathName());
    if (wanted == held_)
        return;
    release();
    for (const std::string& lock : wanted) {
        if (WriteLock(lock) == 0)
            held_.push_back(lock);
    }
}

void BookLockKeeper::release() {
    for (const std::string& lock : held_)
        RemoveOwnLock(lock);
    held_.clear();
}
