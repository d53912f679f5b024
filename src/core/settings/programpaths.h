#pragma once

#include <QString>

namespace qly {

// Everything the program keeps lives beside its program file. The program file is found
// through the system (as bytes), so a folder with any name works; all of these are empty
// when the program cannot know where it is, and then nothing may be written.
QString programPath();         // the program file's full path
QString programDir();          // its folder, ending with a separator
QString programSettingsFile(); // the settings file beside it
QString helpFilePath();        // "qly.chm" beside it; does not follow a renamed program

// The same, found from the program's first argument (argv[0]): for use before the
// application object exists. A folder that only a descriptor can name is opened anew.
QString locateProgramFile(const QString& firstArgument);

// Where the notes are, for the window's title, when they are not on the drive of the user's
// home folder (a stick, another disk): the name of that drive's mount point ("NOTES2GO" for
// /media/me/NOTES2GO/Quillery/). Empty for the usual installation.
QString notesPlaceName(const QString& programFolder, const QString& homeFolder);

// Tests run the windows in-process as if the program file lay at path.
void setProgramPathForTesting(const QString& path);

} // namespace qly
