// libFuzzer target for the settings reader: any bytes in the settings file must read without a
// crash, a leak or a value longer than the reader's limit, and a key written must read back
// while every other key keeps its value (the writer keeps every other line as it was).
#include "settings/profile.h"

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// A folder of this process's own for the file, on a memory file system when there is one.
const QString& scratchFile() {
    static const QString path = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                       : QDir::tempPath();
        const QString folder = base + QStringLiteral("/qly-fuzz-settings-%1").arg(::getpid());
        QDir().mkpath(folder);
        return folder + QStringLiteral("/qly.ini");
    }();
    return path;
}

void fail(const char* what, const QString& section, const QString& key) {
    std::fprintf(stderr, "invariant broken: %s [%s] %s\n", what, qPrintable(section),
                 qPrintable(key));
    std::abort();
}

bool plainName(QByteArrayView name) {
    if (name.isEmpty() || name.size() > 40)
        return false;
    for (const char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

// The sections and keys the input seems to name, and a few the program reads: what is asked.
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString& path = scratchFile();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes.data(), bytes.size()) != bytes.size())
            std::abort();
    }
    const QList<std::pair<QString, QString>> asked = probes(bytes);
    QList<std::optional<QString>> before;
    qly::Profile profile(path);
    if (!profile.readError().isEmpty())
        fail("a regular file was not read", QString(), profile.readError());
    for (const auto& [section, key] : asked) {
        before.append(profile.read(section, key));
        if (before.last() && before.last()->size() > qly::Profile::MaxValueLength)
            fail("a value is longer than the limit", section, key);
        profile.readInteger(section, key, 0);
        profile.readBool(section, key, false);
    }

    // One key written; the written file read anew.
    const auto& [writtenSection, writtenKey] = asked.value(asked.size() > 2 ? 2 : 1);
    const QString value = QStringLiteral("written value 42");
    profile.writeString(writtenSection, writtenKey, value);
    const qly::Profile reread(path);
    if (reread.read(writtenSection, writtenKey) != value)
        fail("the value written does not read back", writtenSection, writtenKey);
    for (qsizetype i = 0; i < asked.size(); ++i) {
        const auto& [section, key] = asked[i];
        if (section.compare(writtenSection, Qt::CaseInsensitive) == 0 &&
            key.compare(writtenKey, Qt::CaseInsensitive) == 0)
            continue;
        if (reread.read(section, key) != before[i])
            fail("a key not written changed", section, key);
    }
    return 0;
}
