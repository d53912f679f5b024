#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace qly {

// What the program had to say while it closed (a conflict copy made, a save that failed),
// kept in a small file for the next start to show: a close never waits on a box. The file,
// "closing-notes.txt", lies in the recovery folder (or the user's own one when that cannot be
// written); it is written aside and renamed, and removed once it was read.
class ClosingNotes {
public:
    static constexpr char FileName[] = "closing-notes.txt";

    explicit ClosingNotes(QString folder) : m_folder(std::move(folder)) {}
    const QString& folder() const { return m_folder; }

    // Adds a message to the file; false when it cannot be written.
    bool add(const QString& message) const;
    // Page index could not be saved at the close: its recovery copy says so at the next start.
    bool addUnsavedPage(int index) const;

    struct Taken {
        QStringList messages;
        QList<int> unsavedPages;
        bool isEmpty() const { return messages.isEmpty() && unsavedPages.isEmpty(); }
    };
    // What the file holds, in the order it was added; the file goes.
    Taken take() const;

private:
    bool append(const QString& line) const;

    QString m_folder;
};

} // namespace qly
