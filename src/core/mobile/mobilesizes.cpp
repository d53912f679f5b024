#include "mobile/mobilesizes.h"

#include "mobile/runtime.h"
#include "pages/pagecopies.h"
#include "settings/profile.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

namespace qly {

namespace {

// x with `decimals` decimals, from its first 18 significant digits, rounded at the last
// shown digit with halves away from zero; the locale's separators.
QString formatNumber(double x, int decimals, const QLocale& locale) {
    const bool negative = std::signbit(x) && x != 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17e", std::fabs(x));
    // buf: d.ddddddddddddddddde±XX: 18 digits and the exponent.
    QByteArray digits;
    digits.append(buf[0]);
    digits.append(buf + 2, 17);
    const int exponent = std::atoi(std::strchr(buf, 'e') + 1);
    // The digits of the integer part and of the fraction, one char each.
    QByteArray whole, fraction;
    if (exponent >= 0) {
        whole = digits.left(exponent + 1);
        while (whole.size() < exponent + 1)
            whole.append('0');
        fraction = digits.mid(exponent + 1);
    } else {
        whole = "0";
        fraction = QByteArray(-exponent - 1, '0') + digits;
    }
    while (fraction.size() <= decimals)
        fraction.append('0');
    QByteArray kept = whole + fraction.left(decimals);
    if (fraction.at(decimals) >= '5') {
        qsizetype i = kept.size() - 1;
        while (i >= 0 && kept[i] == '9')
            kept[i--] = '0';
        if (i >= 0)
            ++kept[i];
        else
            kept.prepend('1');
    }
    const QByteArray intPart = kept.left(kept.size() - decimals);
    QString text;
    const QString group =
        locale.numberOptions() & QLocale::OmitGroupSeparator ? QString() : locale.groupSeparator();
    for (qsizetype i = 0; i < intPart.size(); ++i) {
        if (i > 0 && (intPart.size() - i) % 3 == 0)
            text += group;
        text += QLatin1Char(intPart[i]);
    }
    if (decimals > 0)
        text += locale.decimalPoint() + QString::fromLatin1(kept.right(decimals));
    if (negative && kept.count('0') != kept.size())
        text.prepend(locale.negativeSign());
    return text;
}

} // namespace

QString formatSizeShort(double bytes, const QLocale& locale) {
    constexpr double Gb = 1073741824.0, Mb = 1048576.0, Kb = 1024.0;
    if (std::trunc(bytes / Gb) > 0)
        return formatNumber(bytes / Gb, 2, locale) + QStringLiteral(" Gb");
    if (std::trunc(bytes / Mb) > 0)
        return formatNumber(bytes / Mb, 2, locale) + QStringLiteral(" Mb");
    if (std::trunc(bytes / Kb) > 0)
        return formatNumber(bytes / Kb, 0, locale) + QStringLiteral(" Kb");
    return formatNumber(bytes / Kb, 2, locale) + QStringLiteral(" Kb");
}

QString formatSizeLong(double bytes, const QLocale& locale) {
    return formatNumber(bytes, 0, locale) + QStringLiteral(" bytes");
}

QString mobileProgramFileName() {
#ifdef Q_OS_WIN
    return QStringLiteral("qly.exe");
#else
    return QStringLiteral("qly");
#endif
}

namespace {
// The folder's entries named like a page, split by whether they are regular files.
QStringList pageEntries(const QString& pageFolder, bool regular) {
    const QDir dir(pageFolder);
    QStringList pages;
    const auto entries = dir.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& info : entries) {
        if (!info.fileName().endsWith(QLatin1String(".rtf"), Qt::CaseInsensitive))
            continue;
        // A sync tool's conflict copy is no page: it stays with the page it belongs to.
        if (syncCopyName(info.fileName()))
            continue;
        struct stat st = {};
        const bool isRegular =
            ::stat(QFile::encodeName(info.filePath()).constData(), &st) == 0 && S_ISREG(st.st_mode);
        if (isRegular == regular)
            pages.append(info.fileName());
    }
    return pages;
}
} // namespace

QStringList mobilePageFiles(const QString& pageFolder) {
    // Regular files only: a folder or a pipe that happens to be named like a page cannot be
    // copied as one.
    return pageEntries(pageFolder, true);
}

QStringList mobileSkippedPageFiles(const QString& pageFolder) {
    QStringList skipped = pageEntries(pageFolder, false);
    skipped.sort();
    return skipped;
}

MobileSizes measureMobileSizes(const MobileSource& source) {
    MobileSizes sizes;
    for (const QString& name : mobilePageFiles(source.pageFolder)) {
        ++sizes.NotesCount;
        sizes.NotesSize += QFileInfo(source.pageFolder + name).size();
    }
    const auto sizeOf = [](const QString& path) {
        const QFileInfo info(path);
        return info.isFile() ? info.size() : qint64(0);
    };
    sizes.ConfigSize = sizeOf(source.settingsFile);
    for (const CarriedFile& f : source.spellingFiles)
        sizes.ConfigSize += sizeOf(f.source);
    // The program file counts with its runtime, which travels with it.
    sizes.ShellSize = sizeOf(source.programFile) + sizeOf(source.helpFile);
    const QString programFolder = QFileInfo(source.programFile).absolutePath() + QLatin1Char('/');
    if (QFileInfo(source.programFile).isFile()) {
        for (const QString& file : runtimeFiles(programFolder))
            sizes.ShellSize += sizeOf(programFolder + file);
    }
    return sizes;
}

MobileDirection mobileDirection(DriveKind programDrive) {
    switch (programDrive) {
    case DriveKind::Fixed:
        return MobileDirection::ToRemovable;
    case DriveKind::Removable:
        return MobileDirection::Home;
    default:
        return MobileDirection::None;
    }
}

DriveKind targetKind(MobileDirection direction) {
    switch (direction) {
    case MobileDirection::ToRemovable:
        return DriveKind::Removable;
    case MobileDirection::Home:
        return DriveKind::Fixed;
    default:
        return DriveKind::Unknown;
    }
}

QString defaultHomeTarget(const QString& settingsFile, const QString& homePath) {
    QString folder = Profile(settingsFile)
                         .readString(QStringLiteral("CurrentState"), QStringLiteral("HomeDir"), {});
    if (folder.isEmpty()) {
        const QString apps = QDir(homePath).filePath(QStringLiteral("Applications"));
        folder = QFileInfo(apps).isDir() ? apps + QStringLiteral("/Quillery/")
                                         : QDir(homePath).filePath(QStringLiteral("Quillery/"));
    }
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString targetInPickedFolder(const QString& picked) {
    QString folder = picked;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QStringLiteral("Quillery/");
}

TargetState evaluateTarget(const MobileSizes& sizes, bool withConfig, bool programPresent,
                           bool ready, const DriveSpace& space) {
    TargetState t;
    t.shellNeeded = !programPresent;
    t.total = sizes.totalSize(withConfig, t.shellNeeded);
    t.ready = ready;
    if (!ready) {
        t.status = QStringLiteral("Drive not ready");
        return t;
    }
    t.space = space;
    t.copyEnabled = space.free >= t.total;
    t.status = t.copyEnabled ? QStringLiteral("Press copy to start")
                             : QStringLiteral("Not enough free space on target drive");
    return t;
}

} // namespace qly
