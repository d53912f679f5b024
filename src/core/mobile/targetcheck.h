#pragma once

#include <QString>

namespace qly {

// Checks of a Go Mobile target before and at the start of a copy: real sticks are read-only,
// pulled, full, or hold what a copy cut short left behind.

// Why nothing can be written in targetDir (or in the folder that would hold it, when it is
// not made yet): "Read-only file system", "Permission denied"; empty when it can be written.
QString targetWriteProblem(const QString& targetDir);

// Whether targetDir holds the program, its runtime and its help as sourceDir has them: each
// file there with the same size and time (to FAT's two seconds). A copy cut short leaves a
// program folder that is not complete, and the next copy completes it.
bool programCopyComplete(const QString& sourceDir, const QString& programFile,
                         const QString& helpFile, const QString& targetDir);

// Removes the temporary files (".qly-copy-*") that a copy cut short left anywhere in the
// target's own folders (the target, rtf/, backup/ and lib/ with its subfolders). Returns how
// many went.
int removeCopyLeftovers(const QString& targetDir);

} // namespace qly
