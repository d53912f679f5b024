#pragma once

#include "mobile/filecopy.h"
#include "spelling/carriedfiles.h"

#include <QString>
#include <QStringList>

#include <utility>

#include <atomic>
#include <functional>
#include <sys/types.h>

namespace qly {

// What one Go Mobile copy copies, and where.
struct MobileCopyPlan {
    QString settingsFile;
    QString programFile;
    QString helpFile;
    QString pageFolder; // ends with a separator
    QString targetDir;  // ends with a separator
    bool withShell = true;
    qint64 notesCount = 0;       // as measured when the dialog opened: the "of N" of the texts
    int versionsKept = 5;        // [Backup] Versions: how many earlier versions a file keeps
    bool launcherScript = false; // leave quillery.sh beside the program (a stick)
    QString sourceDrive;         // how messages name the drives ("NOTES2GO")
    QString targetDrive;
    QString targetMount; // the target drive's mount point; empty when it lies on none
    // Dictionaries in use and the personal word list, copied with the settings.
    QList<CarriedFile> spellingFiles;
};

struct MobileCopyReport {
    // Before each file: "Configuration: File 1 of 1", "Shell: File 1 of 2", "Notes: File 3 of 26".
    std::function<void(const QString& text)> step;
    CopyProgress progress;
};

struct MobileCopyResult {
    bool stopped = false;
    // The program went without a runtime folder (it had none: a build tree's program), so the
    // copy starts only where the system has Qt.
    bool programWithoutRuntime = false;
    // Pages at the target that had changed since they were last copied and were replaced:
    // each is the newest version in the target's backup folder. By letter.
    QStringList newerPagesKept;
    // Pages changed on both sides since the last copy between the two folders: the target's
    // text is kept as a conflict copy in its backup folder (never rotated away). By letter.
    QStringList bothSidesKept;
    // Entries of the page folder named like a page that are not regular files ("rtf/C.rtf"
    // a pipe): not copied.
    QStringList skipped;
};

// "Copy complete", with the newer pages that went to the backup folder when there are any, the
// entries not copied as they are not regular files, and a word when the program went without
// its runtime.
QString copyCompleteText(const MobileCopyResult& result);

// One copy, run on any thread. Before the copy replaces a page or the settings file at the
// target with different content, the file it replaces becomes the newest version in the
// target's backup folder ("backup/C.1.rtf", "backup/qly.ini.1"), as a page save keeps
// versions; a page changed on both sides since the last copy between the two folders (as
// their MobileManifest records tell) is kept as a conflict copy instead. While it runs,
// stopMobileCopy() can end it between two blocks.
class MobileCopy {
public:
    // Registers the copy at once, so a stop asked before it runs is not missed.
    explicit MobileCopy(MobileCopyPlan plan);
    ~MobileCopy();
    MobileCopy(const MobileCopy&) = delete;
    MobileCopy& operator=(const MobileCopy&) = delete;

    // Raises qly::Error as copyFileWithProgress does; a stop returns with stopped set.
    MobileCopyResult run(const MobileCopyReport& report);
    void requestStop() { m_stop = true; }
    bool stopRequested() const { return m_stop; }

private:
    // asConflict: the file at the target is kept as a conflict copy, not as a version.
    void copyKeepingVersion(const QString& source, const QString& target, const QString& shownName,
                            bool page, const MobileCopyReport& report, MobileCopyResult& result,
                            bool asConflict = false);
    MobileCopyResult copyAll(const MobileCopyReport& report);
    void copySpellingFiles(int& step, int steps, const MobileCopyReport& report);
    void copyProgram(const MobileCopyReport& report, MobileCopyResult& result);
    FileCopyOptions copyOptions() const;
    void finished();
    // The target's drive is gone (pulled, unmounted) since the copy began.
    bool targetGone() const;
    // Raises an Error naming what was copied (copied) and what does not fit (what) when the
    // files (source, target) do not fit on the target.
    void checkRoom(const QList<std::pair<QString, QString>>& files, const QString& what,
                   const QString& copied) const;
    QString targetName() const;

    MobileCopyPlan m_plan;
    std::atomic<bool> m_stop{false};
    bool m_registered = false;
    dev_t m_targetDevice = 0;
};

// Asks a copy that runs in this process to stop and waits until it has (one block at most):
// the session save and the shut-down must not write while a copy reads the same files.
void stopMobileCopy();

} // namespace qly
