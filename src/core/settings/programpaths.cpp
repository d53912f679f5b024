#include "settings/programpaths.h"

#include "settings/mainsettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <fcntl.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qly {

namespace {
QString g_testProgramPath;

// The program file's path as the system knows it, as bytes.
QByteArray executableBytes() {
    char buffer[PATH_MAX + 1];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0)
        return QByteArray();
    return QByteArray(buffer, n);
}

// Started as "ld-linux-x86-64.so.2 ./qly" (how a program runs from a stick whose files have no
// execute bit), the system's program file is the loader, which then has no interpreter of its
// own; the program is the file the loader was given, which it passes on as argv[0].
QByteArray programGivenToLoader(const QString& firstArgument) {
    if (::getauxval(AT_BASE) != 0 || firstArgument.isEmpty())
        return QByteArray();
    const QByteArray given = QFile::encodeName(QFileInfo(firstArgument).absoluteFilePath());
    char buffer[PATH_MAX + 1];
    return ::realpath(given.constData(), buffer) ? QByteArray(buffer) : QByteArray();
}

} // namespace

QString locateProgramFile(const QString& firstArgument) {
    QByteArray bytes = programGivenToLoader(firstArgument);
    if (bytes.isEmpty())
        bytes = executableBytes();
    if (bytes.isEmpty() || !bytes.startsWith('/'))
        return QCoreApplication::applicationFilePath();
    const QString path = QFile::decodeName(bytes);
    if (QFile::encodeName(path) == bytes)
        return path;
    // A folder whose name is not in the system's encoding (an old stick's Latin-1 name):
    // the text cannot name it, so the program keeps that folder open and names it through
    // its descriptor. The program file's own name must be text (it names the settings file).
    const qsizetype slash = bytes.lastIndexOf('/');
    const QByteArray dir = bytes.left(qMax<qsizetype>(slash, 1));
    const QString name = QFile::decodeName(bytes.mid(slash + 1));
    if (QFile::encodeName(name) != bytes.mid(slash + 1))
        return QString();
    const int fd = ::open(dir.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return QString();
    return QStringLiteral("/proc/self/fd/%1/").arg(fd) + name;
}

void setProgramPathForTesting(const QString& path) {
    g_testProgramPath = path;
}

QString programPath() {
    if (!g_testProgramPath.isEmpty())
        return g_testProgramPath;
    // Found once: the folder it names stays open for the whole run.
    static const QString located = locateProgramFile(QCoreApplication::arguments().value(0));
    return located;
}

QString programDir() {
    const QString program = programPath();
    if (program.isEmpty())
        return QString();
    QString dir = QFileInfo(program).absolutePath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

QString programSettingsFile() {
    const QString program = programPath();
    return program.isEmpty() ? QString() : settingsFilePath(program);
}

QString notesPlaceName(const QString& programFolder, const QString& homeFolder) {
    struct stat folder = {}, home = {};
    if (programFolder.isEmpty() || homeFolder.isEmpty() ||
        ::stat(QFile::encodeName(programFolder).constData(), &folder) != 0 ||
        ::stat(QFile::encodeName(homeFolder).constData(), &home) != 0 ||
        folder.st_dev == home.st_dev)
        return QString();
    // The mount point: the highest folder above the program's on the same drive.
    QString mount = QFileInfo(programFolder).absoluteFilePath();
    while (mount.size() > 1 && mount.endsWith(QLatin1Char('/')))
        mount.chop(1);
    for (;;) {
        const QString parent = QFileInfo(mount).path();
        struct stat st = {};
        if (parent == mount || ::stat(QFile::encodeName(parent).constData(), &st) != 0 ||
            st.st_dev != folder.st_dev)
            break;
        mount = parent;
    }
    return QFileInfo(mount).fileName();
}

QString helpFilePath() {
    const QString dir = programDir();
    return dir.isEmpty() ? QString() : dir + QStringLiteral("qly.chm");
}

} // namespace qly
