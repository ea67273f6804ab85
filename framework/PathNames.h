#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class QUrl;

// File names on Linux are bytes. Books copied from old Japanese systems often have names in
// Shift-JIS, which are not UTF-8; Qt's own conversion turns such bytes into U+FFFD and the
// file can no longer be found. These helpers keep every byte: valid UTF-8 decodes as usual,
// any other byte b becomes the lone surrogate U+DC00+b and encodes back to b.

QString DecodePathBytes(QByteArrayView bytes);
QByteArray EncodePathBytes(const QString& path);

// Whether the name holds bytes that are not UTF-8 (kept as surrogates).
bool HasRawPathBytes(const QString& path);
// Whether the name lost bytes before it reached us (U+FFFD from a lossy conversion).
bool HasLostPathBytes(const QString& path);

// For captions and messages: a name with raw bytes is shown as the CP932 text it most
// likely is.
QString DisplayPathName(const QString& path);

// The local file a file: URL names, keeping percent-encoded bytes that are not UTF-8.
QString LocalPathOfUrl(const QUrl& url);

// Absolute and cleaned without touching the disk, so raw bytes survive.
QString AbsolutePathName(const QString& path);
