#pragma once

class Prompter;
class QWidget;

// At the start of the window: for each save of a book that was cut while its bytes were
// rewritten in place, asks whether to put back the content from before the save, the content
// being saved, or to leave the book as it is for now (asked again at the next start).
void OfferCutSaves(Prompter& prompter, QWidget* parent);
