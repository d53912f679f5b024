#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class QFileSystemWatcher;

namespace qly {

// Watches the page folder and the page shown, so that a page another program replaces (a sync
// client, an editor: written aside and renamed, or rewritten in place) is noticed while shown.
// Bursts of changes come as one signal, a moment after the last.
class PageWatcher : public QObject {
    Q_OBJECT
public:
    static constexpr int SettleMs = 150;

    explicit PageWatcher(QObject* parent = nullptr);

    // Watches pageFolder and the file pageFile (when it is there) in place of what was watched.
    void watch(const QString& pageFolder, const QString& pageFile);

signals:
    void changed();

private:
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer m_settle;
};

} // namespace qly
