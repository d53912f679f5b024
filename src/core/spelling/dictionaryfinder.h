#pragma once

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace qly {

// A Hunspell dictionary: the pair of files <code>.aff and <code>.dic in one folder.
struct DictionaryFile {
    QString code;    // as the files are named: "en_US", "de_DE"
    QString affPath; // <folder>/<code>.aff
    QString dicPath; // <folder>/<code>.dic
    QString folder() const;
};

// Where dictionaries are looked for, in this order: the folder "dict" beside the program, the
// folders of $DICPATH (separated by ':'), /usr/share/hunspell and /usr/share/myspell.
QStringList dictionaryFolders(const QString& programFolder, const QString& dicPath);

// The dictionaries in folders; a code found in two folders is taken from the first. Sorted by
// code. A .dic without its .aff (a personal list, a half-copied folder) is no dictionary.
QList<DictionaryFile> findDictionaries(const QStringList& folders);

// What the user reads for a code: "English (United States)", "German (Germany)"; the code
// itself when it names no language.
QString languageName(const QString& code);

// The dictionary that fits the locale: its exact code, else one of its language (the
// locale's own country first among them); empty when none is there.
QString defaultLanguage(const QList<DictionaryFile>& available, const QLocale& locale);

} // namespace qly
