#pragma once

#include "mobile/drives.h"
#include "spelling/carriedfiles.h"

#include <QLocale>
#include <QString>
#include <QStringList>

namespace qly {

// Sizes as the Go Mobile dialog shows them: "1.50 Mb", "12 Kb", "0.50 Kb", "4.66 Gb";
// the long form "1,234,567 bytes". Separators are the locale's.
QString formatSizeShort(double bytes, const QLocale& locale = QLocale::system());
QString formatSizeLong(double bytes, const QLocale& locale = QLocale::system());

// The file name of the program in a Go Mobile target folder on this platform.
QString mobileProgramFileName();

// The page files of a page folder: its regular files (or links to one) whose names end in
// ".rtf" in any case, as the folder lists them (not sorted).
QStringList mobilePageFiles(const QString& pageFolder);
// The entries named like a page that are not regular files (a pipe, a device, a folder, a
// link to nothing): Go Mobile leaves them and says so. Sorted.
QStringList mobileSkippedPageFiles(const QString& pageFolder);

// What the copy needs, measured when the dialog opens. All 64-bit.
struct MobileSizes {
    qint64 NotesSize = 0;
    qint64 NotesCount = 0;
    qint64 ConfigSize = 0;
    qint64 ShellSize = 0;

    qint64 totalSize(bool withConfig, bool withShell) const {
        return NotesSize + (withConfig ? ConfigSize : 0) + (withShell ? ShellSize : 0);
    }
};

// The running installation: its program file, settings file, help file and page folder.
struct MobileSource {
    QString programFile;
    QString settingsFile;
    QString helpFile;
    QString pageFolder; // ends with a separator
    // Dictionaries and the personal word list: they count with the settings.
    QList<CarriedFile> spellingFiles;
};
MobileSizes measureMobileSizes(const MobileSource& source);

// Which way the copy goes, from the kind of drive the program runs from.
enum class MobileDirection { None, ToRemovable, Home };
MobileDirection mobileDirection(DriveKind programDrive);
// The kind of drive offered as a target for a direction (Unknown for None).
DriveKind targetKind(MobileDirection direction);

// The folder to copy home to: "HomeDir" of section "CurrentState" in the settings file,
// else homePath/Applications/Quillery/ when homePath/Applications exists, else
// homePath/Quillery/. Always ends with a separator.
QString defaultHomeTarget(const QString& settingsFile, const QString& homePath);

// The folder chosen with the folder picker becomes the Quillery folder inside it.
QString targetInPickedFolder(const QString& picked);

// The target as the dialog presents it after a refresh.
struct TargetState {
    bool ready = false;
    bool shellNeeded = true; // the target holds no program file yet
    qint64 total = 0;
    DriveSpace space;
    bool copyEnabled = false;
    QString status;
};
// ready: the target drive can be entered; space: its figures; programPresent: the target
// folder already holds the program file.
TargetState evaluateTarget(const MobileSizes& sizes, bool withConfig, bool programPresent,
                           bool ready, const DriveSpace& space);

} // namespace qly
