// libFuzzer target for the settings reader: any bytes in the settings file must read without a
// crash, a leak or a value longer than the reader's limit, and a key written must read back
// while every other key keeps its value (the writer keeps every other line as it was). The
// invariants are those of the corpus test (tests/support/settingsinvariants.cpp).
#include "support/settingsinvariants.h"

#include <QDir>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// A folder of this process's own for the file, on a memory file system when there is one.
const QString& scratchFile() {
    static const QString path = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                       : QDir::tempPath();
        const QString folder = base + QStringLiteral("/qly-fuzz-settings-%1").arg(::getpid());
        QDir().mkpath(folder);
        return folder + QStringLiteral("/qly.ini");
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList failed = qlytest::settingsInvariantFailures(bytes, scratchFile());
    if (!failed.isEmpty()) {
        for (const QString& what : failed)
            std::fprintf(stderr, "invariant broken: %s\n", qPrintable(what));
        std::abort();
    }
    return 0;
}
