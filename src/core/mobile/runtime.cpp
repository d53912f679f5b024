#include "mobile/runtime.h"

#include "settings/programpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace qly {

QString runtimeFolderName() {
    return QStringLiteral("lib");
}

void usePrivateRuntime(const QString& firstArgument) {
    const QString program = locateProgramFile(firstArgument);
    if (program.isEmpty())
        return;
    const QString plugins = QFileInfo(program).absolutePath() + QLatin1Char('/') +
                            runtimeFolderName() + QStringLiteral("/plugins");
    if (QFileInfo(plugins).isDir())
        QCoreApplication::setLibraryPaths({plugins});
}

QStringList runtimeFiles(const QString& programFolder) {
    const QDir base(programFolder);
    const QString folder = base.filePath(runtimeFolderName());
    QStringList files;
    if (!QFileInfo(folder).isDir())
        return files;
    // Links are not followed: the runtime is plain files, and a link could lead anywhere.
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        if (!info.isSymLink())
            files.append(base.relativeFilePath(info.filePath()));
    }
    files.sort();
    return files;
}

} // namespace qly
