#pragma once

#include <QByteArray>
#include <QString>

namespace qly {

// The text of a freedesktop launcher that starts the program at programFile in its folder.
QString desktopLauncherText(const QString& programFile, const QString& icon);

// Writes the launcher "Quillery.desktop" into desktopFolder (mode 0755, replaced
// atomically) and returns its path. Raises qly::Error when it cannot be written.
QString writeDesktopLauncher(const QString& desktopFolder, const QString& programFile,
                             const QString& icon);

// The script "quillery.sh" that Go Mobile leaves beside the program on a stick: started with
// sh, it runs the program also where the stick's files have no execute bit (FAT sticks
// mounted with showexec), through the dynamic loader, and says clearly when the drive is
// mounted noexec.
QByteArray launcherScriptText();

} // namespace qly
