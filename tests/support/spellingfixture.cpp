#include "support/spellingfixture.h"

#include "support/tempdir.h"

namespace qlytest {

void writeLatin1Dictionary(const TempDir& dir, const QString& code) {
    dir.write(code + QStringLiteral(".aff"),
              "SET ISO8859-1\nTRY esianrtolcdugmphbyfvkwz\nWORDCHARS '\n"
              "SFX S Y 1\nSFX S 0 s .\n");
    dir.write(code + QStringLiteral(".dic"),
              QStringLiteral("6\ncaf\u00e9/S\nna\u00efve\nthe\nquick\ndon't\nbrown\n").toLatin1());
}

} // namespace qlytest
