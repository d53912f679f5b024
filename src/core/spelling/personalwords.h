#pragma once

#include <QSet>
#include <QString>

namespace qly {

// The user's own words, one per line in a UTF-8 text file beside the program ("qly.dic").
// Each added word reaches the file at once, written aside and renamed into place. A file that
// is there but could not be read whole is never written over.
class PersonalWords {
public:
    static constexpr qint64 MaxFileSize = 8 * 1024 * 1024;

    // The list's file for the program at programPath.
    static QString pathFor(const QString& programPath);

    explicit PersonalWords(QString path = {});

    // Reads the file; a missing file is an empty list. Returns the reason it could not be
    // read (naming the file), empty when it was.
    QString load();
    // Adds word and writes the list. Returns the reason the file could not be written
    // (naming the file), empty when it was; the word is known for this session either way.
    QString add(const QString& word);

    // Adds several words with one write.
    QString addAll(const QStringList& words);

    bool contains(QStringView word) const;
    const QStringList& words() const { return m_order; }
    const QString& path() const { return m_path; }
    qsizetype size() const { return m_words.size(); }

private:
    QString write() const;

    QString m_path;
    QSet<QString> m_words;
    QStringList m_order; // as the file has them, new words at the end
    bool m_readWhole = true;
};

} // namespace qly
