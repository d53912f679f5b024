#include "mobile/drives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <dirent.h>
#include <sys/statvfs.h>

namespace qly {

namespace {

// A line of the mount table, as the kernel writes it.
struct MountEntry {
    QString majorMinor;
    QString root;
    QString mountPoint;
    QString fsType;
    QString source;
    QString superOptions;
};

// The table escapes blanks, tabs, new lines and backslashes as three octal digits.
QString unescapeMountField(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int value = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3 && value < 256) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(c);
    }
    return QFile::decodeName(out);
}

QList<MountEntry> readMountTable(const QString& path) {
    QList<MountEntry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    // The table is small; a cap keeps a hostile fixture from filling the memory.
    const QByteArray all = file.read(16 * 1024 * 1024);
    for (const QByteArray& line : all.split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        const qsizetype dash = f.indexOf("-");
        if (dash < 6 || dash + 2 >= f.size())
            continue;
        entries.append({QString::fromLatin1(f[2]), unescapeMountField(f[3]),
                        QDir::cleanPath(unescapeMountField(f[4])), unescapeMountField(f[dash + 1]),
                        unescapeMountField(f[dash + 2]),
                        dash + 3 < f.size() ? unescapeMountField(f[dash + 3]) : QString()});
    }
    return entries;
}

bool isOneOf(const QString& type, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(),
                       [&](const char* n) { return type == QLatin1String(n); });
}

bool isRemoteType(const QString& t) {
    return isOneOf(t, {"nfs",        "nfs4",           "cifs",        "smb3",
                       "smbfs",      "ncpfs",          "afs",         "9p",
                       "ceph",       "glusterfs",      "lustre",      "gfs2",
                       "ocfs2",      "coda",           "davfs",       "sshfs",
                       "fuse.sshfs", "fuse.glusterfs", "fuse.davfs2", "fuse.rclone",
                       "fuse.s3fs",  "fuse.cephfs",    "virtiofs"});
}

// Local disk file systems that have no block device of their own (major number 0).
bool isDevicelessLocalType(const QString& t) {
    return isOneOf(t, {"overlay", "btrfs", "zfs", "bcachefs", "aufs", "unionfs"});
}

// Read-only images and the kernel's own file systems are no place to copy notes to.
bool isPseudoType(const QString& t) {
    return isOneOf(t,
                   {"squashfs",    "erofs",    "proc",     "sysfs",      "devtmpfs",  "devpts",
                    "cgroup",      "cgroup2",  "mqueue",   "debugfs",    "tracefs",   "securityfs",
                    "pstore",      "bpf",      "configfs", "fusectl",    "hugetlbfs", "autofs",
                    "binfmt_misc", "efivarfs", "nsfs",     "rpc_pipefs", "selinuxfs", "nfsd"});
}

QString readFirstLine(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readLine(64)).trimmed();
}

// The block device's own folder in the device tree, or of the disk it is a partition of:
// removable media, and disks on a USB or memory-card bus.
bool isRemovableDevice(const QString& sysfs, const QString& majorMinor) {
    if (majorMinor.startsWith(QLatin1String("0:")))
        return false;
    const QString device =
        QFileInfo(sysfs + QStringLiteral("/dev/block/") + majorMinor).canonicalFilePath();
    if (device.isEmpty())
        return false;
    QString disk = device;
    if (QFileInfo::exists(device + QStringLiteral("/partition")))
        disk = QFileInfo(device).absolutePath();
    if (readFirstLine(disk + QStringLiteral("/removable")) == QLatin1String("1"))
        return true;
    const QStringList parts = device.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return std::any_of(parts.begin(), parts.end(), [](const QString& p) {
        return p.startsWith(QLatin1String("usb")) || p.startsWith(QLatin1String("mmc"));
    });
}

bool isOpticalDevice(const QString& sysfs, const QString& majorMinor) {
    const QString device =
        QFileInfo(sysfs + QStringLiteral("/dev/block/") + majorMinor).canonicalFilePath();
    return QFileInfo(device).fileName().startsWith(QLatin1String("sr"));
}

bool underMediaFolder(const QString& mountPoint) {
    return pathIsUnder(mountPoint, QStringLiteral("/media")) ||
           pathIsUnder(mountPoint, QStringLiteral("/run/media"));
}

// A btrfs subvolume names itself as the mount's root; any other root is a bind mount of a
// sub-folder (or of a single file), not a drive.
bool mountsWholeFileSystem(const MountEntry& e) {
    if (e.root == QLatin1String("/"))
        return true;
    if (e.fsType != QLatin1String("btrfs"))
        return false;
    for (const QString& option : e.superOptions.split(QLatin1Char(','))) {
        if (option.startsWith(QLatin1String("subvol=")))
            return QDir::cleanPath(option.mid(7)) == QDir::cleanPath(e.root);
    }
    return false;
}

DriveKind kindOf(const MountEntry& e, const QString& sysfs) {
    const QString& t = e.fsType;
    if (isPseudoType(t))
        return DriveKind::Unknown;
    const bool noDevice = e.majorMinor.startsWith(QLatin1String("0:"));
    // Optical media first: desktops mount them under /media too, and the drives call
    // themselves removable, but a disc takes no copy.
    if (t == QLatin1String("iso9660") ||
        (t == QLatin1String("udf") && isOpticalDevice(sysfs, e.majorMinor)))
        return DriveKind::CdRom;
    if (underMediaFolder(e.mountPoint) || isRemovableDevice(sysfs, e.majorMinor))
        return DriveKind::Removable;
    if (isRemoteType(t))
        return DriveKind::Remote;
    if (isOneOf(t, {"tmpfs", "ramfs"}))
        return DriveKind::RamDisk;
    if (!noDevice || isDevicelessLocalType(t))
        return DriveKind::Fixed;
    return DriveKind::Unknown;
}

} // namespace

bool pathIsUnder(const QString& path, const QString& parent) {
    if (parent == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    if (!path.startsWith(parent))
        return false;
    return path.size() == parent.size() || path.at(parent.size()) == QLatin1Char('/');
}

QList<Drive> scanDrives(const DriveScanRoots& roots) {
    // Each mount point once: a later mount on the same point covers the earlier one.
    QHash<QString, MountEntry> top;
    for (const MountEntry& e : readMountTable(roots.mountInfo))
        top.insert(e.mountPoint, e);
    QList<Drive> drives;
    for (const MountEntry& e : std::as_const(top)) {
        if (!mountsWholeFileSystem(e))
            continue;
        const DriveKind kind = kindOf(e, roots.sysfs);
        if (kind != DriveKind::Unknown)
            drives.append({e.mountPoint, e.fsType, e.source, kind});
    }
    std::sort(drives.begin(), drives.end(),
              [](const Drive& a, const Drive& b) { return a.mountPoint < b.mountPoint; });
    return drives;
}

const Drive* driveOfPath(const QList<Drive>& drives, const QString& path) {
    const QString clean = QDir::cleanPath(path);
    const Drive* best = nullptr;
    for (const Drive& d : drives) {
        if (pathIsUnder(clean, d.mountPoint) &&
            (!best || d.mountPoint.size() > best->mountPoint.size()))
            best = &d;
    }
    return best;
}

bool isDriveReady(const QString& mountPoint) {
    if (mountPoint.isEmpty())
        return false;
    DIR* dir = ::opendir(QFile::encodeName(mountPoint).constData());
    if (!dir)
        return false;
    ::closedir(dir);
    return true;
}

DriveSpace driveSpace(const QString& path) {
    struct statvfs st {};
    if (path.isEmpty() || ::statvfs(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {qint64(st.f_blocks) * qint64(st.f_frsize), qint64(st.f_bavail) * qint64(st.f_frsize)};
}

QString retargetPath(const QString& path, const QString& fromMount, const QString& toMount) {
    QString rest = path;
    if (!fromMount.isEmpty() && pathIsUnder(path, fromMount))
        rest = path.mid(fromMount == QLatin1String("/") ? 0 : fromMount.size());
    while (rest.startsWith(QLatin1Char('/')))
        rest.remove(0, 1);
    if (toMount.isEmpty())
        return rest;
    return toMount.endsWith(QLatin1Char('/')) ? toMount + rest : toMount + QLatin1Char('/') + rest;
}

QString driveName(const QString& mountPoint) {
    const QString last = mountPoint.section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty);
    return last.isEmpty() ? mountPoint : last;
}

} // namespace qly
