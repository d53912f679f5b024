// libFuzzer target for the RTF codec: the reader must not crash, leak or misbehave on any
// bytes, what it reads must survive the writer (read(write(read(x))) == read(x)), and find's
// scanner must read the reader's text. The invariants are those of the corpus test
// (tests/support/rtfinvariants.cpp).
#include "support/rtfinvariants.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList failed = qlytest::rtfInvariantFailures(bytes);
    if (!failed.isEmpty()) {
        for (const QString& what : failed)
            std::fprintf(stderr, "invariant broken: %s\n", qPrintable(what));
        std::abort();
    }
    return 0;
}
