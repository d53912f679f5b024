#pragma once
// The RTF codec's invariants on any bytes, in one place for the corpus test and the fuzz target.

#include <QByteArrayView>
#include <QStringList>

namespace qlytest {

// Reads the bytes, writes what was read, reads that again and scans the text for find; returns
// a line for each invariant that does not hold (empty when all hold).
QStringList rtfInvariantFailures(QByteArrayView bytes);

} // namespace qlytest
