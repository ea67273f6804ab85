#pragma once

#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <string>

class CTellwickDoc;
class Prompter;
class QWidget;

// Keeps a copy of the open book while it has unsaved changes (storage/RecoveryFiles.h): a few
// seconds after a change, never more often, and at once when the session asks. The book is
// written out on the window's thread and the file on a thread of its own. The copy goes when
// the book is saved, becomes unchanged again, is replaced, or the window ends normally (a
// book closed unsaved was answered "no").
class RecoveryKeeper : public QObject {
    Q_OBJECT

public:
    static constexpr int kDelayMs = 5000;

    explicit RecoveryKeeper(CTellwickDoc& document, QObject* parent = nullptr);
    ~RecoveryKeeper() override;

    // Writes the copy now if the book has unsaved changes, and waits until it is written.
    void writeNow();
    // The copy's file, empty while there is none.
    const std::string& file() const { return file_; }

    // Offers each copy left by a window that ended without closing its book, oldest first.
    // Yes opens the first one accepted in this window (the rest are offered next time); No
    // removes the copy. True when a copy was opened.
    bool offerLeftCopies(Prompter& prompter, QWidget* parent);

private:
    void followBook();
    void scheduleWrite();
    void startWrite();
    void discard();

    CTellwickDoc& document_;
    QTimer timer_;
    QThreadPool writer_; // one thread, so copies land in the order they were taken
    std::string file_;
};
