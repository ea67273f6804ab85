// Fuzzes the profile reader and writer: any bytes must read without faults and write back
// unchanged when nothing was set; setting the recent files must give them back when the
// output is read again, and leave every other entry as it was.
#include "framework/ProfileFile.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const QString recentSection = QStringLiteral("Recent File List");
const QString settingsSection = QStringLiteral("Settings");

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_profile: %s\n", what);
    std::abort();
}

// Fixed values that need quoting or hold non-ASCII text, and one taken from the input's
// tail so the fuzzer also picks values.
QStringList ValuesFor(const QByteArray& bytes) {
    return {QStringLiteral("/home/u/a b&c.tlw"), QStringLiteral(" /edge blanks.tlw\t"),
            QStringLiteral("\"/quoted.tlw\""), QString::fromUtf8(bytes.right(24))};
}

QString KeyOf(int index) {
    return QStringLiteral("File%1").arg(index + 1);
}

ProfileFile Read(const QByteArray& bytes) {
    ProfileFile profile;
    profile.loadFromBytes(bytes);
    return profile;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ProfileFile profile = Read(bytes);
    if (profile.toBytes() != bytes)
        Fail("an unchanged profile was not written back byte for byte");

    const QString previewPages = profile.value(settingsSection, QStringLiteral("PreviewPages"));
    const QStringList values = ValuesFor(bytes);
    QList<bool> stored;
    for (int i = 0; i < values.size(); ++i)
        stored.append(profile.setValue(recentSection, KeyOf(i), values[i]));

    const ProfileFile reread = Read(profile.toBytes());
    for (int i = 0; i < values.size(); ++i) {
        if (stored[i] && reread.value(recentSection, KeyOf(i)) != values[i])
            Fail("a recent file set in the profile read back differently");
    }
    if (reread.value(settingsSection, QStringLiteral("PreviewPages")) != previewPages)
        Fail("setting the recent files changed another entry");
    return 0;
}
