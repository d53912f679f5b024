#pragma once

#include <QString>
#include <QStringList>

namespace qly {

// The program's private runtime: the folder "lib" beside an installed program, holding the
// Qt libraries, the libraries only Qt needs and, in "lib/plugins", the Qt plugins the program
// loads. The program finds the libraries through its run path; a program without the folder
// (the build tree's) uses the system's Qt.
QString runtimeFolderName();

// Before the application object exists: when the program has a runtime folder, Qt loads its
// plugins from there and from nowhere else, so that another Qt on the system (or named by
// QT_PLUGIN_PATH) never mixes with the program's own. Also when the program was started
// through the dynamic loader, from argv[0].
void usePrivateRuntime(const QString& firstArgument);

// The files of the runtime folder in programFolder, as paths relative to programFolder
// ("lib/libQt6Core.so.6", "lib/plugins/platforms/libqxcb.so"), sorted; empty without one.
QStringList runtimeFiles(const QString& programFolder);

} // namespace qly
