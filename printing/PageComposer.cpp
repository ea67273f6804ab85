#include "PageComposer.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

#include <numeric>

namespace {

qreal BlockHeight(const std::vector<PrintedLine>& block) {
    return std::accumulate(block.begin(), block.end(), qreal(0),
                           [](qreal sum, const PrintedLine& line) { return sum + line.height; });
}

} // namespace

PageComposer::PageComposer(QPainter& painter, QPagedPaintDevice& device, const QFont& footerFont,
                           PageRange range, PageStarted pageStarted)
    : painter_(painter), device_(device), footerFont_(footerFont), range_(range),
      pageStarted_(std::move(pageStarted)), width_(device.width()),
      bottom_(device.height() - 2 * QFontMetricsF(footerFont, &device).lineSpacing()) {}

bool PageComposer::place(const std::vector<PrintedLine>& block, qreal keepRoom) {
    if (over_ || (page_ == 0 && !startPage()))
        return false;
    const qreal together = BlockHeight(block) + keepRoom;
    if (y_ > 0 && y_ + together > bottom_ && together <= bottom_ && !breakPage())
        return false;
    for (const PrintedLine& line : block) {
        if (y_ > 0 && y_ + line.height > bottom_ && !breakPage())
            return false;
        // Space is not carried over to the top of a page.
        if (line.kind == PrintedLine::Kind::Space && y_ == 0)
            continue;
        draw(line);
        y_ += line.height;
    }
    return true;
}

void PageComposer::finish() {
    if (page_ > 0 && !over_)
        endPage();
}

bool PageComposer::startPage() {
    ++page_;
    y_ = 0;
    if (range_.isPast(page_)) {
        over_ = true;
        return false;
    }
    drawing_ = range_.contains(page_);
    if (!drawing_)
        return true;
    // A device that takes no new page has failed; whoever runs the job reports that.
    if (pagesDrawn_ > 0 && !device_.newPage()) {
        over_ = true;
        return false;
    }
    ++pagesDrawn_;
    if (pageStarted_ && !pageStarted_(page_)) {
        over_ = stopped_ = true;
        return false;
    }
    return true;
}

void PageComposer::endPage() {
    if (drawing_)
        drawPageNumber();
}

bool PageComposer::breakPage() {
    endPage();
    return startPage();
}

void PageComposer::draw(const PrintedLine& line) {
    if (!drawing_)
        return;
    switch (line.kind) {
    case PrintedLine::Kind::Text:
        if (line.font != fontSet_) {
            painter_.setFont(*line.font);
            fontSet_ = line.font;
        }
        painter_.drawText(QPointF(line.x, y_ + line.ascent), line.text);
        break;
    case PrintedLine::Kind::Rule:
        painter_.drawLine(QPointF(line.x, y_ + line.height / 2),
                          QPointF(width_, y_ + line.height / 2));
        break;
    case PrintedLine::Kind::Space:
        break;
    }
}

void PageComposer::drawPageNumber() {
    painter_.setFont(footerFont_);
    fontSet_ = &footerFont_;
    const QRectF footer(0, bottom_, width_, device_.height() - bottom_);
    painter_.drawText(footer, Qt::AlignHCenter | Qt::AlignBottom,
                      QStringLiteral("- %1 -").arg(page_));
}
