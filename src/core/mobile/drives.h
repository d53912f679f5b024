#pragma once

#include <QList>
#include <QString>

namespace qly {

// The kinds of drive Go Mobile tells apart. NoRoot: the path lies on no drive at all.
enum class DriveKind { Unknown, NoRoot, Removable, Fixed, Remote, CdRom, RamDisk };

// One mounted file system that counts as a drive. Its short name is its mount point.
struct Drive {
    QString mountPoint; // absolute, without a trailing separator except for "/"
    QString fsType;
    QString source;
    DriveKind kind = DriveKind::Unknown;
};

// Where the scan reads the system's mount table and device tree; tests point these at
// fixture files.
struct DriveScanRoots {
    QString mountInfo = QStringLiteral("/proc/self/mountinfo");
    QString sysfs = QStringLiteral("/sys");
};

// Every drive, one per mount point (the topmost mount wins), in mount-point order.
// Pseudo file systems and bind mounts of a sub-folder or file are left out.
QList<Drive> scanDrives(const DriveScanRoots& roots = {});

// The name a drive goes by: its mount point's last folder ("NOTES2GO"), "/" for the root.
QString driveName(const QString& mountPoint);

// The drive that holds path (the longest mount-point prefix); null when none does.
const Drive* driveOfPath(const QList<Drive>& drives, const QString& path);

// True when mountPoint lies under parent (or is it), comparing whole path components.
bool pathIsUnder(const QString& path, const QString& parent);

// The mount point exists, is a folder and can be listed.
bool isDriveReady(const QString& mountPoint);

// Capacity and free bytes (those available to the user) of the file system at path;
// both 0 when they cannot be read.
struct DriveSpace {
    qint64 capacity = 0;
    qint64 free = 0;
};
DriveSpace driveSpace(const QString& path);

// Replaces the mount point fromMount at the start of path by toMount and keeps the rest.
// A path that does not start with fromMount is taken as relative to the new mount.
QString retargetPath(const QString& path, const QString& fromMount, const QString& toMount);

} // namespace qly
