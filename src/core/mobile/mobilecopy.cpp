#include "mobile/mobilecopy.h"

#include "mobile/launcher.h"
#include "mobile/mobilemanifest.h"
#include "mobile/mobilesizes.h"
#include "mobile/runtime.h"
#include "pages/pagestore.h"
#include "pages/pageversions.h"
#include "settings/atomicfile.h"
#include "settings/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <condition_variable>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace qly {

namespace {

std::mutex g_runningMutex;
std::condition_variable g_runningEnded;
std::set<MobileCopy*> g_running;

QByteArray fileBytes(const QString& path, bool* read = nullptr) {
    const PageFileRead r = readPageFile(path);
    if (read)
        *read = r.isRead();
    return r.bytes;
}

// The modification time in whole seconds; -1 when the file is missing.
qint64 modifiedSeconds(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return st.st_mtim.tv_sec;
}

// The settings file's versions: "<backup>/qly.ini.1" the newest; the same rotation as the
// pages' versions, with the settings file's own names.
class SettingsVersions {
public:
    SettingsVersions(const QString& backupFolder, int count)
        : m_folder(backupFolder), m_count(qBound(0, count, PageVersions::MaxCount)) {}

    QString hold(const QString& file, const QByteArray& newContent) const {
        bool read = false;
        const QByteArray old = fileBytes(file, &read);
        if (m_count <= 0 || !read || old == newContent || !QDir().mkpath(m_folder))
            return QString();
        const QString held = m_folder + QStringLiteral("qly.ini.held");
        ::unlink(QFile::encodeName(held).constData());
        if (::link(QFile::encodeName(file).constData(), QFile::encodeName(held).constData()) == 0)
            return held;
        return writeFileAtomically(held, old).ok() ? held : QString();
    }
    void keep(const QString& held) const {
        if (held.isEmpty())
            return;
        const auto name = [this](int n) {
            return QFile::encodeName(m_folder + QStringLiteral("qly.ini.%1").arg(n));
        };
        for (int n = m_count + 1; n <= PageVersions::MaxCount && ::unlink(name(n).constData()) == 0;
             ++n) {
        }
        for (int n = m_count - 1; n >= 1; --n)
            ::rename(name(n).constData(), name(n + 1).constData());
        if (::rename(QFile::encodeName(held).constData(), name(1).constData()) != 0)
            drop(held);
    }
    void drop(const QString& held) const {
        if (!held.isEmpty())
            ::unlink(QFile::encodeName(held).constData());
    }

private:
    QString m_folder;
    int m_count;
};

// FAT keeps modification times to two seconds.
constexpr qint64 TimeSlack = 2;

} // namespace

QString copyCompleteText(const MobileCopyResult& result) {
    QString text = QStringLiteral("Copy complete");
    if (!result.bothSidesKept.isEmpty())
        text += QStringLiteral(". Changed on both sides: %1, kept in history")
                    .arg(result.bothSidesKept.join(QStringLiteral(", ")));
    if (const qsizetype n = result.newerPagesKept.size(); n > 0)
        text += QStringLiteral(". %1 newer %2 kept in backup: %3")
                    .arg(n)
                    .arg(n == 1 ? QStringLiteral("page") : QStringLiteral("pages"))
                    .arg(result.newerPagesKept.join(QStringLiteral(", ")));
    // The count first: a status line too narrow for every name still says how many.
    if (const qsizetype n = result.skipped.size(); n > 0)
        text += (n == 1 ? QStringLiteral(". 1 file not copied (not a regular file): %1")
                        : QStringLiteral(". %1 files not copied (not regular files): %2").arg(n))
                    .arg(result.skipped.join(QStringLiteral(", ")));
    if (result.programWithoutRuntime)
        text +=
            QStringLiteral(". The program had no runtime folder: the copy needs Qt 6 installed");
    return text;
}

MobileCopy::MobileCopy(MobileCopyPlan plan) : m_plan(std::move(plan)) {
    const std::lock_guard lock(g_runningMutex);
    g_running.insert(this);
    m_registered = true;
}

MobileCopy::~MobileCopy() {
    finished();
}

void MobileCopy::finished() {
    {
        const std::lock_guard lock(g_runningMutex);
        if (!m_registered)
            return;
        g_running.erase(this);
        m_registered = false;
    }
    g_runningEnded.notify_all();
}

void stopMobileCopy() {
    std::unique_lock lock(g_runningMutex);
    for (MobileCopy* copy : g_running)
        copy->requestStop();
    g_runningEnded.wait(lock, [] { return g_running.empty(); });
}

FileCopyOptions MobileCopy::copyOptions() const {
    FileCopyOptions options;
    options.stop = &m_stop;
    options.sourceDrive = m_plan.sourceDrive;
    options.targetDrive = m_plan.targetDrive;
    return options;
}

void MobileCopy::copyProgram(const MobileCopyReport& report, MobileCopyResult& result) {
    // The program travels with its runtime, under one bar over all their bytes. The program
    // comes last: a target that holds it (and so is not given the program again) holds the
    // whole runtime.
    const QString sourceDir = QFileInfo(m_plan.programFile).absolutePath() + QLatin1Char('/');
    const QStringList runtime = runtimeFiles(sourceDir);
    result.programWithoutRuntime = runtime.isEmpty();
    qint64 total = QFileInfo(m_plan.programFile).size();
    for (const QString& file : runtime)
        total += QFileInfo(sourceDir + file).size();
    qint64 before = 0;
    const auto resetBar = qScopeGuard([&] {
        if (report.progress)
            report.progress(0, total);
    });
    FileCopyOptions options = copyOptions();
    options.executable = true;
    const auto copy = [&](const QString& source, const QString& shownName) {
        qint64 last = 0;
        options.shownName = shownName;
        copyFileWithProgress(
            source, m_plan.targetDir + shownName,
            [&](qint64 done, qint64) {
                // Each file's own start and end at 0 would send the bar back.
                if (done > 0 && report.progress) {
                    last = done;
                    report.progress(before + done, qMax(total, before + done));
                }
            },
            options);
        before += last;
    };
    for (const QString& file : runtime)
        copy(sourceDir + file, file);
    copy(m_plan.programFile, mobileProgramFileName());
}

void MobileCopy::copyKeepingVersion(const QString& source, const QString& target,
                                    const QString& shownName, bool page,
                                    const MobileCopyReport& report, MobileCopyResult& result,
                                    bool asConflict) {
    FileCopyOptions options = copyOptions();
    options.shownName = shownName;
    const QString backup = m_plan.targetDir + QStringLiteral("backup/");
    // Only a file that is there can be lost: a first copy reads each source once.
    QString held;
    const PageVersions pageVersions(backup, m_plan.versionsKept);
    const SettingsVersions settingsVersions(backup, m_plan.versionsKept);
    bool newer = false;
    if (asConflict) {
        if (const IoResult<QString> kept = pageVersions.keepConflict(target); !kept)
            throw Error(QStringLiteral("Cannot keep page %1 as a conflict copy (%2), so it is not "
                                       "replaced")
                            .arg(QDir::toNativeSeparators(target), kept.reason()));
        result.bothSidesKept << QFileInfo(target).completeBaseName();
    } else if (QFileInfo::exists(target)) {
        const QByteArray incoming = fileBytes(source);
        held = page ? pageVersions.hold(target, incoming) : settingsVersions.hold(target, incoming);
        // Changed there since the last copy between the two folders, which gave it the
        // source's time.
        newer = page && !held.isEmpty() &&
                modifiedSeconds(target) > modifiedSeconds(source) + TimeSlack;
    }
    try {
        copyFileWithProgress(source, target, report.progress, options);
    } catch (...) {
        // The target is as it was: what was held is let go.
        page ? pageVersions.drop(held) : settingsVersions.drop(held);
        throw;
    }
    if (page) {
        pageVersions.keep(held, target);
        if (newer)
            result.newerPagesKept << QFileInfo(target).completeBaseName();
    } else {
        settingsVersions.keep(held);
    }
}

void MobileCopy::copySpellingFiles(int& step, int steps, const MobileCopyReport& report) {
    for (const CarriedFile& f : m_plan.spellingFiles) {
        ++step;
        if (report.step)
            report.step(QStringLiteral("Configuration: File %1 of %2").arg(step).arg(steps));
        const QString target = m_plan.targetDir + f.target;
        if (f.target == QLatin1String("qly.dic")) {
            // Words added on either computer stay: the lists are joined, not replaced.
            if (const QString error = mergePersonalWords(f.source, target); !error.isEmpty())
                throw Error(error);
            continue;
        }
        QDir().mkpath(QFileInfo(target).path());
        FileCopyOptions options = copyOptions();
        options.shownName = f.target;
        copyFileWithProgress(f.source, target, report.progress, options);
    }
}

namespace {

// The device of the file system that holds path; 0 when it cannot be read.
dev_t deviceOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : 0;
}

// Whether the files (source, target) can replace what is at the target now on a drive with
// free bytes in blocks of block bytes: each takes whole blocks, what it replaces is freed
// once it is in place, and while the largest is written aside the old one is still there.
qint64 roomNeeded(const QList<std::pair<QString, QString>>& files, qint64 block) {
    const auto blocks = [block](qint64 size) {
        return block > 0 ? (size + block - 1) / block * block : size;
    };
    qint64 need = 0, largestOld = 0;
    for (const auto& [source, target] : files) {
        const qint64 old = blocks(QFileInfo(target).size());
        need += blocks(QFileInfo(source).size()) - old;
        largestOld = qMax(largestOld, old);
    }
    return need + largestOld;
}

} // namespace

void MobileCopy::checkRoom(const QList<std::pair<QString, QString>>& files, const QString& what,
                           const QString& copied) const {
    struct statvfs st {};
    if (::statvfs(QFile::encodeName(m_plan.targetDir).constData(), &st) != 0)
        return; // the copy itself says what is wrong with the drive
    const qint64 free = qint64(st.f_bavail) * qint64(st.f_frsize);
    const qint64 need = roomNeeded(files, qint64(st.f_frsize));
    if (need <= free)
        return;
    qint64 size = 0;
    for (const auto& file : files)
        size += QFileInfo(file.first).size();
    throw Error(QStringLiteral("%1 copied. %2 (%3) does not fit on %4: %5 free")
                    .arg(copied, what, formatSizeShort(double(size)), targetName(),
                         formatSizeShort(double(free))));
}

bool MobileCopy::targetGone() const {
    const dev_t now = deviceOf(m_plan.targetDir);
    if (now == 0 || (m_targetDevice != 0 && now != m_targetDevice))
        return true;
    return !m_plan.targetMount.isEmpty() && deviceOf(m_plan.targetMount) != now;
}

QString MobileCopy::targetName() const {
    if (!m_plan.targetDrive.isEmpty())
        return m_plan.targetDrive;
    return QDir(m_plan.targetDir).dirName();
}

MobileCopyResult MobileCopy::run(const MobileCopyReport& report) {
    m_targetDevice = deviceOf(m_plan.targetDir);
    try {
        return copyAll(report);
    } catch (const Error&) {
        // A stick pulled mid-copy fails as "Cannot create file ...: No such file or
        // directory" or an I/O error; the user is told what happened instead.
        if (targetGone())
            throw Error(QStringLiteral("The drive %1 is no longer there").arg(targetName()));
        throw;
    }
}

MobileCopyResult MobileCopy::copyAll(const MobileCopyReport& report) {
    struct Finish {
        MobileCopy* copy;
        ~Finish() { copy->finished(); }
    } finish{this};
    const auto step = [&](const QString& text) {
        if (report.step)
            report.step(text);
    };
    MobileCopyResult result;
    const QString& target = m_plan.targetDir;
    try {
        const int configFiles = 1 + int(m_plan.spellingFiles.size());
        step(QStringLiteral("Configuration: File 1 of %1").arg(configFiles));
        copyKeepingVersion(m_plan.settingsFile, target + QStringLiteral("qly.ini"),
                           QStringLiteral("qly.ini"), false, report, result);
        int configStep = 1;
        copySpellingFiles(configStep, configFiles, report);
        int i = 0;
        for (const QString& name : mobileSkippedPageFiles(m_plan.pageFolder))
            result.skipped << QStringLiteral("rtf/") + name;
        // What the last copy between the two folders carried tells a page changed on both
        // sides since from one changed on one side.
        const QString sourceFolder = QFileInfo(m_plan.settingsFile).absolutePath();
        MobileManifest sourceManifest = MobileManifest::read(sourceFolder);
        MobileManifest targetManifest = MobileManifest::read(target);
        const auto writeManifests = qScopeGuard([&] {
            sourceManifest.write(sourceFolder);
            targetManifest.write(target);
        });
        const auto stampOf = [](const QString& file) {
            bool read = false;
            const QByteArray bytes = fileBytes(file, &read);
            return read ? PageStamp::of(bytes, modifiedSeconds(file)) : PageStamp();
        };
        for (const QString& name : mobilePageFiles(m_plan.pageFolder)) {
            ++i;
            step(QStringLiteral("Notes: File %1 of %2").arg(i).arg(m_plan.notesCount));
            const QString sourcePage = m_plan.pageFolder + name;
            const QString targetPage = target + QStringLiteral("rtf/") + name;
            const PageStamp sourceStamp = stampOf(sourcePage);
            const PageSides sides = comparePageSides(
                sourceStamp, QFileInfo::exists(targetPage) ? stampOf(targetPage) : PageStamp(),
                sourceManifest.lastCopied(targetManifest.id(), name),
                targetManifest.lastCopied(sourceManifest.id(), name));
            copyKeepingVersion(sourcePage, targetPage, QStringLiteral("rtf/") + name, true, report,
                               result, sides == PageSides::BothSides);
            if (sourceStamp.isValid()) {
                sourceManifest.setLastCopied(targetManifest.id(), name, sourceStamp);
                targetManifest.setLastCopied(sourceManifest.id(), name, sourceStamp);
            }
        }
        // The help and the program last: a drive too small for them holds every page, and a
        // program folder cut short is completed by the next copy (it compares the files).
        if (m_plan.withShell && !m_stop) {
            // A drive too small for the rest stops here, before anything of it is written.
            checkRoom({{m_plan.helpFile, target + QStringLiteral("qly.chm")}},
                      QStringLiteral("The help"), QStringLiteral("The settings and pages were"));
            FileCopyOptions options = copyOptions();
            options.shownName = QStringLiteral("qly.chm");
            step(QStringLiteral("Shell: File 1 of 2"));
            copyFileWithProgress(m_plan.helpFile, target + QStringLiteral("qly.chm"),
                                 report.progress, options);
            step(QStringLiteral("Shell: File 2 of 2"));
            QList<std::pair<QString, QString>> program;
            const QString sourceDir =
                QFileInfo(m_plan.programFile).absolutePath() + QLatin1Char('/');
            for (const QString& file : runtimeFiles(sourceDir))
                program.append({sourceDir + file, target + file});
            program.append({m_plan.programFile, target + mobileProgramFileName()});
            checkRoom(program, QStringLiteral("The program"),
                      QStringLiteral("The settings, pages and help were"));
            copyProgram(report, result);
        }
        // The launcher last of all: once it is there, so is what it starts.
        if (m_plan.launcherScript && !m_stop) {
            const QString script = target + QStringLiteral("quillery.sh");
            if (const IoResult<FileIdentity> written =
                    writeFileAtomically(script, launcherScriptText());
                !written)
                throw Error(
                    QStringLiteral("Cannot create file %1: %2").arg(script, written.reason()));
        }
    } catch (const CopyStopped&) {
        result.stopped = true;
    }
    result.bothSidesKept.sort();
    result.newerPagesKept.sort();
    return result;
}

} // namespace qly
