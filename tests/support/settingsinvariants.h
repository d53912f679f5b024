#pragma once
// The settings reader's invariants on any bytes, in one place for the corpus test and the fuzz
// target.

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace qlytest {

// Puts the bytes in the settings file at path and reads it; reads the keys the bytes seem to
// name, writes one and reads the file again. Returns a line for each invariant that does not
// hold (empty when all hold): a regular file is read, no value is longer than the limit, the
// key written reads back and every other key keeps its value.
QStringList settingsInvariantFailures(QByteArrayView bytes, const QString& path);

} // namespace qlytest
