#pragma once

// Books that push one dimension far past what anyone writes by hand: nesting depth, line
// length, entry count, entries in one group, bytes that are no text. Each is produced a
// piece at a time into a sink, so a big one can go straight to disk; BookBytes collects one
// in memory. The tests open them at a size the sanitizer build runs quickly, the benchmarks
// at full size.
#include <QByteArray>

#include <functional>
#include <utility>

using BookSink = std::function<void(const QByteArray&)>;

inline QByteArray BookBytes(const std::function<void(const BookSink&)>& book) {
    QByteArray bytes;
    book([&bytes](const QByteArray& piece) { bytes += piece; });
    return bytes;
}

// The label of the group at `level` (1 = the top of the chain) in NestedChainBook.
inline QByteArray ChainGroupName(int level) {
    return "d" + QByteArray::number(level);
}

// An empty group "first", then the group "top" holding a chain of `depth` nested groups
// d1 ... dN. The deepest, dN, holds the address "x: deepest" and has the empty group "sib"
// after it. No indentation and no END GROUP after the deepest level: the end of the file
// closes the groups, as the indentation of a deep book would fill a disk.
inline void NestedChainBook(int depth, const BookSink& sink) {
    sink("GROUP first\r\nEND GROUP\r\nGROUP top\r\n");
    QByteArray piece;
    for (int level = 1; level <= depth; ++level) {
        piece += "GROUP " + ChainGroupName(level) + "\r\n";
        if (piece.size() > (1 << 16))
            sink(std::exchange(piece, QByteArray()));
    }
    sink(piece + "x: deepest\r\nEND GROUP\r\nGROUP sib\r\nEND GROUP\r\n");
}

// "before: 1", then one line whose address (or name) is `bytes` long, then "after: 2". The
// long text mixes ASCII with two-byte CP932 kana and never holds ':' or ','.
inline void LongLineBook(qsizetype bytes, bool longName, const BookSink& sink) {
    static const QByteArray pattern("abc\x83\x41xyz\x82\xA0"
                                    "0123456789 ");
    QByteArray text;
    text.reserve(bytes);
    while (text.size() + pattern.size() <= bytes)
        text += pattern;
    text += QByteArray(bytes - text.size(), 'z');
    sink("before: 1\r\n");
    sink(longName ? text + ": short\r\n" : "long: " + text + "\r\n");
    sink("after: 2\r\n");
}

// `count` top-level addresses named with one byte each, in the form a save writes them.
inline void TinyEntriesBook(int count, const BookSink& sink) {
    QByteArray piece;
    for (int i = 0; i < count; ++i) {
        piece += char('a' + i % 26);
        piece += ": \r\n";
        if (piece.size() > (1 << 16))
            sink(std::exchange(piece, QByteArray()));
    }
    sink(piece);
}

// The group "big" holding `count` addresses, then the empty group "other" and the address
// "last: z", indented as a save writes them.
inline void OneBigGroupBook(int count, const BookSink& sink) {
    sink("GROUP big\r\n");
    QByteArray piece;
    for (int i = 0; i < count; ++i) {
        piece += "  e" + QByteArray::number(i) + ": " + QByteArray::number(i % 1000) + "\r\n";
        if (piece.size() > (1 << 16))
            sink(std::exchange(piece, QByteArray()));
    }
    sink(piece + "END GROUP\r\nGROUP other\r\nEND GROUP\r\nlast: z\r\n");
}

// An executable's first bytes, runs of NUL and every byte value except CR, LF and ':', with
// no line end anywhere: one line of `bytes` bytes that reads as one address.
inline QByteArray NoTextAtAll(qsizetype bytes) {
    QByteArray blob("\x7F"
                    "ELF\x02\x01\x01",
                    7);
    blob += QByteArray(57, '\0');
    for (int value = 0; blob.size() < bytes; value = (value + 7) % 256) {
        if (value != '\r' && value != '\n' && value != ':')
            blob += char(value);
        if (value == 0)
            blob += QByteArray(100, '\0');
    }
    return blob.left(bytes);
}
