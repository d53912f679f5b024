#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

struct chmFile;

namespace qly {

// Read access to a compiled HTML Help file (.chm) through chmlib. Paths inside the file are
// written without the leading "/" ("HTML/qly5a40.htm") and compared as chmlib does, without
// regard to case. A file that is missing, damaged or not a help file opens as nothing.
class ChmArchive {
public:
    // The largest object read out of a help file; a damaged length can ask for no more.
    static constexpr qint64 MaxObjectSize = 16 * 1024 * 1024;

    ChmArchive() = default;
    explicit ChmArchive(const QString& fileName);
    ~ChmArchive();
    ChmArchive(const ChmArchive&) = delete;
    ChmArchive& operator=(const ChmArchive&) = delete;

    bool isOpen() const { return m_file != nullptr; }
    QString fileName() const { return m_fileName; }

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
    void readSystemEntries();
    std::optional<QByteArray> readObject(const QByteArray& name) const;

    QString m_fileName;
    chmFile* m_file = nullptr;
    QString m_contentsFile;
    QString m_defaultTopic;
    QString m_title;
};

} // namespace qly
