#pragma once

#include "BookEdits.h"
#include "framework/Document.h"
#include "model/EntryTree.h"

#include <QPointer>
#include <QWidget>

#include <vector>

class DragImage;

// The one document: owns the book's entry tree and the drag state both panes share.
class CTellwickDoc : public Document {
    Q_OBJECT

public:
    explicit CTellwickDoc(QObject* parent = nullptr);
    ~CTellwickDoc() override;

    // Reads the book at path into a tree of its own, as a book is opened; the open book is
    // not touched. On failure into stays as it was.
    static FileResult ReadOtherBook(const QString& path, EntryTree& into);
    // Makes incoming the book, as opening a book would, and leaves incoming empty.
    void TakeBook(EntryTree& incoming);

    // Read it freely; change it only through edits.
    EntryTree tree;
    BookEdits edits{tree};
    DragImage* dragImage = nullptr;
    bool dragging = false;
    std::vector<EntryNode*> dragList; // not owned
    std::vector<EntryNode*> clipList; // not owned; nothing fills it, so Paste stays disabled
    QPointer<QWidget> dragWnd;

signals:
    // A drag ended, dropped or not: panes clear what they showed for it.
    void dragFinished();

protected:
    std::optional<quint64> storedSize() const override;
    void serialize(Archive& archive) override;
    void deleteContents() override;
    void onSaved() override;
    void onImported() override;
};
