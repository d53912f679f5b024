#pragma once

#include <QString>

namespace qly {

// Everything the program keeps lives beside its program file.
QString programPath();         // the program file's full path
QString programDir();          // its folder, ending with a separator
QString programSettingsFile(); // the settings file beside it
QString helpFilePath();        // "qly.chm" beside it; does not follow a renamed program

// Tests run the windows in-process as if the program file lay at path.
void setProgramPathForTesting(const QString& path);

} // namespace qly
