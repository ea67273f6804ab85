#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <string_view>
#include <vector>

// Reading and writing the few OpenType tables a changed copy of an installed face needs. The
// readers take any bytes: a table they do not understand gives an empty result.

struct CharGlyph {
    char32_t character;
    quint32 glyph;
};

// The Unicode mapping of a 'cmap' table, by character: its full-range subtable (format 12)
// where it has one, else its Basic Multilingual Plane one (format 4).
std::vector<CharGlyph> ReadUnicodeCharMap(const QByteArray& cmap);

// A 'cmap' table mapping exactly these characters (sorted by character), keeping the
// variation sequences (format 14 subtable) of the original table as they are.
QByteArray WriteCharMap(const std::vector<CharGlyph>& map, const QByteArray& originalCmap);

// A 'name' table giving only the family, style, full and PostScript names.
QByteArray WriteNameTable(const QString& family, const QString& style);

// A font file of these tables, keyed by tag ('head' as 0x68656164); 'head' gets the file's
// checksum adjustment.
QByteArray WriteFontFile(std::map<quint32, QByteArray> tables);

constexpr quint32 TableTag(std::string_view tag) {
    return quint32(quint8(tag[0])) << 24 | quint32(quint8(tag[1])) << 16 |
           quint32(quint8(tag[2])) << 8 | quint32(quint8(tag[3]));
}
