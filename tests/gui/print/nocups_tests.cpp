// Printing on a computer without the print service's library: run with a library path whose
// libcups.so.2 cannot be loaded (tests/CMakeLists.txt), as on a system without CUPS.
#include "print/printjob.h"
#include "settings/error.h"

#include <gtest/gtest.h>

TEST(PrintWithoutCups, SaysThatThePrintServicesLibraryCannotBeLoaded) {
    try {
        qly::selectedPrinter();
        ADD_FAILURE() << "a printer was chosen without the print service";
    } catch (const qly::Error& e) {
        EXPECT_TRUE(e.message().startsWith(
            QStringLiteral("Cannot print: the print service's library cannot be loaded")))
            << e.message().toStdString();
    }
}
