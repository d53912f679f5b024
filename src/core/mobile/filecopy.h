#pragma once

#include <QString>

#include <atomic>
#include <functional>

namespace qly {

// Told the bytes copied so far and the file's size: once with 0 before the first block,
// after every block, and with 0 again when the copy ends, also when it fails.
using CopyProgress = std::function<void(qint64 done, qint64 size)>;

// Large blocks: a stick or a tmpfs takes them at full speed, and the bar still moves several
// times a second on the slowest stick.
inline constexpr qint64 CopyBlockSize = 128 * 1024;

// Raised when a copy was asked to stop: the target is left as it was.
struct CopyStopped {};

struct FileCopyOptions {
    // The program keeps an execute bit; everything else is written with the user's normal
    // mode for new files (the umask), whatever mode the source had.
    bool executable = false;
    // Checked once a block; when set the copy ends with CopyStopped.
    const std::atomic<bool>* stop = nullptr;
    // How messages name the file ("rtf/C.rtf") and the drives it is read from and written
    // to ("NOTES2GO"); the target's file name and no drive when empty.
    QString shownName;
    QString sourceDrive;
    QString targetDrive;
};

// Copies one file in blocks of CopyBlockSize bytes. The copy is written to a temporary file
// in the target's folder, flushed to disk, given the source's modification time and renamed
// over the target: a failure leaves the old target file as it was and no partial file behind.
// The target's folder is made when missing. Raises qly::Error, each with the system's reason:
// "Cannot open file <source>: <reason>", "Cannot create file <target>: <reason>" (also when
// an existing target is read-only), "Stream read error on <drive> while reading <name>:
// <reason>", "Stream write error on <drive> while writing <name>: <reason>".
void copyFileWithProgress(const QString& source, const QString& target,
                          const CopyProgress& progress = {}, const FileCopyOptions& options = {});

} // namespace qly
