// Fuzzes what a client of the request server can send: framing at any chunking, decoding
// of bytes that are not UTF-8, and parsing. Lines must come out the same whatever the
// chunks, never longer than the bound and never holding a line break; path bytes must
// survive decoding.
#include "app/ShellRequests.h"
#include "framework/PathNames.h"

#include <cstdlib>
#include <cstring>

namespace {

struct Framed {
    QList<QByteArray> lines;
    int refused = 0;
};

Framed FrameInChunks(QByteArrayView stream, qsizetype chunk, qsizetype bound) {
    RequestFramer framer(bound);
    Framed out;
    for (qsizetype at = 0; at < stream.size(); at += chunk)
        out.lines += framer.feed(stream.sliced(at, std::min(chunk, stream.size() - at)));
    if (auto last = framer.finish())
        out.lines << *last;
    out.refused = framer.refusedLines();
    return out;
}

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView stream(reinterpret_cast<const char*>(data), qsizetype(size));
    constexpr qsizetype kBound = 64; // small, so inputs reach it
    const Framed whole = FrameInChunks(stream, std::max<qsizetype>(1, stream.size()), kBound);
    for (qsizetype chunk : {1, 3, 7}) {
        const Framed pieces = FrameInChunks(stream, chunk, kBound);
        Require(pieces.lines == whole.lines && pieces.refused == whole.refused,
                "framing depends on chunking");
    }
    for (const QByteArray& line : whole.lines) {
        Require(line.size() <= kBound && !line.contains('\n'), "line breaks its bound");
        const QString text = DecodeRequestLine(line);
        Require(EncodePathBytes(text) == line, "decoding lost bytes");
        for (const ShellRequest& request : ParseShellRequests(text))
            Require(!request.arguments.isEmpty(), "request without arguments");
    }
    return 0;
}
