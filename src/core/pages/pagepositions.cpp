#include "pages/pagepositions.h"

#include "settings/profile.h"

#include <QStringList>

#include <algorithm>

namespace qly {

PagePosition PagePosition::clampedTo(int length) const {
    const int end = std::max(0, length);
    return {std::clamp(anchor, 0, end), std::clamp(caret, 0, end), std::clamp(top, 0, end)};
}

QString PagePosition::toText() const {
    return QStringLiteral("%1,%2,%3").arg(anchor).arg(caret).arg(top);
}

std::optional<PagePosition> PagePosition::fromText(QStringView text) {
    const QList<QStringView> parts = text.split(u',');
    if (parts.size() != 3)
        return std::nullopt;
    int values[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        values[i] = parts[i].trimmed().toInt(&ok);
        if (!ok || values[i] < 0)
            return std::nullopt;
    }
    return PagePosition{values[0], values[1], values[2]};
}

std::array<PagePosition, PageCount> readPagePositions(const Profile& profile) {
    std::array<PagePosition, PageCount> positions{};
    const QString section = QLatin1String(PositionsSection);
    for (int i = 0; i < PageCount; ++i)
        if (const std::optional<QString> value = profile.read(section, pageLetter(i)))
            positions[i] = PagePosition::fromText(*value).value_or(PagePosition());
    return positions;
}

void writePagePositions(Profile& profile, const std::array<PagePosition, PageCount>& positions) {
    const QString section = QLatin1String(PositionsSection);
    profile.beginGroupWrite();
    for (int i = 0; i < PageCount; ++i) {
        // A page never moved from its top needs no key; one that had a key gets it updated.
        if (positions[i].atStart() && !profile.read(section, pageLetter(i)))
            continue;
        profile.writeString(section, pageLetter(i), positions[i].toText());
    }
    profile.endGroupWrite();
}

} // namespace qly
