#pragma once

#include "spelling/dictionaryfinder.h"
#include "spelling/personalwords.h"
#include "spelling/spelldictionary.h"
#include "spelling/wordsplitter.h"

#include <QHash>
#include <QSet>

#include <memory>
#include <vector>

namespace qly {

// The dictionary of language `code` among those found; nothing when it is not there or cannot
// be loaded.
std::unique_ptr<SpellDictionary> loadDictionaryFor(const QString& code,
                                                   const QList<DictionaryFile>& available);

// Checks words against several languages at once (a word is right when any of them knows
// it), the user's personal list and the words ignored for this session.
class Speller {
public:
    Speller() = default;
    Speller(const Speller&) = delete;
    Speller& operator=(const Speller&) = delete;

    // Takes a loaded dictionary under its code; the first added is asked first.
    void addDictionary(const QString& code, std::unique_ptr<SpellDictionary> dictionary);
    // Loads the dictionaries of codes that available has; returns the codes that failed.
    QStringList loadDictionaries(const QStringList& codes, const QList<DictionaryFile>& available);
    void clearDictionaries();
    QStringList languages() const;
    bool hasDictionaries() const { return !m_dictionaries.empty(); }

    PersonalWords& personalWords() { return m_personal; }
    void setPersonalWords(PersonalWords words);
    // Adds to the personal list; returns the reason the file could not be written, if any.
    QString addToPersonal(const QString& word);
    void ignoreAll(const QString& word);

    void setSplitOptions(const SplitOptions& options);
    const SplitOptions& splitOptions() const { return m_options; }

    // Whether word is spelt right. Without a dictionary every word is.
    bool isCorrect(QStringView word) const;
    // The misspelt words of text.
    std::vector<WordSpan> misspellings(QStringView text) const;
    // Up to max suggestions for word from every language, the first language's first.
    QStringList suggestions(QStringView word, int max = 8) const;

    // Grows whenever a word that was wrong may now be right or the other way round
    // (languages, options, personal or ignored words): results kept from before are stale.
    quint64 generation() const { return m_generation; }

private:
    bool checkUncached(QStringView word) const;
    bool knownByOne(QStringView word) const;
    void changed();

    struct Entry {
        QString code;
        std::unique_ptr<SpellDictionary> dictionary;
    };
    std::vector<Entry> m_dictionaries;
    PersonalWords m_personal;
    QSet<QString> m_ignored;
    SplitOptions m_options;
    quint64 m_generation = 1;
    // Pages repeat their words: each is asked of the dictionaries once per generation.
    mutable QHash<QString, bool> m_known;
};

} // namespace qly
