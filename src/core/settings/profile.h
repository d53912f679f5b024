#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace qly {

// A Windows profile (INI) file, read and written by the rules of the system's profile
// functions: section and key names match without regard to case, values are trimmed and
// read up to 2047 characters, the first of two equal keys wins, and every other line of the
// file (sections, keys, comments, junk) keeps its bytes and its place across writes.
//
// One object serves one group of reads or writes: it reads the file when it is made and
// each write replaces the file at once, atomically. Nothing is held between groups.
class Profile {
public:
    static constexpr int MaxValueLength = 2047;

    explicit Profile(QString path);

    const QString& path() const { return m_path; }

    // Why a settings file that is there could not be read whole (no permission, a read
    // error, far too large); empty when it was read or is missing. Such a file is never
    // written over: writes to it are refused, and the first refusal in the process (or
    // the start-up's report, below) is the only one that says so.
    const QString& readError() const { return m_readError; }
    // The one report of an unreadable settings file, the first time it is asked for in the
    // process; empty afterwards and when the file was read.
    QString takeReadErrorReport() const;

    std::optional<QString> read(const QString& section, const QString& key) const;
    QString readString(const QString& section, const QString& key, const QString& def) const;
    int readInteger(const QString& section, const QString& key, int def) const;
    bool readBool(const QString& section, const QString& key, bool def) const;

    // Each write goes to the file at once; a refused write raises
    // "Unable to write to <full path>" and leaves the file as it was.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);

    // Between these two, writes only change the object; the group reaches the file in one
    // atomic replacement at the end (one flush to disk instead of one per key). The end
    // raises as a single write would, and the file is then left as it was.
    void beginGroupWrite();
    void endGroupWrite();

    // Decimal, "0x"/"0X" hexadecimal when longer than two characters, "$" hexadecimal.
    static std::optional<int> parseInteger(QStringView text);

private:
    struct Line {
        QByteArray text;    // the line as it stands in the file, without its line end
        QByteArray section; // set on a section line: its name
        QByteArray key;     // set on a key line: its name
        bool isSection = false;
        bool isKey = false;
    };
    void parse(const QByteArray& bytes);
    QByteArray serialize() const;
    int findKey(const QByteArray& section, const QByteArray& key) const;
    // A key line for a key the file does not have yet, placed in its section.
    void insertKeyLine(Line line);

    bool mayWriteFile() const;

    QString m_path;
    QString m_readError;
    QList<Line> m_lines;
    QByteArray m_bom;
    QByteArray m_eol = "\n";
    bool m_grouped = false;
    QList<Line> m_beforeGroup;
    bool m_endsWithEol = true;
};

} // namespace qly
