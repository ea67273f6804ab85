#include "FontTables.h"

#include <QList>
#include <QtEndian>

#include <algorithm>

namespace {

// Big-endian reads that check every range against the table's size.
class TableReader {
public:
    explicit TableReader(const QByteArray& data) : data_(data) {}

    bool has(qint64 offset, qint64 size) const {
        return offset >= 0 && size >= 0 && size <= data_.size() && offset <= data_.size() - size;
    }
    quint16 u16(qint64 offset) const {
        return has(offset, 2) ? qFromBigEndian<quint16>(data_.constData() + offset) : 0;
    }
    quint32 u32(qint64 offset) const {
        return has(offset, 4) ? qFromBigEndian<quint32>(data_.constData() + offset) : 0;
    }
    QByteArray bytes(qint64 offset, qint64 size) const {
        return has(offset, size) ? data_.mid(offset, size) : QByteArray();
    }

private:
    const QByteArray& data_;
};

void Put16(QByteArray& out, quint16 value) {
    char bytes[2];
    qToBigEndian(value, bytes);
    out.append(bytes, 2);
}

void Put32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

constexpr char32_t kLastCharacter = 0x10FFFF;

// Platform 0 is Unicode throughout; platform 3 is with encodings 1 (BMP) and 10 (full).
bool IsUnicodeSubtable(quint16 platform, quint16 encoding) {
    return platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10));
}

// Offset of the first subtable of this format with a Unicode encoding; -1 when none.
qint64 FindSubtable(const TableReader& in, quint16 format) {
    const int count = in.has(0, 4) ? in.u16(2) : 0;
    for (int i = 0; i < count && in.has(4 + 8 * i, 8); ++i) {
        const qint64 record = 4 + 8 * i;
        const qint64 offset = in.u32(record + 4);
        if (IsUnicodeSubtable(in.u16(record), in.u16(record + 2)) && in.has(offset, 2) &&
            in.u16(offset) == format)
            return offset;
    }
    return -1;
}

std::vector<CharGlyph> ReadFormat12(const TableReader& in, qint64 at) {
    const quint32 groups = in.u32(at + 12);
    if (!in.has(at, 16) || !in.has(at + 16, qint64(groups) * 12))
        return {};
    std::vector<CharGlyph> map;
    for (quint32 g = 0; g < groups; ++g) {
        const qint64 group = at + 16 + qint64(g) * 12;
        const char32_t first = in.u32(group);
        const char32_t last = std::min<char32_t>(in.u32(group + 4), kLastCharacter);
        const quint32 glyph = in.u32(group + 8);
        // Overlapping groups could otherwise make far more entries than there are characters.
        if (first > last || map.size() + (last - first) > kLastCharacter)
            return {};
        for (char32_t c = first; c <= last; ++c)
            map.push_back({c, glyph + (c - first)});
    }
    return map;
}

std::vector<CharGlyph> ReadFormat4(const TableReader& in, qint64 at) {
    const qint64 segments = in.u16(at + 6) / 2;
    const qint64 ends = at + 14;
    const qint64 starts = ends + 2 * segments + 2;
    const qint64 deltas = starts + 2 * segments;
    const qint64 rangeOffsets = deltas + 2 * segments;
    if (!in.has(at, 14) || !in.has(ends, 8 * segments + 2))
        return {};
    std::vector<CharGlyph> map;
    for (qint64 s = 0; s < segments; ++s) {
        const char32_t start = in.u16(starts + 2 * s);
        const char32_t end = in.u16(ends + 2 * s);
        const quint16 delta = in.u16(deltas + 2 * s);
        const quint16 rangeOffset = in.u16(rangeOffsets + 2 * s);
        // U+FFFF only ends the table.
        for (char32_t c = start; c <= end && c < 0xFFFF; ++c) {
            quint16 glyph = quint16(c + delta);
            if (rangeOffset != 0) {
                const qint64 where = rangeOffsets + 2 * s + rangeOffset + 2 * (c - start);
                glyph = in.u16(where);
                if (glyph != 0)
                    glyph = quint16(glyph + delta);
            }
            if (glyph != 0)
                map.push_back({c, glyph});
        }
    }
    return map;
}

// The variation sequences subtable, bytes as they are; its offsets are its own.
QByteArray VariationSubtable(const QByteArray& cmap) {
    const TableReader in(cmap);
    const qint64 at = FindSubtable(in, 14);
    return at < 0 ? QByteArray() : in.bytes(at, in.u32(at + 2));
}

quint32 Checksum(const QByteArray& data) {
    quint32 sum = 0;
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    qsizetype i = 0;
    for (; i + 4 <= data.size(); i += 4)
        sum += qFromBigEndian<quint32>(bytes + i);
    for (int shift = 24; i < data.size(); ++i, shift -= 8)
        sum += quint32(bytes[i]) << shift;
    return sum;
}

QString PostScriptName(const QString& family, const QString& style) {
    QString name;
    for (QChar c : family + u'-' + style) {
        if (c.unicode() < 0x80 && (c.isLetterOrNumber() || c == u'-'))
            name += c;
    }
    return name.left(63);
}

} // namespace

std::vector<CharGlyph> ReadUnicodeCharMap(const QByteArray& cmap) {
    const TableReader in(cmap);
    std::vector<CharGlyph> map;
    if (const qint64 full = FindSubtable(in, 12); full >= 0)
        map = ReadFormat12(in, full);
    else if (const qint64 basic = FindSubtable(in, 4); basic >= 0)
        map = ReadFormat4(in, basic);
    std::stable_sort(map.begin(), map.end(), [](const CharGlyph& a, const CharGlyph& b) {
        return a.character < b.character;
    });
    map.erase(std::unique(map.begin(), map.end(),
                          [](const CharGlyph& a, const CharGlyph& b) {
                              return a.character == b.character;
                          }),
              map.end());
    return map;
}

QByteArray WriteCharMap(const std::vector<CharGlyph>& map, const QByteArray& originalCmap) {
    QByteArray groups;
    quint32 groupCount = 0;
    for (std::size_t i = 0; i < map.size(); ++groupCount) {
        std::size_t next = i + 1;
        while (next < map.size() && map[next].character == map[next - 1].character + 1 &&
               map[next].glyph == map[next - 1].glyph + 1)
            ++next;
        Put32(groups, map[i].character);
        Put32(groups, map[next - 1].character);
        Put32(groups, map[i].glyph);
        i = next;
    }
    const QByteArray variations = VariationSubtable(originalCmap);
    const quint16 subtables = variations.isEmpty() ? 1 : 2;
    const quint32 firstSubtable = 4 + 8 * subtables;

    QByteArray cmap;
    Put16(cmap, 0);
    Put16(cmap, subtables);
    // Records go by platform, then encoding.
    if (!variations.isEmpty()) {
        Put16(cmap, 0);
        Put16(cmap, 5);
        Put32(cmap, firstSubtable);
    }
    Put16(cmap, 3);
    Put16(cmap, 10);
    Put32(cmap, firstSubtable + variations.size());
    cmap += variations;
    Put16(cmap, 12);
    Put16(cmap, 0);
    Put32(cmap, 16 + groups.size());
    Put32(cmap, 0);
    Put32(cmap, groupCount);
    return cmap + groups;
}

QByteArray WriteNameTable(const QString& family, const QString& style) {
    const QList<QPair<quint16, QString>> names{
        {1, family}, {2, style}, {4, family + u' ' + style}, {6, PostScriptName(family, style)}};
    QByteArray table;
    QByteArray strings;
    Put16(table, 0);
    Put16(table, names.size());
    Put16(table, 6 + 12 * names.size());
    for (const auto& [id, text] : names) {
        QByteArray utf16;
        for (QChar c : text)
            Put16(utf16, c.unicode());
        for (quint16 field : {3, 1, 0x409}) // Windows platform, UTF-16, English
            Put16(table, field);
        Put16(table, id);
        Put16(table, utf16.size());
        Put16(table, strings.size());
        strings += utf16;
    }
    return table + strings;
}

QByteArray WriteFontFile(std::map<quint32, QByteArray> tables) {
    constexpr qint64 kAdjustment = 8; // checkSumAdjustment within 'head'
    const auto head = tables.find(TableTag("head"));
    const bool withHead = head != tables.end() && head->second.size() >= kAdjustment + 4;
    if (withHead)
        head->second.replace(kAdjustment, 4, QByteArray(4, '\0'));
    const bool postScriptOutlines =
        tables.count(TableTag("CFF ")) != 0 || tables.count(TableTag("CFF2")) != 0;
    const auto count = quint16(tables.size());
    quint16 power = 1;
    quint16 log = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log;
    }

    QByteArray file;
    Put32(file, postScriptOutlines ? TableTag("OTTO") : 0x00010000);
    Put16(file, count);
    Put16(file, power * 16);
    Put16(file, log);
    Put16(file, count * 16 - power * 16);
    qint64 offset = 12 + 16 * count;
    qint64 headOffset = -1;
    for (const auto& [tag, data] : tables) {
        if (tag == TableTag("head"))
            headOffset = offset;
        Put32(file, tag);
        Put32(file, Checksum(data));
        Put32(file, quint32(offset));
        Put32(file, quint32(data.size()));
        offset += (data.size() + 3) & ~qint64(3);
    }
    file.reserve(offset);
    for (const auto& [tag, data] : tables) {
        file += data;
        file.append((4 - data.size() % 4) % 4, '\0');
    }
    if (withHead) {
        char adjustment[4];
        qToBigEndian(quint32(0xB1B0AFBA - Checksum(file)), adjustment);
        file.replace(headOffset + kAdjustment, 4, adjustment, 4);
    }
    return file;
}
