#include "spelling/spellingsettings.h"

#include "settings/profile.h"

namespace qly {

namespace {
const QString Spelling = QStringLiteral("Spelling");
const QString Languages = QStringLiteral("Languages");
} // namespace

SpellingSettings SpellingSettings::read(const Profile& p) {
    SpellingSettings s;
    s.checkAsYouType = p.readBool(Spelling, QStringLiteral("CheckAsYouType"), true);
    s.skipCapitals = p.readBool(Spelling, QStringLiteral("SkipCapitals"), false);
    if (const std::optional<QString> codes = p.read(Spelling, Languages)) {
        s.languagesSet = true;
        for (const QString& c : codes->split(QLatin1Char(','), Qt::SkipEmptyParts))
            if (!c.trimmed().isEmpty() && !s.languages.contains(c.trimmed()))
                s.languages << c.trimmed();
    }
    return s;
}

void SpellingSettings::write(Profile& p) const {
    p.beginGroupWrite();
    p.writeBool(Spelling, QStringLiteral("CheckAsYouType"), checkAsYouType);
    p.writeBool(Spelling, QStringLiteral("SkipCapitals"), skipCapitals);
    p.writeString(Spelling, Languages, languages.join(QLatin1Char(',')));
    p.endGroupWrite();
}

} // namespace qly
