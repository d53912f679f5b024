#include "spelling/dictionaryfinder.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace qly {

QString DictionaryFile::folder() const {
    return QFileInfo(affPath).path();
}

QStringList dictionaryFolders(const QString& programFolder, const QString& dicPath) {
    QStringList folders{QDir(programFolder).filePath(QStringLiteral("dict"))};
    for (const QString& f : dicPath.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        folders << f;
    folders << QStringLiteral("/usr/share/hunspell") << QStringLiteral("/usr/share/myspell");
    return folders;
}

QList<DictionaryFile> findDictionaries(const QStringList& folders) {
    QList<DictionaryFile> found;
    for (const QString& folder : folders) {
        const QDir dir(folder);
        const QStringList affs =
            dir.entryList({QStringLiteral("*.aff")}, QDir::Files | QDir::Readable, QDir::Name);
        for (const QString& aff : affs) {
            const QString code = aff.chopped(4);
            const QString dic = dir.filePath(code + QStringLiteral(".dic"));
            const bool known = std::any_of(found.cbegin(), found.cend(),
                                           [&](const DictionaryFile& d) { return d.code == code; });
            if (known || code.isEmpty() || !QFileInfo(dic).isFile())
                continue;
            found.append({code, dir.filePath(aff), dic});
        }
    }
    std::sort(found.begin(), found.end(),
              [](const DictionaryFile& a, const DictionaryFile& b) { return a.code < b.code; });
    return found;
}

QString languageName(const QString& code) {
    const QLocale locale(code);
    const QString wanted = code.section(QLatin1Char('_'), 0, 0).section(QLatin1Char('-'), 0, 0);
    // QLocale falls back to "C" for names it does not know, and to the language's main
    // country when only the country is unknown.
    if (locale.language() == QLocale::C || QLocale::languageToCode(locale.language()) != wanted)
        return code;
    const QString language = QLocale::languageToString(locale.language());
    if (!code.contains(QLatin1Char('_')) && !code.contains(QLatin1Char('-')))
        return language;
    const QString country = QLocale::territoryToString(locale.territory());
    return QStringLiteral("%1 (%2)").arg(language, country);
}

QString defaultLanguage(const QList<DictionaryFile>& available, const QLocale& locale) {
    const QString name = locale.name(); // "de_DE"
    const QString language = name.section(QLatin1Char('_'), 0, 0);
    QString sameLanguage;
    for (const DictionaryFile& d : available) {
        if (d.code == name)
            return d.code;
        if (sameLanguage.isEmpty() && d.code.section(QLatin1Char('_'), 0, 0) == language)
            sameLanguage = d.code;
    }
    return sameLanguage;
}

} // namespace qly
