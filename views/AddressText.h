#pragma once

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

// The stored addresses an unchanged box gives back: all but those of blanks only.
std::vector<std::string> WithoutBlankAddresses(const std::vector<std::string>& addresses);

// The box's text for stored addresses: each as it displays, followed by a line break.
QString AddressBoxText(const std::vector<std::string>& addresses);
