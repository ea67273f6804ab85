#include "BookPages.h"

#include "PrintFonts.h"
#include "ReadingOrder.h"
#include "framework/Cp932.h"
#include "model/EntryTree.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace {

QString Decoded(std::string_view bytes) {
    return QString::fromStdString(Cp932ToUtf8(bytes));
}

// A print font with its measures on the device. Its lines are as tall as the taller of
// its Latin and Japanese faces, so that no glyph reaches into the next line.
struct MeasuredFont {
    MeasuredFont(const QFont& f, QPaintDevice& device)
        : font(f), metrics(f, &device), device(&device) {
        const QFontMetricsF japanese(JapaneseFacesOf(f), &device);
        ascent = std::max(metrics.ascent(), japanese.ascent());
        lineSpacing = ascent + std::max(metrics.descent(), japanese.descent()) +
                      std::max(metrics.leading(), japanese.leading());
    }
    QFont font;
    QFontMetricsF metrics;
    QPaintDevice* device;
    qreal ascent;
    qreal lineSpacing;
};

// The lines of text as they fit in width, broken between words where possible.
QStringList WrapToWidth(const QString& text, const MeasuredFont& font, qreal width) {
    if (font.metrics.horizontalAdvance(text) <= width)
        return {text};
    QTextLayout layout(text, font.font, font.device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}

// Turns the title and each entry into the lines that print it.
class BookTypesetter {
public:
    BookTypesetter(QPaintDevice& device, qreal pageWidth, const PrintFonts& fonts)
        : title_(fonts.title, device), heading_(fonts.heading, device), body_(fonts.body, device),
          pageWidth_(pageWidth), indentStep_(2 * body_.metrics.horizontalAdvance(u'M')),
          deepestIndent_(pageWidth / 2) {}

    std::vector<PrintedLine> title(const QString& text) const {
        std::vector<PrintedLine> lines = textLines(text, title_, 0);
        lines.push_back(rule(0, body_.lineSpacing));
        lines.push_back(space(body_.lineSpacing / 2));
        return lines;
    }

    std::vector<PrintedLine> entry(const EntryNode& entry, std::size_t depth) const {
        switch (entry.kind) {
        case EntryKind::Group:
            return group(entry, depth);
        case EntryKind::Separator:
            return {rule(indent(depth), body_.lineSpacing)};
        default:
            return address(entry, depth);
        }
    }

    // The room a heading keeps below it, so that it never ends a page.
    qreal headingKeepRoom() const { return body_.lineSpacing; }

private:
    std::vector<PrintedLine> group(const EntryNode& group, std::size_t depth) const {
        std::vector<PrintedLine> lines{space(body_.lineSpacing / 3)};
        append(lines, textLines(Decoded(group.Name()), heading_, indent(depth)));
        return lines;
    }

    std::vector<PrintedLine> address(const EntryNode& entry, std::size_t depth) const {
        const qreal nameX = indent(depth);
        std::vector<PrintedLine> lines = textLines(Decoded(entry.Name()), body_, nameX);
        for (std::string_view address : entry.Addresses())
            append(lines, textLines(Decoded(address), body_, nameX + indentStep_));
        return lines;
    }

    // Deep groups stop moving right at half the page, so their text keeps room to print.
    qreal indent(std::size_t depth) const {
        return std::min(qreal(depth) * indentStep_, deepestIndent_);
    }

    std::vector<PrintedLine> textLines(const QString& text, const MeasuredFont& font,
                                       qreal x) const {
        std::vector<PrintedLine> lines;
        for (const QString& part : WrapToWidth(text, font, pageWidth_ - x))
            lines.push_back(
                {PrintedLine::Kind::Text, part, &font.font, x, font.ascent, font.lineSpacing});
        return lines;
    }

    static PrintedLine rule(qreal x, qreal height) {
        return {PrintedLine::Kind::Rule, {}, nullptr, x, 0, height};
    }
    static PrintedLine space(qreal height) {
        return {PrintedLine::Kind::Space, {}, nullptr, 0, 0, height};
    }
    static void append(std::vector<PrintedLine>& to, std::vector<PrintedLine> more) {
        to.insert(to.end(), std::make_move_iterator(more.begin()),
                  std::make_move_iterator(more.end()));
    }

    MeasuredFont title_;
    MeasuredFont heading_;
    MeasuredFont body_;
    qreal pageWidth_;
    qreal indentStep_;
    qreal deepestIndent_;
};

// A hairline on paper: a quarter point whatever the device's resolution.
QPen RulePen(const QPaintDevice& device) {
    return QPen(Qt::black, device.logicalDpiY() / 72.0 / 4);
}

} // namespace

RenderResult RenderBook(QPainter& painter, QPagedPaintDevice& device, const PrintedBook& book,
                        PageRange range, const PageComposer::PageStarted& pageStarted) {
    const PrintFonts fonts = PrintFonts::standard();
    painter.setPen(RulePen(device));
    PageComposer pages(painter, device, fonts.footer, range, pageStarted);
    const BookTypesetter typesetter(device, pages.pageWidth(), fonts);
    bool goingOn = pages.place(typesetter.title(book.title));
    for (ReadingOrder order(book.tree.first); goingOn && order.entry(); order.advance()) {
        const EntryNode& entry = *order.entry();
        const qreal keepRoom = entry.IsGroup() ? typesetter.headingKeepRoom() : 0;
        goingOn = pages.place(typesetter.entry(entry, order.depth()), keepRoom);
    }
    pages.finish();
    return {pages.pagesDrawn(), pages.stopped()};
}
