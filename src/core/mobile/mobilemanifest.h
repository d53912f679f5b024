#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>

namespace qly {

// What one page file held: enough to tell whether it changed since.
struct PageStamp {
    qint64 size = -1;
    qint64 modifiedSeconds = 0;
    quint64 hash = 0;
    bool isValid() const { return size >= 0; }
    // The same content (the time is not compared: a copy or a sync client sets its own).
    bool sameContent(const PageStamp& other) const {
        return isValid() && other.isValid() && size == other.size && hash == other.hash;
    }
    static PageStamp of(QByteArrayView bytes, qint64 modifiedSeconds);
};

// A folder's record of its Go Mobile copies, "mobile-copies.txt" beside its settings file:
// the folder's own id, and for each folder it copied with (by that folder's id) what each page
// was when the last copy between the two carried it. Both folders of a copy keep one, so a
// later copy in either direction can tell which side changed a page since.
class MobileManifest {
public:
    static constexpr char FileName[] = "mobile-copies.txt";

    // Reads the folder's record; one that is missing or cannot be read is empty, with a new id.
    static MobileManifest read(const QString& folder);
    // Writes it aside and renames it into place; false when it cannot be written.
    bool write(const QString& folder) const;

    const QString& id() const { return m_id; }
    PageStamp lastCopied(const QString& otherId, const QString& page) const;
    void setLastCopied(const QString& otherId, const QString& page, const PageStamp& stamp);

private:
    QString m_id;
    QHash<QString, QHash<QString, PageStamp>> m_copies; // other folder's id → page → stamp
};

// How a page stands between the two folders of a copy.
enum class PageSides {
    Same,      // the same content on both sides
    New,       // only at the source
    OneSide,   // changed on one side since the last copy, or no last copy known
    BothSides, // changed on both sides since the last copy between them
};

// source and target: the page now on each side (target invalid when it is missing there);
// sourceRecord and targetRecord: what each side's manifest says the last copy between them
// carried.
PageSides comparePageSides(const PageStamp& source, const PageStamp& target,
                           const PageStamp& sourceRecord, const PageStamp& targetRecord);

} // namespace qly
