#pragma once

#include <QFont>
#include <QString>

#include <functional>
#include <vector>

class QPagedPaintDevice;
class QPainter;

// One line as it goes on the page: text in a font at an indent, or a rule from the indent
// to the right edge, or (neither) just space.
struct PrintedLine {
    enum class Kind { Text, Rule, Space };
    Kind kind = Kind::Text;
    QString text;
    const QFont* font = nullptr;
    qreal x = 0;
    qreal ascent = 0; // from the line's top to the text's baseline
    qreal height = 0; // the room the line takes on the page
};

// The pages of a job that are drawn: first to last, 0 for last meaning to the end.
struct PageRange {
    int first = 1;
    int last = 0;
    bool contains(int page) const { return page >= first && (last == 0 || page <= last); }
    bool isPast(int page) const { return last != 0 && page > last; }
};

// Lays lines out top to bottom on the pages of a device whose painter is active: a line
// never straddles a page break, lines kept together move to a new page as a whole, each
// page gets its number at the bottom, and only the pages in range are drawn.
class PageComposer {
public:
    // Told as each drawn page begins; false ends the job.
    using PageStarted = std::function<bool(int page)>;

    PageComposer(QPainter& painter, QPagedPaintDevice& device, const QFont& footerFont,
                 PageRange range, PageStarted pageStarted);

    qreal pageWidth() const { return width_; }
    // Places a block of lines, on one page when they fit on one, with room for keepRoom more
    // below the block's first line. False once the job is over: stopped, or past the range.
    bool place(const std::vector<PrintedLine>& block, qreal keepRoom = 0);
    // Numbers the last page.
    void finish();

    int pagesDrawn() const { return pagesDrawn_; }
    bool stopped() const { return stopped_; }

private:
    bool startPage();
    void endPage();
    bool breakPage();
    void draw(const PrintedLine& line);
    void drawPageNumber();

    QPainter& painter_;
    QPagedPaintDevice& device_;
    const QFont& footerFont_;
    PageRange range_;
    PageStarted pageStarted_;
    qreal width_;
    qreal bottom_;                   // where the footer begins
    const QFont* fontSet_ = nullptr; // the painter's font, set only when it changes
    qreal y_ = 0;
    int page_ = 0;
    bool drawing_ = false; // the current page is in range
    bool over_ = false;
    bool stopped_ = false;
    int pagesDrawn_ = 0;
};
