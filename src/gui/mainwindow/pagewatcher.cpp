#include "mainwindow/pagewatcher.h"

#include <QFileInfo>
#include <QFileSystemWatcher>

namespace qly {

PageWatcher::PageWatcher(QObject* parent) : QObject(parent) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, &PageWatcher::changed);
}

void PageWatcher::watch(const QString& pageFolder, const QString& pageFile) {
    if (pageFolder.isEmpty())
        return;
    if (!m_watcher) {
        m_watcher = new QFileSystemWatcher(this);
        const auto settle = [this] { m_settle.start(); };
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, settle);
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, settle);
    }
    if (const QStringList files = m_watcher->files(); !files.isEmpty())
        m_watcher->removePaths(files);
    if (m_watcher->directories().isEmpty() && QFileInfo(pageFolder).isDir())
        m_watcher->addPath(pageFolder);
    // A link or a pipe in the page's place is not followed here either.
    const QFileInfo file(pageFile);
    if (file.isFile() && !file.isSymLink())
        m_watcher->addPath(pageFile);
}

} // namespace qly
