#pragma once

#include "storage/SafeFiles.h"

#include <QByteArray>

// The safe file layer (storage/SafeFiles.h) for the byte paths the window holds.

inline int OpenRegularFileForReading(const QByteArray& path, struct stat& info, int& error) {
    return OpenRegularFileForReading(path.toStdString(), info, error);
}

inline FileOutcome SaveFileSafely(const QByteArray& path, std::optional<std::uint64_t> size,
                                  const std::function<void(std::ostream&)>& write) {
    return SaveFileSafely(path.toStdString(), size, write);
}
