#pragma once

#include <QFont>

// The fonts of a printed book: one Japanese typeface in four roles.
struct PrintFonts {
    QFont title;   // the book's title on the first page
    QFont heading; // a group's name
    QFont body;    // names and addresses
    QFont footer;  // page numbers

    static PrintFonts standard();
};

// Latin letters and digits from DejaVu Sans, Japanese from a Japanese face where one is
// installed (Qt's own fallback may pick a Chinese one for kanji). Noto Sans CJK alone would
// do for both, but after a letter it draws digits with glyphs that a PDF cannot map back
// to text, so "taro1@example.jp" would copy and search as "taro@example.jp". The Japanese
// face comes first as its book copy (BookFaces.h).
QFont JapanesePrintFont(qreal pointSize, QFont::Weight weight = QFont::Normal);
// The faces that draw the Japanese text of a print font, without its Latin one: lines must
// make room for the taller of the two.
QFont JapaneseFacesOf(const QFont& printFont);
