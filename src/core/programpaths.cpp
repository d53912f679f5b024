#include "programpaths.h"

#include "mainsettings.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace qly {

namespace {
QString g_testProgramPath;
} // namespace

void setProgramPathForTesting(const QString& path) {
    g_testProgramPath = path;
}

QString programPath() {
    return g_testProgramPath.isEmpty() ? QCoreApplication::applicationFilePath()
                                       : g_testProgramPath;
}

QString programDir() {
    QString dir = QFileInfo(programPath()).absolutePath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

QString programSettingsFile() {
    return settingsFilePath(programPath());
}

QString helpFilePath() {
    return programDir() + QStringLiteral("qly.chm");
}

} // namespace qly
