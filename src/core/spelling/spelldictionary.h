#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>

namespace qly {

// One language's dictionary behind the checker, so the engine can change without the rest
// noticing.
class SpellDictionary {
public:
    virtual ~SpellDictionary() = default;
    virtual bool check(QStringView word) const = 0;
    // At most max suggestions, best first.
    virtual QStringList suggest(QStringView word, int max) const = 0;
    // Whether the dictionary counts c as part of a word (the .aff file's WORDCHARS).
    virtual bool isWordChar(QChar c) const = 0;
};

// A Hunspell dictionary from its .aff and .dic files; nothing when they cannot be read or
// the .aff names an encoding this program cannot convert to.
std::unique_ptr<SpellDictionary> loadHunspellDictionary(const QString& affPath,
                                                        const QString& dicPath);

} // namespace qly
