#pragma once

#include <QString>

class QRawFont;

// A PDF tells which character each glyph stands for by the lowest character that reaches
// the glyph in its face. CJK faces draw many ideographs with the glyph of a radical or
// symbol that comes first (山 U+5C71 with ⼭ U+2F2D, ・ U+30FB with ‧ U+2027), so printed names
// would copy and search as other characters. This makes a copy of face whose character map
// reaches such a glyph only through the characters a book can hold, registers it for this
// process and returns its family; once per face. Empty when no copy can be made: the face
// then prints as it is. GUI thread only.
QString BookFaceFamily(const QRawFont& face);
