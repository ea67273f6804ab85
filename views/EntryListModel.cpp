#include "EntryListModel.h"

#include "Artwork.h"
#include "EntryText.h"
#include "model/EntryNode.h"

#include <algorithm>

EntryListModel::EntryListModel(QObject* parent) : QAbstractTableModel(parent) {
    for (int kind = 0; kind < 3; ++kind)
        kindIcons_[kind] = Artwork::kindIcon(kind);
}

int EntryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int EntryListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const {
    const EntryNode* entry = entryAt(index.row());
    if (!entry)
        return {};
    if (role == Qt::EditRole && index.column() == NameColumn)
        return DisplayText(entry->Name()); // whole: the editor must not cut it
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        if (index.column() == NameColumn)
            return ShownText(entry->Name());
        return AddressText(*entry);
    }
    if (role == Qt::DecorationRole && index.column() == NameColumn) {
        const auto kind = static_cast<int>(entry->kind);
        return kind < 3 ? kindIcons_[kind] : QVariant();
    }
    return {};
}

QVariant EntryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == NameColumn ? QStringLiteral("名前") : QStringLiteral("アドレス");
}

// Without the base's calls of rowCount and columnCount: the view asks for every row.
QModelIndex EntryListModel::index(int row, int column, const QModelIndex& parent) const {
    const bool exists = !parent.isValid() && row >= 0 && std::size_t(row) < rows_.size() &&
                        (column == NameColumn || column == AddressColumn);
    return exists ? createIndex(row, column) : QModelIndex();
}

// The view asks once per row when it lays out the rows, so a million rows make a million
// calls: no bounds check behind the one of the index itself.
Qt::ItemFlags EntryListModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this)
        return {};
    Qt::ItemFlags flags =
        Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren | Qt::ItemIsDragEnabled;
    if (index.column() == NameColumn)
        flags |= Qt::ItemIsEditable;
    return flags;
}

void EntryListModel::showChain(EntryNode* head) {
    beginResetModel();
    // Counted first so the rows are one allocation, not a million-row vector grown twenty
    // times; a fresh vector, since a cleared one would keep the room of a million rows
    // behind a short list.
    std::size_t count = 0;
    for (const EntryNode* entry = head; entry; entry = entry->next)
        ++count;
    std::vector<EntryNode*> rows;
    rows.reserve(count);
    for (EntryNode* entry = head; entry; entry = entry->next)
        rows.push_back(entry);
    rows_.swap(rows);
    endResetModel();
}

void EntryListModel::clear() {
    showChain(nullptr);
}

void EntryListModel::insertEntry(int row, EntryNode* entry) {
    row = std::clamp(row, 0, rowCount());
    beginInsertRows({}, row, row);
    rows_.insert(rows_.begin() + row, entry);
    endInsertRows();
}

void EntryListModel::insertEntries(int row, const std::vector<EntryNode*>& entries) {
    if (entries.empty())
        return;
    row = std::clamp(row, 0, rowCount());
    beginInsertRows({}, row, row + static_cast<int>(entries.size()) - 1);
    rows_.insert(rows_.begin() + row, entries.begin(), entries.end());
    endInsertRows();
}

void EntryListModel::removeEntry(int row) {
    removeEntries(row, 1);
}

void EntryListModel::removeEntries(int row, int count) {
    if (row < 0 || count <= 0 || row > rowCount() - count)
        return;
    beginRemoveRows({}, row, row + count - 1);
    rows_.erase(rows_.begin() + row, rows_.begin() + row + count);
    endRemoveRows();
}

void EntryListModel::setEntry(int row, EntryNode* entry) {
    if (row < 0 || row >= rowCount())
        return;
    rows_[static_cast<std::size_t>(row)] = entry;
    entryChanged(row);
}

EntryNode* EntryListModel::entryAt(int row) const {
    if (row < 0 || row >= rowCount())
        return nullptr;
    return rows_[static_cast<std::size_t>(row)];
}

void EntryListModel::entryChanged(int row) {
    emit dataChanged(index(row, 0), index(row, 1));
}

int EntryListModel::rowOf(const EntryNode* entry) const {
    const auto found = std::find(rows_.begin(), rows_.end(), entry);
    return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}
