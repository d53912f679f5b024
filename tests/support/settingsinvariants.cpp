#include "support/settingsinvariants.h"

#include "settings/profile.h"

#include <QFile>
#include <QList>

#include <optional>
#include <utility>

namespace qlytest {

namespace {

bool plainName(QByteArrayView name) {
    if (name.isEmpty() || name.size() > 40)
        return false;
    for (const char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

// The sections and keys the bytes seem to name, and a few the program reads: what is asked.
QList<std::pair<QString, QString>> probes(QByteArrayView bytes) {
    QList<std::pair<QString, QString>> pairs = {{QStringLiteral("Main"), QStringLiteral("Left")},
                                                {QStringLiteral("Fuzz"), QStringLiteral("Key")}};
    QByteArray section = "Main";
    for (const QByteArray& raw : bytes.toByteArray().split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[') && line.endsWith(']') && plainName(line.mid(1, line.size() - 2)))
            section = line.mid(1, line.size() - 2);
        else if (const qsizetype eq = line.indexOf('='); eq > 0 && plainName(line.left(eq)))
            pairs.append({QString::fromLatin1(section), QString::fromLatin1(line.left(eq))});
        if (pairs.size() >= 24)
            break;
    }
    return pairs;
}

QString where(const QString& section, const QString& key) {
    return QStringLiteral(" [%1] %2").arg(section, key);
}

} // namespace

QStringList settingsInvariantFailures(QByteArrayView bytes, const QString& path) {
    QStringList failed;
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes.data(), bytes.size()) != bytes.size())
            return {QStringLiteral("cannot write ") + path};
    }
    const QList<std::pair<QString, QString>> asked = probes(bytes);
    QList<std::optional<QString>> before;
    qly::Profile profile(path);
    if (!profile.readError().isEmpty())
        return {QStringLiteral("a regular file was not read: ") + profile.readError()};
    for (const auto& [section, key] : asked) {
        before.append(profile.read(section, key));
        if (before.last() && before.last()->size() > qly::Profile::MaxValueLength)
            failed << QStringLiteral("a value is longer than the limit") + where(section, key);
        profile.readInteger(section, key, 0);
        profile.readBool(section, key, false);
    }

    // One key written; the written file read anew.
    const auto& [writtenSection, writtenKey] = asked.value(asked.size() > 2 ? 2 : 1);
    const QString value = QStringLiteral("written value 42");
    profile.writeString(writtenSection, writtenKey, value);
    const qly::Profile reread(path);
    if (reread.read(writtenSection, writtenKey) != value)
        failed << QStringLiteral("the value written does not read back") +
                      where(writtenSection, writtenKey);
    for (qsizetype i = 0; i < asked.size(); ++i) {
        const auto& [section, key] = asked[i];
        if (section.compare(writtenSection, Qt::CaseInsensitive) == 0 &&
            key.compare(writtenKey, Qt::CaseInsensitive) == 0)
            continue;
        if (reread.read(section, key) != before[i])
            failed << QStringLiteral("a key not written changed") + where(section, key);
    }
    return failed;
}

} // namespace qlytest
