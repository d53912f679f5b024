#pragma once

#include <QByteArrayView>
#include <QString>

namespace qly {

// Earlier versions of the pages: before a page file is replaced with different content, the
// file being replaced is kept as "<backup folder>/<letter>.1.rtf" (the newest), the older
// versions moving up by one to "<letter>.<count>.rtf". Versions move by renames and the
// newest is a second name of the old file, so nothing is copied on a file system with
// hard links; on one without (FAT sticks) the newest is a copy.
class PageVersions {
public:
    static constexpr int DefaultCount = 5;
    static constexpr int MaxCount = 99;

    PageVersions() = default;
    // count: how many versions a page keeps; 0 keeps none.
    PageVersions(const QString& backupFolder, int count);

    int count() const { return m_count; }
    // Version number (1 = newest) of the page whose file is pageFile.
    QString versionFile(const QString& pageFile, int number) const;

    // Keeps a page file before it is replaced by newContent. Does nothing
    // when the file is missing, cannot be read or already holds newContent. Failures are
    // silent: they must not keep the page itself from being saved.
    void keepBeforeReplacing(const QString& pageFile, QByteArrayView newContent) const;

private:
    QString m_folder;
    int m_count = 0;
};

} // namespace qly
