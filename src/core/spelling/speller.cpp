#include "spelling/speller.h"

#include <algorithm>

namespace qly {

namespace {
// A page rarely has more different words; past it the cache starts again.
constexpr qsizetype MaxCachedWords = 200000;

QString withPlainApostrophes(QStringView word) {
    QString w = word.toString();
    w.replace(QChar(0x2019), QLatin1Char('\''));
    return w;
}
} // namespace

void Speller::addDictionary(const QString& code, std::unique_ptr<SpellDictionary> dictionary) {
    if (!dictionary)
        return;
    m_dictionaries.push_back({code, std::move(dictionary)});
    changed();
}

std::unique_ptr<SpellDictionary> loadDictionaryFor(const QString& code,
                                                   const QList<DictionaryFile>& available) {
    const auto it = std::find_if(available.cbegin(), available.cend(),
                                 [&](const DictionaryFile& d) { return d.code == code; });
    return it != available.cend() ? loadHunspellDictionary(it->affPath, it->dicPath) : nullptr;
}

QStringList Speller::loadDictionaries(const QStringList& codes,
                                      const QList<DictionaryFile>& available) {
    QStringList failed;
    for (const QString& code : codes) {
        std::unique_ptr<SpellDictionary> d = loadDictionaryFor(code, available);
        if (d)
            addDictionary(code, std::move(d));
        else
            failed << code;
    }
    return failed;
}

void Speller::clearDictionaries() {
    m_dictionaries.clear();
    changed();
}

QStringList Speller::languages() const {
    QStringList codes;
    for (const Entry& e : m_dictionaries)
        codes << e.code;
    return codes;
}

void Speller::setPersonalWords(PersonalWords words) {
    m_personal = std::move(words);
    changed();
}

QString Speller::addToPersonal(const QString& word) {
    const QString error = m_personal.add(word);
    changed();
    return error;
}

void Speller::ignoreAll(const QString& word) {
    m_ignored.insert(word);
    changed();
}

void Speller::setSplitOptions(const SplitOptions& options) {
    m_options = options;
    changed();
}

void Speller::changed() {
    ++m_generation;
    m_known.clear();
}

bool Speller::isCorrect(QStringView word) const {
    if (m_dictionaries.empty())
        return true;
    const QString key = word.toString();
    const auto it = m_known.constFind(key);
    if (it != m_known.cend())
        return *it;
    const bool right = checkUncached(word);
    if (m_known.size() >= MaxCachedWords)
        m_known.clear();
    m_known.insert(key, right);
    return right;
}

bool Speller::knownByOne(QStringView word) const {
    for (const Entry& e : m_dictionaries)
        if (e.dictionary->check(word))
            return true;
    return false;
}

bool Speller::checkUncached(QStringView word) const {
    if (m_personal.contains(word) || m_ignored.contains(word.toString()))
        return true;
    if (knownByOne(word))
        return true;
    // Dictionaries spell the apostrophe as ' ; typed text often has the typographic one.
    if (word.contains(QChar(0x2019)) && knownByOne(withPlainApostrophes(word)))
        return true;
    // A hyphenated word that no dictionary has whole is right when each of its parts is,
    // for a language that does not count the hyphen as a letter (where it does, its own
    // answer on the whole word stands).
    if (!word.contains(QLatin1Char('-')))
        return false;
    const bool splits =
        std::any_of(m_dictionaries.cbegin(), m_dictionaries.cend(),
                    [](const Entry& e) { return !e.dictionary->isWordChar(QLatin1Char('-')); });
    if (!splits)
        return false;
    for (QStringView part : word.split(QLatin1Char('-'), Qt::SkipEmptyParts))
        if (!isCorrect(part))
            return false;
    return true;
}

std::vector<WordSpan> Speller::misspellings(QStringView text) const {
    std::vector<WordSpan> wrong;
    if (m_dictionaries.empty())
        return wrong;
    for (const WordSpan& w : splitWords(text, m_options))
        if (!isCorrect(text.sliced(w.start, w.length)))
            wrong.push_back(w);
    return wrong;
}

QStringList Speller::suggestions(QStringView word, int max) const {
    QStringList out;
    for (const Entry& e : m_dictionaries) {
        for (const QString& s : e.dictionary->suggest(word, max))
            if (!out.contains(s))
                out << s;
    }
    // Each language's best first: the first language's own list leads.
    return out.mid(0, max);
}

} // namespace qly
