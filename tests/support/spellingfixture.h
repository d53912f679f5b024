#pragma once

#include <QString>

namespace qlytest {

class TempDir;

// A small Hunspell dictionary "xx_XX" in Latin-1 (SET ISO8859-1) written into dir: "the",
// "quick", "café" (and "cafés"), "naïve", "don't", "brown".
void writeLatin1Dictionary(const TempDir& dir, const QString& code = QStringLiteral("xx_XX"));

} // namespace qlytest
