#include "views/ReportView.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QtTest>

// Notes the rows a paint draws as under the mouse.
struct HoverRecorder : QStyledItemDelegate {
    mutable QSet<int> rows;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (option.state & QStyle::State_MouseOver)
            rows.insert(index.row());
        QStyledItemDelegate::paint(painter, option, index);
    }
};

// The report view on a plain two-column model: where rows are, how keys and the mouse move
// and select, and that edits of the model keep its scroll range right.
class TestReportView : public QObject {
    Q_OBJECT

    static constexpr int kRows = 1000;
    QStandardItemModel* model_ = nullptr;
    ReportView* view_ = nullptr;

    QModelIndex at(int row, int column = 0) { return model_->index(row, column); }
    int current() { return view_->currentIndex().row(); }
    bool visible(int row) { return view_->viewport()->rect().contains(view_->visualRect(at(row))); }
    QPoint centre(int row) { return view_->visualRect(at(row)).center(); }

private slots:
    void init() {
        model_ = new QStandardItemModel(kRows, 2);
        for (int row = 0; row < kRows; ++row) {
            model_->setItem(row, 0, new QStandardItem(QStringLiteral("name %1").arg(row)));
            model_->setItem(row, 1, new QStandardItem(QStringLiteral("address %1").arg(row)));
        }
        view_ = new ReportView;
        model_->setParent(view_);
        view_->setModel(model_);
        view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view_->setSelectionBehavior(QAbstractItemView::SelectRows);
        view_->header()->resizeSection(0, 150);
        view_->resize(400, 300);
        view_->show();
        QVERIFY(QTest::qWaitForWindowExposed(view_));
        view_->setFocus();
    }
    void cleanup() { delete view_; }

    // Every row's rectangle maps back to its index, scrolled or not, and only rows that
    // exist are found, none above the first or below the last.
    void placesRowsByNumber() {
        for (int scrolled : {0, 17, view_->verticalScrollBar()->maximum()}) {
            view_->verticalScrollBar()->setValue(scrolled);
            QVERIFY(!view_->indexAt({5, -1 - scrolled * view_->rowHeight()}).isValid());
            for (int row = scrolled; row < scrolled + 5; ++row) {
                for (int column : {0, 1})
                    QCOMPARE(view_->indexAt(view_->visualRect(at(row, column)).center()),
                             at(row, column));
            }
        }
        QCOMPARE(view_->verticalScrollBar()->maximum(),
                 kRows - view_->viewport()->height() / view_->rowHeight());
        QVERIFY(!view_->indexAt(centre(kRows - 1) + QPoint(0, view_->rowHeight())).isValid());
        QCOMPARE(view_->visualRect(at(3, 1)).left(), 150);
    }

    void keysMoveTheCurrentRowAndKeepItInSight_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("to");
        QTest::newRow("down") << 10 << int(Qt::Key_Down) << 11;
        QTest::newRow("up at the top") << 0 << int(Qt::Key_Up) << 0;
        QTest::newRow("end") << 3 << int(Qt::Key_End) << kRows - 1;
        QTest::newRow("home") << 500 << int(Qt::Key_Home) << 0;
        QTest::newRow("down at the end") << kRows - 1 << int(Qt::Key_Down) << kRows - 1;
        QTest::newRow("page down") << 0 << int(Qt::Key_PageDown) << -1;
    }
    void keysMoveTheCurrentRowAndKeepItInSight() {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, to);
        view_->setCurrentIndex(at(from));
        QTest::keyClick(view_, Qt::Key(key));
        if (to < 0) // a page is as many rows as the viewport shows whole
            to = view_->viewport()->height() / view_->rowHeight();
        QCOMPARE(current(), to);
        QVERIFY(visible(to));
        QVERIFY(view_->selectionModel()->isRowSelected(to, {}));
    }

    // Selections are whole rows, kept as one range however many rows they cover.
    void selectsWholeRowsAsRanges() {
        QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, centre(2));
        QTest::mouseClick(view_->viewport(), Qt::LeftButton, Qt::ShiftModifier, centre(6));
        QCOMPARE(view_->selectionModel()->selectedRows().size(), 5);
        QTest::keyClick(view_, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(view_->selectionModel()->selection().size(), 1);
        QCOMPARE(view_->selectionModel()->selection().first().height(), kRows);
        // A sweep upwards from below the last row selects the rows it passes.
        view_->verticalScrollBar()->setValue(view_->verticalScrollBar()->maximum());
        QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, centre(kRows - 1));
        const QPoint below = centre(kRows - 1) + QPoint(0, view_->rowHeight());
        QTest::mousePress(view_->viewport(), Qt::LeftButton, {}, below);
        QMouseEvent move(QEvent::MouseMove, centre(kRows - 3),
                         view_->viewport()->mapToGlobal(centre(kRows - 3)), Qt::NoButton,
                         Qt::LeftButton, {});
        QCoreApplication::sendEvent(view_->viewport(), &move);
        QCOMPARE(view_->selectionModel()->selectedRows().size(), 3);
        QTest::mouseRelease(view_->viewport(), Qt::LeftButton, {}, centre(kRows - 3));
    }

    // Only the row under the mouse is drawn as such, and none once the mouse has left.
    void drawsTheRowUnderTheMouse() {
        HoverRecorder recorder;
        view_->setItemDelegate(&recorder);
        for (const QEvent::Type type : {QEvent::HoverMove, QEvent::HoverLeave}) {
            QHoverEvent hover(type, centre(4), view_->viewport()->mapToGlobal(centre(4)),
                              centre(2));
            QCoreApplication::sendEvent(view_->viewport(), &hover);
            recorder.rows.clear();
            view_->viewport()->grab();
            QCOMPARE(recorder.rows, type == QEvent::HoverMove ? QSet<int>{4} : QSet<int>{});
        }
        view_->setItemDelegate(nullptr);
    }

    // Rows taken out or put in anywhere keep the scroll range, and the current row, right.
    void followsRowsInsertedAndRemoved() {
        view_->setCurrentIndex(at(kRows - 1));
        model_->removeRows(0, kRows / 2);
        QCOMPARE(current(), kRows / 2 - 1);
        const int visibleRows = view_->viewport()->height() / view_->rowHeight();
        QCOMPARE(view_->verticalScrollBar()->maximum(), kRows / 2 - visibleRows);
        model_->insertRows(0, 10);
        QCOMPARE(view_->verticalScrollBar()->maximum(), kRows / 2 + 10 - visibleRows);
        model_->removeRows(0, model_->rowCount());
        QCOMPARE(view_->verticalScrollBar()->maximum(), 0);
        QVERIFY(!view_->indexAt({5, 5}).isValid());
        // Rows are as high as the first row asks, measured again once the list was empty.
        auto* tall = new QStandardItem(QStringLiteral("tall"));
        tall->setSizeHint(QSize(50, 40));
        model_->appendRow(tall);
        QCOMPARE(view_->rowHeight(), 40);
    }
};

QTEST_MAIN(TestReportView)
#include "tst_reportview.moc"
