#include "pages/pagecopies.h"

#include "model/pageletters.h"
#include "pages/pagenames.h"
#include "pages/pagestore.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace qly {

namespace {
int letterIndex(const QString& letter) {
    if (letter.size() != 1 || letter[0] < u'A' || letter[0] > u'Z')
        return -1;
    return letter[0].unicode() - u'A';
}

// The regular files of a folder, by name; links and anything else are left out.
template <typename Take> void forEachFile(const QString& folder, Take take) {
    if (folder.isEmpty())
        return;
    const QByteArray native = QFile::encodeName(folder);
    DIR* dir = ::opendir(native.constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (!name.endsWith(QLatin1String(".rtf")))
            continue;
        struct stat st = {};
        const QByteArray path = native + (native.endsWith('/') ? "" : "/") + entry->d_name;
        if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        take(name, st);
    }
    ::closedir(dir);
}

QDateTime modifiedOf(const struct stat& st) {
    return QDateTime::fromMSecsSinceEpoch(qint64(st.st_mtim.tv_sec) * 1000 +
                                          st.st_mtim.tv_nsec / 1'000'000);
}

QString withSeparator(QString folder) {
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}
} // namespace

std::optional<SyncCopyName> syncCopyName(const QString& fileName) {
    static const QRegularExpression syncthing(
        QStringLiteral("^([A-Z])\\.sync-conflict-[0-9]{8}-[0-9]{6}-([A-Z0-9]{7})\\.rtf$"));
    static const QRegularExpression nextcloud(QStringLiteral(
        "^([A-Z]) \\(conflicted copy (?:(.+) )?[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{6}\\)\\.rtf$"));
    static const QRegularExpression dropbox(
        QStringLiteral("^([A-Z]) \\((.+)'s conflicted copy [0-9]{4}-[0-9]{2}-[0-9]{2}(?: "
                       "\\([0-9]+\\))?\\)\\.rtf$"));
    const struct {
        const QRegularExpression& pattern;
        const char* tool;
    } tools[] = {{syncthing, "Syncthing"}, {nextcloud, "Nextcloud"}, {dropbox, "Dropbox"}};
    for (const auto& t : tools) {
        const QRegularExpressionMatch m = t.pattern.match(fileName);
        if (!m.hasMatch())
            continue;
        return SyncCopyName{letterIndex(m.captured(1)), QString::fromLatin1(t.tool), m.captured(2)};
    }
    return std::nullopt;
}

int conflictCopyPage(const QString& fileName) {
    // As PageVersions::keepConflict names them, with "-<n>" when two came in one second.
    static const QRegularExpression pattern(
        QStringLiteral("^([A-Z])\\.conflict-[0-9]{8}-[0-9]{6}(?:-[0-9]+)?\\.rtf$"));
    const QRegularExpressionMatch m = pattern.match(fileName);
    return m.hasMatch() ? letterIndex(m.captured(1)) : -1;
}

QList<PageCopy> listPageCopies(const QString& pageFolder, const QString& backupFolder, int page) {
    QList<PageCopy> copies;
    const QString pages = withSeparator(pageFolder);
    const QString backup = withSeparator(backupFolder);
    const QString letter = pageLetter(page);
    static const QRegularExpression versionPattern(
        QStringLiteral("^([A-Z])\\.([0-9]{1,2})\\.rtf$"));
    const auto add = [&copies](PageCopyKind kind, const QString& path, const struct stat& st) {
        PageCopy copy;
        copy.kind = kind;
        copy.path = path;
        copy.modified = modifiedOf(st);
        copy.size = qint64(st.st_size);
        copies.append(copy);
        return &copies.back();
    };
    forEachFile(pages, [&](const QString& name, const struct stat& st) {
        if (name == letter + QStringLiteral(".rtf")) {
            add(PageCopyKind::Current, pages + name, st);
        } else if (const std::optional<SyncCopyName> sync = syncCopyName(name);
                   sync && sync->page == page) {
            PageCopy* copy = add(PageCopyKind::Synced, pages + name, st);
            copy->tool = sync->tool;
            copy->origin = sync->origin;
        }
    });
    forEachFile(backup, [&](const QString& name, const struct stat& st) {
        if (conflictCopyPage(name) == page) {
            add(PageCopyKind::Conflict, backup + name, st);
        } else if (const QRegularExpressionMatch m = versionPattern.match(name);
                   m.hasMatch() && m.captured(1) == letter && m.captured(2).toInt() > 0) {
            add(PageCopyKind::Version, backup + name, st)->version = m.captured(2).toInt();
        }
    });
    // The page now, then newest first; versions of one time by their numbers.
    std::stable_sort(copies.begin(), copies.end(), [](const PageCopy& a, const PageCopy& b) {
        const bool aNow = a.kind == PageCopyKind::Current;
        const bool bNow = b.kind == PageCopyKind::Current;
        if (aNow != bNow)
            return aNow;
        if (a.modified != b.modified)
            return a.modified > b.modified;
        if (a.version != b.version)
            return a.version != 0 && (b.version == 0 || a.version < b.version);
        return a.path < b.path;
    });
    for (PageCopy& copy : copies) {
        const PageFileRead read = readPageFile(copy.path);
        if (read.isRead())
            copy.firstLine = pageBytesFirstLine(read.bytes);
        else
            copy.readError = read.reason;
    }
    return copies;
}

QList<ConflictCopyFile> listConflictCopies(const QString& pageFolder, const QString& backupFolder) {
    QList<ConflictCopyFile> files;
    const QString pages = withSeparator(pageFolder);
    const QString backup = withSeparator(backupFolder);
    forEachFile(pages, [&](const QString& name, const struct stat&) {
        if (const std::optional<SyncCopyName> sync = syncCopyName(name); sync && sync->page >= 0)
            files.append({sync->page, pages + name, sync->tool});
    });
    forEachFile(backup, [&](const QString& name, const struct stat&) {
        if (const int page = conflictCopyPage(name); page >= 0)
            files.append({page, backup + name, QString()});
    });
    return files;
}

std::array<int, 26> countConflictCopies(const QString& pageFolder, const QString& backupFolder) {
    std::array<int, PageCount> counts{};
    for (const ConflictCopyFile& file : listConflictCopies(pageFolder, backupFolder))
        ++counts[file.page];
    return counts;
}

} // namespace qly
