#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace qly {

// Replaces the file at path with data: written to a temporary file in the same folder,
// flushed to disk and renamed over the old one, so a crash, a full disk or a pulled drive
// leaves either the old or the new file, never a truncated one. After the rename the folder
// is flushed too, so that the new name itself survives a power loss. An existing file that the
// user may not write (read-only) is refused, as the system's own profile writer does.
// Returns false, with the reason in errorText when given, on any failure.
bool writeFileAtomically(const QString& path, QByteArrayView data, QString* errorText = nullptr);

// Removes the temporary files that writes cut short (a kill or a power loss between writing
// and renaming) left in a folder: "<name>.XXXXXX" for one of the names, regular files owned
// by this user and last changed before the program started. Returns how many went.
int removeLeftoverTemporaries(const QString& folder, const QStringList& names);

} // namespace qly
