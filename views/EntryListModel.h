#pragma once

#include <QAbstractTableModel>
#include <QIcon>

#include <vector>

struct EntryNode;

// The rows of the entry list: each row holds only its entry's pointer; label, image and
// address text are read from the entry when shown, so a million rows cost a vector.
class EntryListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { NameColumn = 0, AddressColumn = 1 };

    explicit EntryListModel(QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Replaces every row with one row per entry of the chain starting at head.
    void showChain(EntryNode* head);
    void clear();
    void insertEntry(int row, EntryNode* entry);
    // Inserts one row per entry, in order, starting at row.
    void insertEntries(int row, const std::vector<EntryNode*>& entries);
    void removeEntry(int row);
    // Removes count rows starting at row.
    void removeEntries(int row, int count);
    void setEntry(int row, EntryNode* entry);
    // Null for a row that does not exist.
    EntryNode* entryAt(int row) const;
    // The row showing entry, or -1.
    int rowOf(const EntryNode* entry) const;
    // Tells the views that a row's entry changed its text.
    void entryChanged(int row);

private:
    std::vector<EntryNode*> rows_;
    QIcon kindIcons_[3];
};
