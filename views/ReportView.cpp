#include "ReportView.h"

#include <QHeaderView>
#include <QHoverEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

ReportView::ReportView(QWidget* parent)
    : QAbstractItemView(parent), header_(new QHeaderView(Qt::Horizontal, this)) {
    header_->setSectionsClickable(false);
    header_->setSectionsMovable(false);
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerItem); // the vertical bar counts rows
    viewport()->setAttribute(Qt::WA_Hover);
    const auto relayout = [this] {
        updateGeometries();
        viewport()->update();
    };
    connect(header_, &QHeaderView::sectionResized, this, relayout);
    connect(header_, &QHeaderView::sectionCountChanged, this, relayout);
    connect(this, &QAbstractItemView::iconSizeChanged, this, [this, relayout] {
        rowHeight_ = 0;
        relayout();
    });
}

void ReportView::setModel(QAbstractItemModel* model) {
    if (this->model())
        disconnect(this->model(), nullptr, this, nullptr);
    QAbstractItemView::setModel(model);
    header_->setModel(model);
    if (!model)
        return;
    connect(model, &QAbstractItemModel::rowsRemoved, this, &ReportView::rowsChanged);
    connect(model, &QAbstractItemModel::rowsMoved, this, &ReportView::rowsChanged);
    connect(model, &QAbstractItemModel::layoutChanged, this, &ReportView::rowsChanged);
}

int ReportView::columnWidth(int column) const {
    return header_->sectionSize(column);
}

// Every row is as high as the first: measured once, again when the font, style or icon
// size changes.
int ReportView::rowHeight() const {
    if (rowHeight_ > 0)
        return rowHeight_;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    if (!model() || model()->rowCount() == 0)
        return std::max(option.fontMetrics.height(), option.decorationSize.height()) + 2;
    int height = 1;
    for (int column = 0; column < model()->columnCount(); ++column) {
        const QModelIndex index = model()->index(0, column);
        if (QAbstractItemDelegate* delegate = itemDelegateForIndex(index))
            height = std::max(height, delegate->sizeHint(option, index).height());
    }
    rowHeight_ = height;
    return rowHeight_;
}

int ReportView::rowAtY(int y) const {
    const int row = (y + verticalOffset()) / rowHeight();
    return y >= -verticalOffset() && model() && row < model()->rowCount() ? row : -1;
}

int ReportView::visibleRowCount() const {
    return std::max(1, viewport()->height() / rowHeight());
}

// The whole row, across every column and at least as wide as the viewport.
QRect ReportView::rowRect(int row) const {
    const int width = std::max(viewport()->width(), header_->length() - horizontalOffset());
    return {-horizontalOffset(), row * rowHeight() - verticalOffset(), width, rowHeight()};
}

void ReportView::updateRow(int row) {
    if (row >= 0)
        viewport()->update(rowRect(row));
}

QModelIndex ReportView::indexAt(const QPoint& point) const {
    const int row = rowAtY(point.y());
    const int column = header_->logicalIndexAt(point.x());
    return row >= 0 && column >= 0 ? model()->index(row, column) : QModelIndex();
}

QRect ReportView::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.parent().isValid() || index.model() != model())
        return {};
    return {header_->sectionViewportPosition(index.column()),
            index.row() * rowHeight() - verticalOffset(), header_->sectionSize(index.column()),
            rowHeight()};
}

void ReportView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid())
        return;
    const int row = index.row();
    const int visible = visibleRowCount();
    QScrollBar* bar = verticalScrollBar();
    switch (hint) {
    case EnsureVisible:
        if (row < bar->value())
            bar->setValue(row);
        else if (row >= bar->value() + visible)
            bar->setValue(row - visible + 1);
        break;
    case PositionAtTop:
        bar->setValue(row);
        break;
    case PositionAtBottom:
        bar->setValue(row - visible + 1);
        break;
    case PositionAtCenter:
        bar->setValue(row - visible / 2);
        break;
    }
    const QRect cell = visualRect(index);
    QScrollBar* across = horizontalScrollBar();
    if (cell.left() < 0)
        across->setValue(across->value() + cell.left());
    else if (cell.right() > viewport()->width() && cell.width() < viewport()->width())
        across->setValue(across->value() + cell.right() - viewport()->width() + 1);
}

void ReportView::reset() {
    QAbstractItemView::reset();
    rowHeight_ = 0;
    rowsChanged();
}

QModelIndex ReportView::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    const int count = model() ? model()->rowCount() : 0;
    if (count == 0)
        return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return model()->index(0, 0);
    const int page = visibleRowCount();
    int row = current.row();
    switch (action) {
    case MoveUp:
    case MovePrevious:
        --row;
        break;
    case MoveDown:
    case MoveNext:
        ++row;
        break;
    case MovePageUp:
        row -= page;
        break;
    case MovePageDown:
        row += page;
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = count - 1;
        break;
    case MoveLeft:
    case MoveRight: // a row has no cells to move between: the columns scroll instead
        horizontalScrollBar()->triggerAction(action == MoveLeft ? QScrollBar::SliderSingleStepSub
                                                                : QScrollBar::SliderSingleStepAdd);
        return current;
    }
    return model()->index(std::clamp(row, 0, count - 1), current.column());
}

int ReportView::horizontalOffset() const {
    return horizontalScrollBar()->value();
}

int ReportView::verticalOffset() const {
    return verticalScrollBar()->value() * rowHeight();
}

// Whole rows from the rect's top to its bottom, as one range.
void ReportView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    if (!selectionModel())
        return;
    // A rect swept upwards comes with its top below its bottom.
    const int from = std::min(rect.top(), rect.bottom()) + verticalOffset();
    const int to = std::max(rect.top(), rect.bottom()) + verticalOffset();
    const int height = rowHeight();
    const int top = std::max(0, from / height);
    const int bottom = std::min(model()->rowCount() - 1, to / height);
    QItemSelection selection;
    if (to >= 0 && top <= bottom)
        selection.select(model()->index(top, 0),
                         model()->index(bottom, model()->columnCount() - 1));
    selectionModel()->select(selection, command);
}

QRegion ReportView::visualRegionForSelection(const QItemSelection& selection) const {
    const int first = verticalScrollBar()->value();
    const int last = first + visibleRowCount();
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
        const int top = std::max(range.top(), first);
        const int bottom = std::min(range.bottom(), last);
        if (top <= bottom)
            region += rowRect(top).united(rowRect(bottom));
    }
    return region;
}

void ReportView::updateGeometries() {
    if (inGeometryUpdate_)
        return;
    inGeometryUpdate_ = true;
    const int headerHeight =
        header_->isHidden() ? 0 : std::max(header_->minimumHeight(), header_->sizeHint().height());
    setViewportMargins(0, headerHeight, 0, 0);
    const QRect area = viewport()->geometry();
    header_->setGeometry(area.left(), area.top() - headerHeight, area.width(), headerHeight);
    const int count = model() ? model()->rowCount() : 0;
    const int visible = visibleRowCount();
    verticalScrollBar()->setRange(0, std::max(0, count - visible));
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setRange(0, std::max(0, header_->length() - area.width()));
    horizontalScrollBar()->setPageStep(area.width());
    horizontalScrollBar()->setSingleStep(std::max(1, area.width() / 20));
    header_->setOffset(horizontalOffset());
    QAbstractItemView::updateGeometries();
    inGeometryUpdate_ = false;
}

void ReportView::scrollContentsBy(int, int) {
    header_->setOffset(horizontalOffset());
    updateEditorGeometries();
    viewport()->update();
}

void ReportView::paintEvent(QPaintEvent* event) {
    if (!model() || model()->rowCount() == 0)
        return;
    QPainter painter(viewport());
    QStyleOptionViewItem base;
    initViewItemOption(&base);
    const int height = rowHeight();
    const int first = std::max(0, (event->rect().top() + verticalOffset()) / height);
    const int last =
        std::min(model()->rowCount() - 1, (event->rect().bottom() + verticalOffset()) / height);
    for (int row = first; row <= last; ++row)
        paintRow(painter, row, base);
}

// The row's background across its width, each cell through its delegate, and the focus
// frame around the whole current row.
void ReportView::paintRow(QPainter& painter, int row, const QStyleOptionViewItem& base) {
    const QModelIndex first = model()->index(row, 0);
    const bool selected = selectionModel() && selectionModel()->isSelected(first);
    QStyleOptionViewItem option = base;
    option.state &= ~QStyle::State_HasFocus;
    if (selected)
        option.state |= QStyle::State_Selected;
    if (row == hoverRow_)
        option.state |= QStyle::State_MouseOver;
    option.rect = rowRect(row);
    style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &option, &painter, this);
    const int columns = header_->count();
    for (int visual = 0; visual < columns; ++visual) {
        const int column = header_->logicalIndex(visual);
        if (header_->isSectionHidden(column))
            continue;
        const QModelIndex index = model()->index(row, column);
        QStyleOptionViewItem cell = option;
        cell.rect = visualRect(index);
        cell.viewItemPosition = columns == 1            ? QStyleOptionViewItem::OnlyOne
                                : visual == 0           ? QStyleOptionViewItem::Beginning
                                : visual == columns - 1 ? QStyleOptionViewItem::End
                                                        : QStyleOptionViewItem::Middle;
        if (!(model()->flags(index) & Qt::ItemIsEnabled))
            cell.state &= ~QStyle::State_Enabled;
        if (QAbstractItemDelegate* delegate = itemDelegateForIndex(index))
            delegate->paint(&painter, cell, index);
    }
    if (hasFocus() && currentIndex().row() == row) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = option.rect.adjusted(0, 0, -1, -1).intersected(viewport()->rect());
        focus.backgroundColor =
            option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

bool ReportView::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
    case QEvent::HoverLeave: {
        const int row = event->type() == QEvent::HoverLeave
                            ? -1
                            : rowAtY(static_cast<QHoverEvent*>(event)->position().toPoint().y());
        if (row != hoverRow_) {
            updateRow(hoverRow_);
            hoverRow_ = row;
            updateRow(hoverRow_);
        }
        break;
    }
    default:
        break;
    }
    return QAbstractItemView::viewportEvent(event);
}

void ReportView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        rowHeight_ = 0;
    QAbstractItemView::changeEvent(event);
}

void ReportView::rowsInserted(const QModelIndex& parent, int start, int end) {
    QAbstractItemView::rowsInserted(parent, start, end);
    rowsChanged();
}

void ReportView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QAbstractItemView::currentChanged(current, previous);
    if (previous.isValid())
        updateRow(previous.row());
    if (current.isValid())
        updateRow(current.row());
}

void ReportView::rowsChanged() {
    if (model() && model()->rowCount() == 0)
        rowHeight_ = 0; // measured again from the next first row
    updateGeometries();
    viewport()->update();
}
