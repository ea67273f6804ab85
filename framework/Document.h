#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <istream>
#include <optional>
#include <ostream>

class QIODevice;

// What a document's serialization reads from or writes to.
class Archive {
public:
    explicit Archive(std::istream& in) : in_(&in) {}
    explicit Archive(std::ostream& out) : out_(&out) {}
    bool isLoading() const { return in_ != nullptr; }
    std::istream& in() const { return *in_; }
    std::ostream& out() const { return *out_; }

private:
    std::istream* in_ = nullptr;
    std::ostream* out_ = nullptr;
};

// The outcome of opening or saving, with the errno value that caused a failure.
struct FileResult {
    enum class Status { Ok, OpenFailed, ReadFailed, CreateFailed, WriteFailed };
    Status status = Status::Ok;
    int error = 0;
    bool ok() const { return status == Status::Ok; }
};

// Reads a file through read, to its end, as a document is opened: only a regular file is
// opened, without blocking. A read that throws fails: out of memory gives ENOMEM, anything
// else EIO.
FileResult ReadRegularFile(const QString& path, const std::function<void(std::istream&)>& read);

// Something that shows a document and is told when a new or opened book replaces the old.
class DocumentView {
public:
    virtual ~DocumentView() = default;
    virtual void onInitialUpdate() = 0;
};

// Size, times and file identity, to notice another program rewriting the file. The status
// change time is there because a rewrite can put the modification time back, but nobody
// can set the change time.
struct DiskStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const DiskStamp&) const = default;
    static DiskStamp of(const QString& path);
};

// The document base: path, title, modified flag, and file handling that never leaves a
// half-read book or a half-written file behind.
class Document : public QObject {
    Q_OBJECT

public:
    explicit Document(QObject* parent = nullptr);

    const QString& pathName() const { return pathName_; }
    const QString& title() const { return title_; }
    bool isModified() const { return modified_; }
    void setModifiedFlag(bool modified = true);

    // Empties the document, forgets its file and names it "Untitled".
    virtual bool onNewDocument();
    // Reads the file; on any failure the current contents stay untouched.
    FileResult openDocument(const QString& path);
    // Reads the book from an open device as the file at path, with the same guarantee.
    // openDocument reads through it; tests use it to feed devices that fail part way.
    FileResult loadFromDevice(QIODevice& device, const QString& path);
    // Writes safely (see SaveFileSafely); on any failure the file on disk and the contents
    // stay as they were.
    FileResult saveDocument(const QString& path);
    // Whether the file was changed on disk since this document last read or wrote it.
    bool fileChangedOnDisk() const;
    // Reads a book kept for recovery after a crash: it becomes the book at path (untitled
    // when empty) with changes not yet saved there. The contents stay on any failure.
    FileResult openRecovered(QIODevice& device, const QString& path);
    // Forgets the file and marks the contents changed: they were imported from a file of
    // another kind, which a save must not write over.
    void becomeImported();

    void addView(DocumentView* view) { views_.append(view); }
    void removeView(DocumentView* view) { views_.removeAll(view); }
    void sendInitialUpdate();

signals:
    void modifiedChanged(bool modified);
    void titleChanged(const QString& title);

protected:
    // The exact size serialize will write, when it can be known beforehand.
    virtual std::optional<quint64> storedSize() const { return std::nullopt; }
    // Loading must leave the contents unchanged when it throws.
    virtual void serialize(Archive& archive) = 0;
    virtual void deleteContents() = 0;
    // After a save that succeeded, and after the contents became an import.
    virtual void onSaved() {}
    virtual void onImported() {}

private:
    void load(std::istream& in);
    FileResult loadDevice(QIODevice& device);
    void takeLoadedFile(const QString& path, const DiskStamp& stamp);
    void setPathName(const QString& path);
    void setTitle(const QString& title);

    QString pathName_;
    QString title_;
    bool modified_ = false;
    DiskStamp stamp_;
    QList<DocumentView*> views_;
};
