#include "mobile/mobilemanifest.h"

#include "settings/atomicfile.h"

#include <QRandomGenerator>

namespace qly {

namespace {
// A record of 26 pages for a few sticks is a few kilobytes.
constexpr qint64 MaxManifestSize = 1 << 20;
const QString IdKey = QStringLiteral("id ");
} // namespace

PageStamp PageStamp::of(QByteArrayView bytes, qint64 modifiedSeconds) {
    return {bytes.size(), modifiedSeconds, contentHash(bytes)};
}

MobileManifest MobileManifest::read(const QString& folder) {
    MobileManifest manifest;
    const IoResult<Folder> dir = openFolder(folder, false);
    const IoResult<FileContent> file = dir ? readRegularFile(dir.value(), FileName, MaxManifestSize)
                                           : IoResult<FileContent>(ioError(QString()));
    if (file) {
        const QString text = QString::fromUtf8(file.value().bytes);
        for (QStringView line : QStringView(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (line.startsWith(IdKey)) {
                manifest.m_id = line.mid(IdKey.size()).trimmed().toString();
                continue;
            }
            // "<other id> <page> <size> <seconds> <hash in hex>"
            const QList<QStringView> f = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (f.size() != 5)
                continue;
            bool ok[3] = {};
            const PageStamp stamp{f[2].toLongLong(&ok[0]), f[3].toLongLong(&ok[1]),
                                  f[4].toULongLong(&ok[2], 16)};
            if (ok[0] && ok[1] && ok[2] && stamp.size >= 0)
                manifest.m_copies[f[0].toString()][f[1].toString()] = stamp;
        }
    }
    if (manifest.m_id.isEmpty() || manifest.m_id.contains(QLatin1Char(' ')))
        manifest.m_id = QString::number(QRandomGenerator::system()->generate64(), 16);
    return manifest;
}

bool MobileManifest::write(const QString& folder) const {
    QString text = IdKey + m_id + QLatin1Char('\n');
    for (auto other = m_copies.cbegin(); other != m_copies.cend(); ++other)
        for (auto page = other->cbegin(); page != other->cend(); ++page)
            text += QStringLiteral("%1 %2 %3 %4 %5\n")
                        .arg(other.key(), page.key())
                        .arg(page->size)
                        .arg(page->modifiedSeconds)
                        .arg(page->hash, 0, 16);
    const IoResult<Folder> dir = openFolder(folder, false);
    return dir && writeFileAtomically(dir.value(), FileName, text.toUtf8()).ok();
}

PageStamp MobileManifest::lastCopied(const QString& otherId, const QString& page) const {
    return m_copies.value(otherId).value(page);
}

void MobileManifest::setLastCopied(const QString& otherId, const QString& page,
                                   const PageStamp& stamp) {
    if (!otherId.isEmpty() && !page.contains(QLatin1Char(' ')))
        m_copies[otherId][page] = stamp;
}

PageSides comparePageSides(const PageStamp& source, const PageStamp& target,
                           const PageStamp& sourceRecord, const PageStamp& targetRecord) {
    if (!target.isValid())
        return PageSides::New;
    if (source.sameContent(target))
        return PageSides::Same;
    // Without a record on both sides of what the last copy carried, nothing says that both
    // changed: the page is copied as it always was.
    if (!sourceRecord.sameContent(targetRecord))
        return PageSides::OneSide;
    const bool sourceChanged = !source.sameContent(sourceRecord);
    const bool targetChanged = !target.sameContent(targetRecord);
    return sourceChanged && targetChanged ? PageSides::BothSides : PageSides::OneSide;
}

} // namespace qly
