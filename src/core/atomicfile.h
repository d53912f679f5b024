#pragma once

#include <QByteArrayView>
#include <QString>

namespace qly {

// Replaces the file at path with data: written to a temporary file in the same folder,
// flushed to disk and renamed over the old one, so a crash, a full disk or a pulled drive
// leaves either the old or the new file, never a truncated one. An existing file that the
// user may not write (read-only) is refused, as the system's own profile writer does.
// Returns false, with the reason in errorText when given, on any failure.
bool writeFileAtomically(const QString& path, QByteArrayView data, QString* errorText = nullptr);

} // namespace qly
