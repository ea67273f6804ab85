#include "Artwork.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>

namespace Artwork {
namespace {

// A few flat colours, each with a darker edge so shapes stay apart when greyed out.
namespace Colour {
constexpr QRgb Paper = 0xffffffff;
constexpr QRgb PaperEdge = 0xff8593a3;
constexpr QRgb PaperLine = 0xffb4bfcb;
constexpr QRgb Blue = 0xff4a87d9;
constexpr QRgb BlueDark = 0xff2f63ad;
constexpr QRgb BlueEdge = 0xff1f4a86;
constexpr QRgb Yellow = 0xfff7c948;
constexpr QRgb YellowLight = 0xfffde38f;
constexpr QRgb YellowBack = 0xffe3a92b;
constexpr QRgb YellowEdge = 0xffa3730f;
constexpr QRgb Card = 0xfffff1bd;
constexpr QRgb CardEdge = 0xffc09326;
constexpr QRgb Red = 0xffe2463c;
constexpr QRgb RedEdge = 0xff992119;
constexpr QRgb Slate = 0xff64748a;
constexpr QRgb SlateLight = 0xffc9d1da;
constexpr QRgb SlateEdge = 0xff36414f;
constexpr QRgb Wood = 0xffb07a43;
constexpr QRgb WoodEdge = 0xff6d4820;
constexpr QRgb Pencil = 0xfff3a632;
constexpr QRgb PencilTip = 0xfff4d9a8;
} // namespace Colour

QColor colour(QRgb rgba) {
    return QColor::fromRgba(rgba);
}

// Integer-rectangle painting for the small sizes, where every pixel is placed by hand.
class Pixels {
public:
    explicit Pixels(QPainter& painter) : painter_(painter) {}

    void fill(int x, int y, int width, int height, QRgb rgba) {
        painter_.fillRect(x, y, width, height, colour(rgba));
    }
    void dot(int x, int y, QRgb rgba) { fill(x, y, 1, 1, rgba); }
    void erase(int x, int y) {
        const auto mode = painter_.compositionMode();
        painter_.setCompositionMode(QPainter::CompositionMode_Clear);
        painter_.fillRect(x, y, 1, 1, Qt::black);
        painter_.setCompositionMode(mode);
    }
    void row(int x1, int x2, int y, QRgb rgba) { fill(x1, y, x2 - x1 + 1, 1, rgba); }
    void column(int x, int y1, int y2, QRgb rgba) { fill(x, y1, 1, y2 - y1 + 1, rgba); }

    // Leaving the corner pixels out makes a box look softly rounded.
    void box(int x, int y, int width, int height, QRgb face, QRgb edge) {
        fill(x + 1, y + 1, width - 2, height - 2, face);
        row(x + 1, x + width - 2, y, edge);
        row(x + 1, x + width - 2, y + height - 1, edge);
        column(x, y + 1, y + height - 2, edge);
        column(x + width - 1, y + 1, y + height - 2, edge);
    }

    // Each '#' of rows becomes one pixel; used for glyphs too curly for rectangles.
    void glyph(int x, int y, std::initializer_list<const char*> rows, QRgb rgba) {
        for (const char* line : rows) {
            for (int column = 0; line[column] != '\0'; ++column) {
                if (line[column] == '#')
                    dot(x + column, y, rgba);
            }
            ++y;
        }
    }

    void flipVertically(int height) {
        painter_.translate(0, height);
        painter_.scale(1, -1);
    }

private:
    QPainter& painter_;
};

using PixelDrawing = void (*)(Pixels&);

QPixmap pixelImage(QSize size, QPoint origin, PixelDrawing draw) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.translate(origin);
    Pixels pixels(painter);
    draw(pixels);
    return pixmap;
}

// Vector drawings are laid out on a 32x32 grid. Rectangles snap to whole device pixels, so
// the 48 pixel size, a non-integer scale, stays as crisp as 32 and 64.
class Canvas {
public:
    static constexpr int grid = 32;

    Canvas(QPainter& painter, int size) : painter_(painter), scale_(qreal(size) / grid) {}

    void bar(const QRectF& rect, QRgb rgba) { painter_.fillRect(snap(rect), colour(rgba)); }

    void box(const QRectF& rect, qreal radius, QRgb face, QRgb edge) {
        const QRectF outer = snap(rect);
        const qreal edgeWidth = std::max<qreal>(1, std::floor(scale_));
        const qreal outerRadius = radius * scale_;
        painter_.setPen(Qt::NoPen);
        painter_.setBrush(colour(edge));
        painter_.drawRoundedRect(outer, outerRadius, outerRadius);
        painter_.setBrush(colour(face));
        const QRectF inner = outer.adjusted(edgeWidth, edgeWidth, -edgeWidth, -edgeWidth);
        const qreal innerRadius = std::max<qreal>(0, outerRadius - edgeWidth);
        painter_.drawRoundedRect(inner, innerRadius, innerRadius);
    }

    // The inner ring, its stem curling into the outer ring, drawn as one stroke.
    void atSign(QPointF centre, qreal radius, qreal width, QRgb rgba) {
        const qreal inner = radius * 0.42;
        const qreal stemBottom = centre.y() + inner * 0.55;
        QPainterPath path;
        path.addEllipse(centre, inner, inner);
        path.moveTo(centre.x() + inner, centre.y() - inner);
        path.lineTo(centre.x() + inner, stemBottom);
        const qreal curl = radius * 0.25;
        path.arcTo(QRectF(centre.x() + inner, stemBottom - curl, radius - inner, 2 * curl), 180,
                   180);
        path.arcTo(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), 0,
                   300);
        painter_.save();
        painter_.scale(scale_, scale_);
        painter_.setBrush(Qt::NoBrush);
        painter_.setPen(QPen(colour(rgba), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter_.drawPath(path);
        painter_.restore();
    }

private:
    QRectF snap(const QRectF& rect) const {
        const QPointF topLeft(std::round(rect.left() * scale_), std::round(rect.top() * scale_));
        const QPointF bottomRight(std::round(rect.right() * scale_),
                                  std::round(rect.bottom() * scale_));
        return QRectF(topLeft, bottomRight);
    }

    QPainter& painter_;
    qreal scale_;
};

using VectorDrawing = void (*)(Canvas&);

QPixmap vectorImage(int size, VectorDrawing draw) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    Canvas canvas(painter, size);
    draw(canvas);
    return pixmap;
}

// ---- Small pixel drawings -------------------------------------------------------------

void smallAtSign(Pixels& px, int x, int y, QRgb rgba) {
    px.glyph(x, y,
             {
                 "..#####..",
                 ".#.....#.",
                 "#..##.#.#",
                 "#.#..##.#",
                 "#.#...#.#",
                 "#.#..##.#",
                 "#..##.##.",
                 ".#.......",
                 "..#####..",
             },
             rgba);
}

void largeAtSign(Pixels& px, int x, int y, QRgb rgba) {
    px.glyph(x, y,
             {
                 "...######...",
                 "..#......#..",
                 ".#........#.",
                 "#...###.#..#",
                 "#..#...##..#",
                 "#..#....#..#",
                 "#..#....#..#",
                 "#..#...##..#",
                 "#...###.###.",
                 ".#..........",
                 "..#.........",
                 "...######...",
             },
             rgba);
}

// 16x13 from the top-left corner.
void closedFolder(Pixels& px) {
    px.box(0, 0, 7, 3, Colour::YellowBack, Colour::YellowEdge);
    px.box(0, 2, 16, 11, Colour::Yellow, Colour::YellowEdge);
    px.row(1, 14, 3, Colour::YellowLight);
}

// 16x13, the front flap tipped forward to show a sheet inside.
void openFolder(Pixels& px) {
    px.box(0, 0, 7, 3, Colour::YellowBack, Colour::YellowEdge);
    px.box(0, 2, 14, 11, Colour::YellowBack, Colour::YellowEdge);
    px.box(2, 3, 10, 5, Colour::Paper, Colour::PaperEdge);
    constexpr int top = 5;
    constexpr int bottom = 12;
    constexpr int width = 13;
    for (int y = top; y <= bottom; ++y) {
        const int left = 3 - (y - top) * 3 / (bottom - top);
        const bool rim = y == top || y == bottom;
        px.row(left, left + width - 1, y, rim ? Colour::YellowEdge : Colour::Yellow);
        px.dot(left, y, Colour::YellowEdge);
        px.dot(left + width - 1, y, Colour::YellowEdge);
    }
    px.row(4, 14, top + 1, Colour::YellowLight);
}

// 16x12 card with an at sign, the look of a single address.
void addressCard(Pixels& px) {
    px.box(0, 0, 16, 12, Colour::Card, Colour::CardEdge);
    smallAtSign(px, 3, 1, Colour::BlueDark);
}

// 14x16 closed book seen from the front.
void closedBook(Pixels& px) {
    px.box(2, 1, 12, 15, Colour::Paper, Colour::PaperEdge);
    px.column(12, 2, 14, Colour::PaperLine);
    px.box(0, 0, 12, 15, Colour::Blue, Colour::BlueEdge);
    px.fill(1, 1, 2, 13, Colour::BlueDark);
    px.box(5, 3, 5, 3, Colour::Paper, Colour::BlueEdge);
}

void openBookPage(Pixels& px, int x) {
    px.box(x, 2, 8, 11, Colour::Paper, Colour::PaperEdge);
    for (int y = 5; y <= 9; y += 2)
        px.row(x + 2, x + 5, y, Colour::PaperLine);
}

// 18x16 book lying open on its cover.
void openBook(Pixels& px) {
    px.box(0, 4, 18, 11, Colour::Blue, Colour::BlueEdge);
    openBookPage(px, 1);
    openBookPage(px, 9);
    px.column(8, 3, 13, Colour::PaperEdge);
    px.column(9, 3, 13, Colour::PaperEdge);
}

// 18x16 letter box on a post, its flag raised.
void postBox(Pixels& px) {
    px.box(7, 10, 3, 6, Colour::Wood, Colour::WoodEdge);
    px.row(4, 11, 2, Colour::BlueEdge);
    px.row(2, 13, 3, Colour::BlueEdge);
    px.box(1, 3, 14, 8, Colour::Blue, Colour::BlueEdge);
    px.row(4, 11, 3, Colour::Blue);
    px.column(4, 4, 9, Colour::BlueDark);
    px.column(12, 1, 8, Colour::SlateEdge);
    px.box(13, 0, 5, 4, Colour::Red, Colour::RedEdge);
}

// A white disc inside the sign keeps it visible on a blue selection.
void treeAtSign(Pixels& px) {
    constexpr int left = 3;
    constexpr int top = 2;
    constexpr int size = 12;
    constexpr int corner[] = {3, 2, 1};
    for (int y = 0; y < size; ++y) {
        const int fromEdge = std::min(y, size - 1 - y);
        const int inset = fromEdge < 3 ? corner[fromEdge] : 0;
        px.row(left + inset, left + size - 1 - inset, top + y, Colour::Paper);
    }
    largeAtSign(px, left, top, Colour::BlueDark);
}

// A divider line crossed by an upright bar, 16 wide and height tall.
void separatorMark(Pixels& px, int height) {
    const int middle = height / 2;
    for (int x = 0; x < 16; x += 2)
        px.fill(x, middle - 1, 1, 2, Colour::Slate);
    px.box(6, 0, 4, height, Colour::Slate, Colour::SlateEdge);
    px.column(7, 1, height - 2, Colour::SlateLight);
}

void floppyDisk(Pixels& px) {
    px.box(0, 0, 16, 15, Colour::Blue, Colour::BlueEdge);
    px.erase(14, 0);
    px.erase(15, 1);
    px.fill(4, 0, 8, 5, Colour::SlateLight);
    px.row(4, 11, 0, Colour::SlateEdge);
    px.column(4, 0, 4, Colour::SlateEdge);
    px.column(11, 0, 4, Colour::SlateEdge);
    px.row(4, 11, 4, Colour::SlateEdge);
    px.fill(8, 1, 2, 3, Colour::SlateEdge);
    px.box(2, 7, 12, 8, Colour::Paper, Colour::BlueEdge);
    px.row(4, 11, 9, Colour::PaperLine);
    px.row(4, 11, 11, Colour::PaperLine);
}

// Rows first to last of both diagonals of a size-square, widened by reach either side.
void crossRows(Pixels& px, int size, int reach, int first, int last, QRgb rgba) {
    for (int y = first; y <= last; ++y) {
        for (int centre : {y, size - 1 - y})
            px.row(std::max(0, centre - reach), std::min(size - 1, centre + reach), y, rgba);
    }
}

// A bold cross 12 pixels square, edged so it reads on any background.
void redCross(Pixels& px) {
    constexpr int size = 12;
    crossRows(px, size, 2, 0, size - 1, Colour::RedEdge);
    crossRows(px, size, 1, 1, size - 2, Colour::Red);
}

void form(Pixels& px) {
    px.box(0, 0, 12, 15, Colour::Paper, Colour::PaperEdge);
    for (int y = 3; y <= 11; y += 4) {
        px.fill(2, y, 2, 2, Colour::Blue);
        px.row(5, 9, y + 1, Colour::PaperLine);
    }
}

QRgb pencilColour(int row, int rows) {
    if (row < 2)
        return Colour::Red;
    return row >= rows - 2 ? Colour::PencilTip : Colour::Pencil;
}

// A pencil lying from the top right down to its lead at the bottom left.
void pencil(Pixels& px) {
    constexpr int top = 3;
    constexpr int rows = 10;
    for (int row = 0; row < rows; ++row) {
        const int x = 15 - row;
        const int y = top + row;
        const QRgb body = pencilColour(row, rows);
        px.dot(x - 2, y, Colour::WoodEdge);
        px.dot(x - 1, y, body);
        px.dot(x, y, row == 0 ? Colour::WoodEdge : body);
        px.dot(x + 1, y, Colour::WoodEdge);
    }
    px.dot(15 - rows - 1, top + rows, Colour::SlateEdge);
}

void properties(Pixels& px) {
    form(px);
    pencil(px);
}

// An arrow pointing up, 14 wide and 13 tall.
void upArrow(Pixels& px) {
    constexpr int headRows = 7;
    px.box(4, headRows - 1, 6, 7, Colour::Blue, Colour::BlueEdge);
    for (int y = 0; y < headRows; ++y) {
        const int left = 6 - y;
        const int right = 7 + y;
        px.row(left, right, y, y == 0 ? Colour::BlueEdge : Colour::Blue);
        px.dot(left, y, Colour::BlueEdge);
        px.dot(right, y, Colour::BlueEdge);
    }
    // The head's lower rim, open where the shaft joins it.
    px.row(0, 4, headRows - 1, Colour::BlueEdge);
    px.row(9, 13, headRows - 1, Colour::BlueEdge);
}

void downArrow(Pixels& px) {
    px.flipVertically(13);
    upArrow(px);
}

void separatorMark14(Pixels& px) {
    separatorMark(px, 14);
}
void separatorMark13(Pixels& px) {
    separatorMark(px, 13);
}

// 16x16 address book: spiral-bound cover with an at sign, pages showing at the edge.
void applicationBook16(Pixels& px) {
    px.box(3, 1, 13, 15, Colour::Paper, Colour::PaperEdge);
    px.box(1, 0, 13, 15, Colour::Blue, Colour::BlueEdge);
    for (int y = 2; y <= 12; y += 3)
        px.row(0, 2, y, Colour::SlateEdge);
    smallAtSign(px, 4, 3, Colour::Paper);
}

// ---- Vector drawings on the 32 grid ----------------------------------------------------

void vectorFolder(Canvas& canvas) {
    canvas.box(QRectF(2, 5, 13, 7), 2, Colour::YellowBack, Colour::YellowEdge);
    canvas.box(QRectF(2, 9, 28, 19), 2, Colour::Yellow, Colour::YellowEdge);
    canvas.bar(QRectF(3, 10, 26, 2), Colour::YellowLight);
}

void vectorAddressCard(Canvas& canvas) {
    canvas.box(QRectF(1, 5, 30, 22), 3, Colour::Card, Colour::CardEdge);
    canvas.atSign(QPointF(16, 16), 8, 2.2, Colour::BlueDark);
}

void vectorSeparator(Canvas& canvas) {
    for (int x = 1; x < 31; x += 4)
        canvas.bar(QRectF(x, 15, 2, 2), Colour::Slate);
    canvas.box(QRectF(13, 3, 6, 26), 2, Colour::Slate, Colour::SlateEdge);
    canvas.bar(QRectF(15, 5, 1, 22), Colour::SlateLight);
}

void vectorApplicationBook(Canvas& canvas) {
    canvas.box(QRectF(7, 3, 23, 28), 3, Colour::Paper, Colour::PaperEdge);
    canvas.bar(QRectF(26, 6, 1, 22), Colour::PaperLine);
    canvas.box(QRectF(3, 1, 24, 28), 3, Colour::Blue, Colour::BlueEdge);
    canvas.bar(QRectF(4, 2, 4, 26), Colour::BlueDark);
    for (int y = 5; y <= 23; y += 6)
        canvas.box(QRectF(1, y, 7, 3), 1.5, Colour::SlateLight, Colour::SlateEdge);
    canvas.atSign(QPointF(17.5, 15), 7, 2.2, Colour::Paper);
}

// ---- Icon assembly ----------------------------------------------------------------------

constexpr QSize smallSquare{16, 16};

QIcon twoSizeIcon(PixelDrawing small, QPoint smallOrigin, VectorDrawing large) {
    QIcon icon;
    icon.addPixmap(pixelImage(smallSquare, smallOrigin, small));
    icon.addPixmap(vectorImage(32, large));
    return icon;
}

QIcon buildApplicationIcon() {
    QIcon icon;
    icon.addPixmap(pixelImage(smallSquare, QPoint(0, 0), applicationBook16));
    for (int size : {32, 48, 64})
        icon.addPixmap(vectorImage(size, vectorApplicationBook));
    return icon;
}

std::array<QPixmap, treeImageCount> buildTreeImages() {
    auto image = [](QPoint origin, PixelDrawing draw) {
        return pixelImage(treeImageSize, origin, draw);
    };
    return {image(QPoint(2, 0), closedBook),   image(QPoint(0, 0), openBook),
            image(QPoint(1, 2), closedFolder), image(QPoint(1, 2), openFolder),
            image(QPoint(0, 0), postBox),      image(QPoint(0, 0), treeAtSign)};
}

std::array<QIcon, 3> buildKindIcons() {
    return {twoSizeIcon(addressCard, QPoint(0, 2), vectorAddressCard),
            twoSizeIcon(closedFolder, QPoint(0, 2), vectorFolder),
            twoSizeIcon(separatorMark14, QPoint(0, 1), vectorSeparator)};
}

std::array<QIcon, toolbarImageCount> buildToolbarIcons() {
    auto icon = [](QPoint origin, PixelDrawing draw) {
        return QIcon(pixelImage(toolbarImageSize, origin, draw));
    };
    return {icon(QPoint(0, 1), openFolder),   icon(QPoint(0, 0), floppyDisk),
            icon(QPoint(2, 1), redCross),     icon(QPoint(0, 0), properties),
            icon(QPoint(1, 1), upArrow),      icon(QPoint(1, 1), downArrow),
            icon(QPoint(0, 1), closedFolder), icon(QPoint(0, 1), separatorMark13),
            icon(QPoint(0, 1), addressCard)};
}

} // namespace

QIcon applicationIcon() {
    static const QIcon icon = buildApplicationIcon();
    return icon;
}

QPixmap treeImage(TreeImage image) {
    static const std::array<QPixmap, treeImageCount> images = buildTreeImages();
    return images.at(image);
}

QIcon kindIcon(int kind) {
    static const std::array<QIcon, 3> icons = buildKindIcons();
    if (kind < 0 || kind >= int(icons.size()))
        return {};
    return icons[kind];
}

QIcon toolbarIcon(ToolbarImage image) {
    static const std::array<QIcon, toolbarImageCount> icons = buildToolbarIcons();
    return icons.at(image);
}

} // namespace Artwork
