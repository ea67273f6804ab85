#pragma once

#include "PageComposer.h"

#include <QString>

class EntryTree;
class QPagedPaintDevice;
class QPainter;

// What is printed: the document's title and its book.
struct PrintedBook {
    QString title;
    const EntryTree& tree;
};

struct RenderResult {
    int pagesDrawn = 0;
    bool stopped = false; // the page callback ended the job early
};

// Draws the book on a device whose painter is active: the title, then every entry in
// reading order; a group as a heading indented by its depth, an address as its name with
// its addresses below it, a separator as a rule. Long text wraps; no line is cut by a page
// break. Time and memory grow with the book's size alone, at any nesting depth.
RenderResult RenderBook(QPainter& painter, QPagedPaintDevice& device, const PrintedBook& book,
                        PageRange range = {}, const PageComposer::PageStarted& pageStarted = {});
