#include "mobile/launcher.h"

#include "settings/atomicfile.h"
#include "settings/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace qly {

namespace {

// The desktop entry rules: an argument in double quotes escapes ", `, $ and \; a string
// value escapes \ and control characters; a literal % in Exec is doubled.
QString quotedExecArgument(const QString& arg) {
    QString q = QStringLiteral("\"");
    for (const QChar c : arg) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            q += QLatin1Char('\\');
        q += c;
    }
    q += QLatin1Char('"');
    return q.replace(QLatin1Char('%'), QStringLiteral("%%"));
}

QString escapedString(const QString& value) {
    QString out;
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

QString desktopLauncherText(const QString& programFile, const QString& icon) {
    const QString folder = QFileInfo(programFile).absolutePath();
    // Launchers check that the program named first in Exec exists before they run it, and do
    // so before "%%" becomes "%": a path with a "%" goes to env, which then runs it.
    QString exec = quotedExecArgument(programFile);
    if (programFile.contains(QLatin1Char('%')))
        exec.prepend(QStringLiteral("env "));
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Version=1.0\n"
                          "Name=Quillery\n"
                          "Comment=Notes on 26 pages\n"
                          "Exec=%1\n"
                          "Path=%2\n"
                          "Icon=%3\n"
                          "Terminal=false\n"
                          "Categories=Utility;\n")
        .arg(escapedString(exec), escapedString(folder), escapedString(icon));
}

QString writeDesktopLauncher(const QString& desktopFolder, const QString& programFile,
                             const QString& icon) {
    const QString path = QDir(desktopFolder).filePath(QStringLiteral("Quillery.desktop"));
    if (const IoResult<FileIdentity> written =
            writeFileAtomically(path, desktopLauncherText(programFile, icon).toUtf8());
        !written)
        throw Error(QStringLiteral("Cannot create file %1: %2").arg(path, written.reason()));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                    QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                    QFile::ExeOther);
    return path;
}

QByteArray launcherScriptText() {
    return QByteArrayLiteral(
        "#!/bin/sh\n"
        "# Starts Quillery from this folder, also on a stick whose files have no execute bit\n"
        "# (FAT sticks): sh quillery.sh\n"
        "dir=$(CDPATH= cd -- \"$(dirname -- \"$0\")\" && pwd) || exit 1\n"
        "loader=\n"
        "for candidate in /lib64/ld-linux-x86-64.so.2 /lib/ld-linux-aarch64.so.1; do\n"
        "    if [ -e \"$candidate\" ]; then loader=$candidate; break; fi\n"
        "done\n"
        "say() {\n"
        "    echo \"$1\" >&2\n"
        "    command -v notify-send >/dev/null 2>&1 && notify-send Quillery \"$1\"\n"
        "}\n"
        "# The libraries of the program and of its display's plugin are looked up first, all of\n"
        "# them (the loader's list mode, as ldd): one that this computer lacks would end the\n"
        "# program before it shows anything.\n"
        "if [ -n \"$loader\" ]; then\n"
        "    platform=libqxcb.so\n"
        "    if [ -z \"${DISPLAY:-}\" ] && [ -n \"${WAYLAND_DISPLAY:-}\" ]; then\n"
        "        platform=libqwayland-generic.so\n"
        "    fi\n"
        "    missing=$(for file in \"$dir/qly\" \"$dir/lib/plugins/platforms/$platform\"; do\n"
        "        [ -f \"$file\" ] && LD_TRACE_LOADED_OBJECTS=1 \"$loader\" --library-path "
        "\"$dir/lib\" \\\n"
        "            \"$file\" 2>/dev/null\n"
        "    done | sed -n 's/^[[:space:]]*\\([^[:space:]]*\\) => not found.*/\\1/p' | sort -u |\n"
        "        paste -s -d ' ' - | sed 's/ /, /g')\n"
        "    if [ -n \"$missing\" ]; then\n"
        "        say \"Quillery cannot start: this computer lacks libraries it needs: $missing.\n"
        "Install them with the system's package manager (the README names the packages).\"\n"
        "        exit 127\n"
        "    fi\n"
        "fi\n"
        "if [ -x \"$dir/qly\" ]; then\n"
        "    exec \"$dir/qly\" \"$@\"\n"
        "fi\n"
        "options=$(findmnt -n -o OPTIONS -T \"$dir\" 2>/dev/null)\n"
        "case \",$options,\" in\n"
        "*,noexec,*)\n"
        "    say \"Quillery cannot start from $dir: the drive is mounted noexec, which\n"
        "forbids running programs from it. Copy the Quillery folder to your disk, or mount\n"
        "the drive without noexec.\"\n"
        "    exit 126\n"
        "    ;;\n"
        "esac\n"
        "if [ -n \"$loader\" ]; then\n"
        "    exec \"$loader\" \"$dir/qly\" \"$@\"\n"
        "fi\n"
        "echo \"Quillery cannot start from $dir: no program loader found\" >&2\n"
        "exit 127\n");
}

} // namespace qly
