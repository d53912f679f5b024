#pragma once

#include <QString>

namespace qly {

// The text of a freedesktop launcher that starts the program at programFile in its folder.
QString desktopLauncherText(const QString& programFile, const QString& icon);

// Writes the launcher "Quillery.desktop" into desktopFolder (mode 0755, replaced
// atomically) and returns its path. Raises qly::Error when it cannot be written.
QString writeDesktopLauncher(const QString& desktopFolder, const QString& programFile,
                             const QString& icon);

} // namespace qly
