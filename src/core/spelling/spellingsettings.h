#pragma once

#include <QStringList>

namespace qly {

class Profile;

// The section "Spelling" of the settings file.
struct SpellingSettings {
    bool checkAsYouType = true;
    bool skipCapitals = false;
    // Dictionary codes ("en_US,de_DE"); unset means the locale's language.
    QStringList languages;
    bool languagesSet = false;

    static SpellingSettings read(const Profile& profile);
    void write(Profile& profile) const;
};

} // namespace qly
