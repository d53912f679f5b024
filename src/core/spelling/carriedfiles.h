#pragma once

#include <QList>
#include <QString>

namespace qly {

// A file that travels with the settings when Go Mobile copies: where it is, and where it goes
// relative to the target's Quillery folder.
struct CarriedFile {
    QString source;
    QString target; // "dict/en_US.aff", "qly.dic"
};

// What spelling needs on the other computer: the dictionaries in use (as the settings file
// names them, else the locale's language) for the folder "dict", and the personal word list.
// Nothing of the dictionaries when checking is off.
QList<CarriedFile> spellingFilesToCarry(const QString& programFolder, const QString& settingsFile,
                                        const QString& personalList);

// Adds the words of the personal list at source to the one at target (written aside and
// renamed), so that words added on either computer stay. Returns the reason it failed.
QString mergePersonalWords(const QString& source, const QString& target);

} // namespace qly
