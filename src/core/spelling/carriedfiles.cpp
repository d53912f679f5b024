#include "spelling/carriedfiles.h"

#include "settings/profile.h"
#include "spelling/dictionaryfinder.h"
#include "spelling/personalwords.h"
#include "spelling/spellingsettings.h"

#include <QFileInfo>

namespace qly {

QList<CarriedFile> spellingFilesToCarry(const QString& programFolder, const QString& settingsFile,
                                        const QString& personalList) {
    QList<CarriedFile> files;
    const SpellingSettings settings = SpellingSettings::read(Profile(settingsFile));
    if (settings.checkAsYouType) {
        const QList<DictionaryFile> available =
            findDictionaries(dictionaryFolders(programFolder, qEnvironmentVariable("DICPATH")));
        QStringList codes = settings.languages;
        if (!settings.languagesSet) {
            const QString code = defaultLanguage(available, QLocale::system());
            codes = code.isEmpty() ? QStringList() : QStringList{code};
        }
        for (const DictionaryFile& d : available) {
            if (!codes.contains(d.code))
                continue;
            // Links (de_AT.aff -> de_DE.aff) go as the files they name: a stick holds none.
            files.append({QFileInfo(d.affPath).canonicalFilePath(),
                          QStringLiteral("dict/%1.aff").arg(d.code)});
            files.append({QFileInfo(d.dicPath).canonicalFilePath(),
                          QStringLiteral("dict/%1.dic").arg(d.code)});
        }
    }
    if (QFileInfo(personalList).isFile())
        files.append({personalList, QFileInfo(personalList).fileName()});
    return files;
}

QString mergePersonalWords(const QString& source, const QString& target) {
    PersonalWords from(source);
    if (QString error = from.load(); !error.isEmpty())
        return error;
    PersonalWords to(target);
    if (QString error = to.load(); !error.isEmpty())
        return error;
    return to.addAll(from.words());
}

} // namespace qly
