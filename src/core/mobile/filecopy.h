#pragma once

#include <QString>

#include <functional>

namespace qly {

// Told the bytes copied so far and the file's size: once with 0 before the first block,
// after every block, and with 0 again when the copy ends, also when it fails.
using CopyProgress = std::function<void(qint64 done, qint64 size)>;

inline constexpr qint64 CopyBlockSize = 8192;

// Copies one file in blocks of 8192 bytes. The copy is written to a temporary file in the
// target's folder, flushed to disk, given the source's modification time and mode, and
// renamed over the target: a failure leaves the old target file as it was and no partial
// file behind. The target's folder is made when missing. Raises qly::Error:
// "Cannot open file <source>", "Cannot create file <target>" (also when an existing target
// is read-only), "Stream read error", "Stream write error".
void copyFileWithProgress(const QString& source, const QString& target,
                          const CopyProgress& progress = {});

} // namespace qly
