#pragma once

#include "model/document.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace qly {

// Recovery copies: while a page is being edited, its unsaved text is kept now and then in
// "recovery/<letter>.rtf" beside the settings file, away from the page folder that Find and
// Go Mobile read. A copy is removed when its page is saved normally; a copy newer than its
// page file at the next start holds changes that a crash took away.
class RecoveryStore {
public:
    // folder: where the settings file lies (ending with a separator or not).
    explicit RecoveryStore(const QString& settingsFolder);

    const QString& folder() const { return m_folder; }
    QString copyFile(int index) const;

    // Writes the copy atomically. A failure is silent (false): it must never disturb the
    // user, and it never touches the page file.
    bool write(int index, const Document& document) const;
    void remove(int index) const;

    struct Pending {
        int index = 0;
        QDateTime written;
    };
    // The copies newer than their page files (or whose page has no file), in letter order.
    // Copies not newer than their page are stale and are removed on the way.
    QList<Pending> pending(const QString& pageFolder) const;
    // The document of a copy; empty when it cannot be read.
    Document read(int index) const;

private:
    QString m_folder;
};

} // namespace qly
