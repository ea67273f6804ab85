#pragma once

#include "storage/BookLocks.h"

#include <QObject>
#include <QString>

#include <optional>
#include <string>
#include <vector>

class CTellwickDoc;
class Prompter;
class QWidget;

// Marks the book open in this window as in use (storage/BookLocks.h) for as long as it is
// open here, following it through saves (which give it a new inode), Save As, New and Open,
// and asks before a book another window holds is opened.
class BookLockKeeper : public QObject {
    Q_OBJECT

public:
    explicit BookLockKeeper(CTellwickDoc& document, QObject* parent = nullptr);
    ~BookLockKeeper() override;

    // Who else holds the book at path, if another window that still runs does.
    std::optional<LockHolder> otherHolder(const QString& path) const;
    // True when no other window holds the book, or the user chose to open it anyway.
    bool mayOpen(const QString& path, Prompter& prompter, QWidget* parent) const;

private:
    // The locks the book at path should have now: empty when it has no file.
    std::vector<std::string> lockPaths(const QString& path) const;
    void follow();
    void release();

    CTellwickDoc& document_;
    std::vector<std::string> held_;
};
