#pragma once

#include "file/RoundTrip.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

// The text of the address dialog's box, one address a line, and the CP932 bytes the book
// stores for it. Blanks are the single-byte space, TAB, LF, VT, FF and CR only: a full-width
// space is part of what the user typed.

// `line` without the blanks at either end.
QString TrimBlanks(const QString& line);

// The addresses the box holds: every line without the blanks at its ends, in order; lines
// left empty are dropped. Lines end at LF, CR or CR LF, as in the book.
QStringList AddressLines(const QString& boxText);

// The CP932 bytes of `text`. nullopt when CP932 cannot hold some character; each such
// character is then appended to `refused`, unless `refused` has it already. A lone surrogate
// is refused too, and listed as U+FFFD.
std::optional<std::string> EncodeText(const QString& text, QString& refused);

// The bytes of each line: those of the first unused original showing the same text, so that
// lines the user left alone keep their exact bytes; otherwise the line encoded afresh.
// nullopt when some line cannot be encoded; its characters are added to `refused` as above.
std::optional<std::vector<std::string>>
EncodeAddressLines(const QStringList& lines, const std::vector<std::string>& originals,
                   QString& refused);

// Why book bytes typed for place would read back from the saved book differently, naming the
// character or keyword and the reason; empty when they would read back unchanged.
QString RoundTripRefusal(std::string_view bytes, TextPlace place);

// Why stored addresses, one a line of the box, would read back differently; empty when they
// would not. The first is checked as the first address of its line, the others as later ones.
QString AddressesRefusal(const std::vector<std::string>& addresses);

// The most bytes of one name or address the editors take: far more than anyone types, and
// little enough that a line edit stays quick to lay out on every keystroke.
inline constexpr std::size_t kLongestEditedText = 64 * 1024;

// Why stored text is too long to be edited in place or in a dialog; empty when it is not.
QString TooLongToEdit(std::size_t bytes);

// The stored addresses an unchanged box gives back: all but those of blanks only.
std::vector<std::string> WithoutBlankAddresses(const std::vector<std::string>& addresses);

// The box's text for stored addresses: each as it displays, followed by a line break.
QString AddressBoxText(const std::vector<std::string>& addresses);
