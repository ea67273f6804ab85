#pragma once

#include <QAbstractItemView>

class QHeaderView;

// A flat list of rows of one height under a header of columns, like a list control in
// report mode. Nothing is laid out per row: a row's place is its number times the row
// height, so inserting, removing or selecting rows costs the same in a list of ten rows as
// in one of a million, and a selection is kept as ranges of whole rows.
class ReportView : public QAbstractItemView {
    Q_OBJECT

public:
    explicit ReportView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    QHeaderView* header() const { return header_; }
    int columnWidth(int column) const;
    int rowHeight() const;

    QModelIndex indexAt(const QPoint& point) const override;
    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    void reset() override;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex&) const override { return false; }
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    int rowAtY(int y) const; // -1 below the last row
    int visibleRowCount() const;
    QRect rowRect(int row) const;
    void updateRow(int row);
    void paintRow(QPainter& painter, int row, const QStyleOptionViewItem& base);
    void rowsChanged();

    QHeaderView* header_;
    mutable int rowHeight_ = 0; // 0: to be measured from the first row
    int hoverRow_ = -1;
    bool inGeometryUpdate_ = false; // the viewport's margins resize it
};
