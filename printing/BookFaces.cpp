#include "BookFaces.h"

#include "FontTables.h"
#include "framework/Cp932.h"

#include <QFile>
#include <QFontDatabase>
#include <QHash>
#include <QRawFont>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>

namespace {

// Every table a face may draw or lay out with, but its character map and names.
constexpr const char* kCopiedTables[] = {
    "head", "hhea", "hmtx", "maxp", "OS/2", "post", "CFF ", "CFF2", "VORG", "glyf", "loca",
    "cvt ", "fpgm", "prep", "gasp", "hdmx", "LTSH", "VDMX", "kern", "vhea", "vmtx", "BASE",
    "GDEF", "GPOS", "GSUB", "JSTF", "MATH", "COLR", "CPAL", "SVG ", "CBDT", "CBLC", "EBDT",
    "EBLC", "EBSC", "sbix", "fvar", "avar", "gvar", "cvar", "HVAR", "VVAR", "MVAR", "STAT"};

// The characters a book can hold: all that CP932 decodes to.
const QSet<char32_t>& BookCharacters() {
    static const QSet<char32_t> characters = [] {
        QSet<char32_t> set;
        const auto add = [&set](std::string_view bytes) {
            for (char32_t c : QString::fromStdString(Cp932ToUtf8(bytes)).toUcs4()) {
                if (c != 0xFFFD)
                    set.insert(c);
            }
        };
        for (int single = 0x20; single <= 0xFF; ++single)
            add(std::string(1, char(single)));
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            for (int trail = 0x40; trail <= 0xFC; ++trail)
                add(std::string{char(lead), char(trail)});
        }
        return set;
    }();
    return characters;
}

// Leaves out each character a book cannot hold whose glyph also draws one it can.
void KeepGlyphsForBookCharacters(std::vector<CharGlyph>& map) {
    const QSet<char32_t>& book = BookCharacters();
    QSet<quint32> bookGlyphs;
    for (const CharGlyph& entry : map) {
        if (book.contains(entry.character))
            bookGlyphs.insert(entry.glyph);
    }
    std::erase_if(map, [&](const CharGlyph& entry) {
        return !book.contains(entry.character) && bookGlyphs.contains(entry.glyph);
    });
}

// The copies made so far, by face. They are written to files, not registered from memory,
// so that the font system maps them instead of each staying in memory whole (tens of MB).
class BookFaceRegistry {
public:
    QString familyFor(const QRawFont& face) {
        const QString key = face.familyName() + u'\n' + face.styleName();
        auto known = families_.constFind(key);
        if (known == families_.cend())
            known = families_.insert(key, makeCopy(face)); // an empty family is not retried
        return *known;
    }

private:
    QString makeCopy(const QRawFont& face) {
        const QByteArray cmap = face.fontTable("cmap");
        std::vector<CharGlyph> map = ReadUnicodeCharMap(cmap);
        if (!dir_.isValid() || map.empty())
            return {};
        KeepGlyphsForBookCharacters(map);
        std::map<quint32, QByteArray> tables;
        for (const char* tag : kCopiedTables) {
            if (QByteArray table = face.fontTable(tag); !table.isEmpty())
                tables.emplace(TableTag(tag), table);
        }
        const QString family =
            QStringLiteral("Tellwick Print %1 %2").arg(face.familyName(), face.styleName());
        tables[TableTag("cmap")] = WriteCharMap(map, cmap);
        tables[TableTag("name")] = WriteNameTable(family, face.styleName());

        QFile file(dir_.filePath(QStringLiteral("face%1.otf").arg(families_.size() + 1)));
        const QByteArray bytes = WriteFontFile(std::move(tables));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
            return {};
        file.close();
        return QFontDatabase::applicationFontFamilies(
                   QFontDatabase::addApplicationFont(file.fileName()))
            .value(0);
    }

    QTemporaryDir dir_;
    QHash<QString, QString> families_;
};

} // namespace

QString BookFaceFamily(const QRawFont& face) {
    if (!face.isValid())
        return {};
    static BookFaceRegistry registry;
    return registry.familyFor(face);
}
