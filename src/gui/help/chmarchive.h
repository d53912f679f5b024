#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

namespace qly {

// Read access to a compiled HTML Help file (.chm) through chmlib. Paths inside the file are
// written without the leading "/" ("HTML/qly5a40.htm") and compared as chmlib does, without
// regard to case. A file that is missing, damaged or not a help file opens as nothing.
// chmlib is not safe against damaged files (some make it free memory twice), so the file is
// read whole by a child process of its own and handed over through a pipe: a damaged file can
// end that child, never the program. Help files are small, and so is what is kept.
class ChmArchive {
public:
    // The largest object read out of a help file; a damaged length can ask for no more.
    static constexpr qint64 MaxObjectSize = 16 * 1024 * 1024;
    // All objects of a help file together, and the time the reading child may take.
    static constexpr qint64 MaxTotalSize = 64 * 1024 * 1024;
    static constexpr int ReadTimeoutMs = 10000;

    ChmArchive() = default;
    explicit ChmArchive(const QString& fileName);
    ~ChmArchive();
    ChmArchive(const ChmArchive&) = delete;
    ChmArchive& operator=(const ChmArchive&) = delete;

    bool isOpen() const { return m_open; }
    QString fileName() const { return m_fileName; }
    // The file's time and size as they were before it was read: a file replaced meanwhile
    // no longer matches them.
    QDateTime fileTime() const { return m_fileTime; }
    qint64 fileSize() const { return m_fileSize; }

    bool contains(const QString& path) const;
    // The whole object, or nothing when it is missing, too large or cannot be read in full.
    std::optional<QByteArray> read(const QString& path) const;
    // Every file stored in the help file (no folders, no internal objects).
    QStringList files() const;

    // From the project settings the compiler stored in the file ("#SYSTEM").
    QString contentsFile() const { return m_contentsFile; }
    QString defaultTopic() const { return m_defaultTopic; }
    QString title() const { return m_title; }

    // A path as the help file stores it: "/" first, no "./" parts, no "#anchor".
    static QString normalizedPath(const QString& path);

private:
    bool load();
    void readSystemEntries();
    std::optional<QByteArray> readObject(const QByteArray& name) const;

    QString m_fileName;
    QDateTime m_fileTime;
    qint64 m_fileSize = -1;
    bool m_open = false;
    // By path as normalizedPath gives it, folded to lower case.
    QHash<QByteArray, QByteArray> m_objects;
    QStringList m_files;
    QString m_contentsFile;
    QString m_defaultTopic;
    QString m_title;
};

} // namespace qly
