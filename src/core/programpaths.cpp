#include "programpaths.h"

#include "mainsettings.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace qly {

QString programPath() {
    return QCoreApplication::applicationFilePath();
}

QString programDir() {
    QString dir = QCoreApplication::applicationDirPath();
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
