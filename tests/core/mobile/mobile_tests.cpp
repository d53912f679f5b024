// Go Mobile without a window: size texts, the drive scan, targets and the file copy.
#include "mobile/drives.h"
#include "mobile/filecopy.h"
#include "mobile/launcher.h"
#include "mobile/mobilecopy.h"
#include "mobile/mobilemanifest.h"
#include "mobile/mobilesizes.h"
#include "mobile/runtime.h"
#include "mobile/targetcheck.h"
#include "pages/pageversions.h"
#include "settings/error.h"
#include "support/tempdir.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

using namespace qly;
using qlytest::TempDir;

namespace {

QString errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.message();
    }
    return {};
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

TEST(MobileSizeText, ShortAndLongFormsInEnglish) {
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const std::pair<double, const char*> table[] = {{0, "0.00 Kb"},
                                                    {512, "0.50 Kb"},
                                                    {1000, "0.98 Kb"},
                                                    {1023, "1.00 Kb"},
                                                    {1024, "1 Kb"},
                                                    {1535, "1 Kb"},
                                                    {1536, "2 Kb"},
                                                    {2560, "3 Kb"},
                                                    {1048575, "1,024 Kb"},
                                                    {1048576, "1.00 Mb"},
                                                    {1073741823, "1,024.00 Mb"},
                                                    {1073741824, "1.00 Gb"},
                                                    {5000000000.0, "4.66 Gb"}};
    for (const auto& [bytes, text] : table)
        EXPECT_EQ(formatSizeShort(bytes, en), QLatin1String(text)) << qint64(bytes);
    EXPECT_EQ(formatSizeLong(0, en), QLatin1String("0 bytes"));
    EXPECT_EQ(formatSizeLong(1234567, en), QLatin1String("1,234,567 bytes"));
    // Beyond 32 bits, and a half at the last shown digit.
    EXPECT_EQ(formatSizeLong(1e15, en), QLatin1String("1,000,000,000,000,000 bytes"));
    EXPECT_EQ(formatSizeShort(1.005 * 1073741824.0 + 1, en), QLatin1String("1.01 Gb"));
}

TEST(MobileSizeText, UsesTheLocaleSeparators) {
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(formatSizeShort(1048575, de), QString::fromUtf8("1.024 Kb"));
    EXPECT_EQ(formatSizeShort(1073741823, de), QString::fromUtf8("1.024,00 Mb"));
    EXPECT_EQ(formatSizeLong(1234567, de), QString::fromUtf8("1.234.567 bytes"));
}

// A machine's drives described by fixture files: a mount table and a device tree.
class DriveScan : public ::testing::Test {
protected:
    void SetUp() override {
        // Block devices: a SATA disk, a USB stick, an SD card, an optical drive.
        device("8:1", "devices/pci0000:00/ata1/host0/block/sda/sda1", "0");
        device("8:17", "devices/pci0000:00/usb1/1-1/host6/block/sdb/sdb1", "0");
        device("179:1", "devices/platform/soc/mmc_host/mmc0/mmc0:aaaa/block/mmcblk0/mmcblk0p1",
               "0");
        device("11:0", "devices/pci0000:00/ata2/host1/block/sr0", "1", false);
        m_dir.write("mountinfo",
                    "22 1 0:21 / /proc rw - proc proc rw\n"
                    "27 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
                    "28 27 8:17 / /media/u/STICK rw - vfat /dev/sdb1 rw\n"
                    "29 27 179:1 / /mnt/sd rw - exfat /dev/mmcblk0p1 rw\n"
                    "30 27 8:1 /srv/data /home/u/data rw - ext4 /dev/sda1 rw\n"
                    "31 27 0:50 / /var/lib/c/merged rw - overlay overlay rw,lowerdir=/a\n"
                    "32 27 0:40 /@home /home rw - btrfs /dev/sda2 rw,subvol=/@home\n"
                    "33 27 0:60 / /tank rw - zfs tank rw\n"
                    "34 27 0:55 / /net/share rw - nfs4 srv:/share rw\n"
                    "35 27 0:23 / /tmp rw - tmpfs tmpfs rw\n"
                    "36 27 11:0 / /media/u/DVD ro - udf /dev/sr0 ro\n"
                    "37 27 8:1 / /mnt/twice rw - ext4 /dev/sda1 rw\n"
                    "38 37 0:70 / /mnt/twice rw - tmpfs tmpfs rw\n"
                    "39 27 0:71 / /run/media/u/My\\040Card rw - tmpfs tmpfs rw\n"
                    "40 27 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n");
        m_drives = scanDrives({m_dir.path("mountinfo"), m_dir.path("sys")});
    }
    void device(const char* majorMinor, const QString& path, const char* removable,
                bool partition = true) {
        const QString full = m_dir.path("sys/" + path);
        QDir().mkpath(full);
        const QString disk = partition ? QFileInfo(full).absolutePath() : full;
        m_dir.write(QDir(m_dir.path()).relativeFilePath(disk) + "/removable", removable);
        if (partition)
            m_dir.write("sys/" + path + "/partition", "1");
        QDir().mkpath(m_dir.path("sys/dev/block"));
        QFile::link(full, m_dir.path("sys/dev/block/") + majorMinor);
    }
    DriveKind kindAt(const QString& mountPoint) const {
        for (const Drive& d : m_drives) {
            if (d.mountPoint == mountPoint)
                return d.kind;
        }
        return DriveKind::Unknown;
    }
    TempDir m_dir;
    QList<Drive> m_drives;
};

TEST_F(DriveScan, TellsTheKindsApart) {
    EXPECT_EQ(kindAt("/"), DriveKind::Fixed);
    EXPECT_EQ(kindAt("/media/u/STICK"), DriveKind::Removable);
    EXPECT_EQ(kindAt("/mnt/sd"), DriveKind::Removable);
    EXPECT_EQ(kindAt("/run/media/u/My Card"), DriveKind::Removable);
    EXPECT_EQ(kindAt("/var/lib/c/merged"), DriveKind::Fixed);
    EXPECT_EQ(kindAt("/home"), DriveKind::Fixed);
    EXPECT_EQ(kindAt("/tank"), DriveKind::Fixed);
    EXPECT_EQ(kindAt("/net/share"), DriveKind::Remote);
    EXPECT_EQ(kindAt("/tmp"), DriveKind::RamDisk);
    EXPECT_EQ(kindAt("/media/u/DVD"), DriveKind::CdRom);
    EXPECT_EQ(kindAt("/mnt/twice"), DriveKind::RamDisk) << "the topmost mount wins";
    QStringList points;
    for (const Drive& d : m_drives)
        points << d.mountPoint;
    EXPECT_FALSE(points.contains("/proc"));
    EXPECT_FALSE(points.contains("/home/u/data")) << "a bind mount of a folder is no drive";
    EXPECT_FALSE(points.contains("/snap/core/1"));
    EXPECT_EQ(points.count("/mnt/twice"), 1);
}

TEST_F(DriveScan, FindsTheDriveOfAPathAndRewritesTargets) {
    const Drive* d = driveOfPath(m_drives, "/home/u/data/Quillery/qly");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->mountPoint, "/home") << "the bind mount is not a drive; its parent is";
    EXPECT_EQ(driveOfPath(m_drives, "/media/u/STICKY/x")->mountPoint, "/");
    EXPECT_EQ(driveOfPath({}, "/x"), nullptr);
    EXPECT_EQ(retargetPath("Quillery/", "", "/media/u/STICK"), "/media/u/STICK/Quillery/");
    EXPECT_EQ(retargetPath("/media/u/STICK/Quillery/", "/media/u/STICK", "/mnt/sd"),
              "/mnt/sd/Quillery/");
    EXPECT_EQ(retargetPath("/home/u/Quillery/", "/", "/home"), "/home/home/u/Quillery/");
}

TEST(MobileTargets, MeasuresTheInstallation) {
    TempDir dir;
    QDir().mkpath(dir.path("rtf/folder.rtf"));
    dir.write("rtf/A.rtf", QByteArray(100, 'a'));
    dir.write("rtf/b.RTF", QByteArray(23, 'b'));
    dir.write("rtf/notes.txt", QByteArray(1000, 'c'));
    dir.write("qly", QByteArray(5000, 'x'));
    const MobileSource source{
        dir.path("qly"), dir.path("qly.ini"), dir.path("qly.chm"), dir.path("rtf/"), {}};
    MobileSizes sizes = measureMobileSizes(source);
    EXPECT_EQ(sizes.NotesCount, 2);
    EXPECT_EQ(sizes.NotesSize, 123);
    EXPECT_EQ(sizes.ConfigSize, 0);
    EXPECT_EQ(sizes.ShellSize, 5000) << "no help file: the program alone";
    dir.write("qly.ini", QByteArray(7, 'i'));
    dir.write("qly.chm", QByteArray(900, 'h'));
    sizes = measureMobileSizes(source);
    EXPECT_EQ(sizes.totalSize(true, true), 123 + 7 + 5900);
    EXPECT_EQ(sizes.totalSize(true, false), 130);
    // The runtime travels with the program: it counts with it.
    QDir().mkpath(dir.path("lib/plugins/platforms"));
    dir.write("lib/libQt6Core.so.6", QByteArray(40, 'q'));
    dir.write("lib/plugins/platforms/libqxcb.so", QByteArray(2, 'p'));
    EXPECT_EQ(runtimeFiles(dir.path()),
              (QStringList{"lib/libQt6Core.so.6", "lib/plugins/platforms/libqxcb.so"}));
    EXPECT_EQ(measureMobileSizes(source).ShellSize, 5900 + 42);
}

TEST(MobileTargets, DefaultHomeFolder) {
    TempDir home;
    home.write("qly.ini", "");
    EXPECT_EQ(defaultHomeTarget(home.path("qly.ini"), home.path()), home.path("Quillery/"));
    QDir().mkpath(home.path("Applications"));
    EXPECT_EQ(defaultHomeTarget(home.path("qly.ini"), home.path()),
              home.path("Applications/Quillery/"));
    home.write("qly.ini", "[CurrentState]\nHomeDir=/data/apps/Quillery\n");
    EXPECT_EQ(defaultHomeTarget(home.path("qly.ini"), home.path()), "/data/apps/Quillery/");
    EXPECT_EQ(targetInPickedFolder("/"), "/Quillery/");
    EXPECT_EQ(targetInPickedFolder("/data/Quillery"), "/data/Quillery/Quillery/");
}

TEST(MobileTargets, SpaceAndProgramDecideTheCopy) {
    MobileSizes sizes;
    sizes.NotesSize = 3'000'000'000; // beyond 32 bits
    sizes.ConfigSize = 100;
    sizes.ShellSize = 5000;
    const qint64 total = sizes.totalSize(true, true);
    TargetState t = evaluateTarget(sizes, true, false, true, {total * 2, total});
    EXPECT_TRUE(t.copyEnabled) << "free space equal to the total is enough";
    EXPECT_EQ(t.status, "Press copy to start");
    t = evaluateTarget(sizes, true, false, true, {total * 2, total - 1});
    EXPECT_FALSE(t.copyEnabled);
    EXPECT_EQ(t.status, "Not enough free space on target drive");
    t = evaluateTarget(sizes, true, true, true, {total * 2, total - 5000});
    EXPECT_FALSE(t.shellNeeded) << "the target holds the program";
    EXPECT_EQ(t.total, total - 5000);
    EXPECT_TRUE(t.copyEnabled);
    t = evaluateTarget(sizes, true, false, false, {});
    EXPECT_EQ(t.status, "Drive not ready");
    EXPECT_FALSE(t.copyEnabled);
    EXPECT_EQ(mobileDirection(DriveKind::Fixed), MobileDirection::ToRemovable);
    EXPECT_EQ(mobileDirection(DriveKind::Removable), MobileDirection::Home);
    EXPECT_EQ(mobileDirection(DriveKind::RamDisk), MobileDirection::None);
    EXPECT_TRUE(isDriveReady(QDir::tempPath()));
    EXPECT_FALSE(isDriveReady("/no/such/mount"));
    EXPECT_GT(driveSpace(QDir::tempPath()).capacity, 0);
}

TEST(MobileCopy, CopiesInBlocksAndKeepsTimeAndMode) {
    TempDir dir;
    const mode_t savedMask = ::umask(022);
    constexpr qint64 B = CopyBlockSize;
    QByteArray data(3 * B + 5, Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    dir.write("src", data);
    QFile::setPermissions(dir.path("src"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const struct timespec times[2] = {{1600000000, 123456789}, {1500000000, 987654321}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(dir.path("src")), times, 0), 0);
    dir.write("out/old", "old");

    QList<qint64> seen;
    copyFileWithProgress(dir.path("src"), dir.path("out/sub/copy"), [&](qint64 done, qint64 size) {
        EXPECT_EQ(size, data.size());
        seen << done;
    });
    EXPECT_EQ(seen, (QList<qint64>{0, B, 2 * B, 3 * B, data.size(), 0}));
    EXPECT_EQ(dir.read("out/sub/copy"), data);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(dir.path("out/sub/copy")), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1500000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 987654321);
    EXPECT_EQ(st.st_mode & 0777, 0644u)
        << "a page or the settings: the user's mode, not the source's";
    EXPECT_EQ(entriesOf(dir.path("out/sub")), QStringList{"copy"});
    FileCopyOptions program;
    program.executable = true;
    copyFileWithProgress(dir.path("src"), dir.path("out/qly"), {}, program);
    ASSERT_EQ(::stat(QFile::encodeName(dir.path("out/qly")), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    ::umask(savedMask);

    // An empty file: one short block.
    dir.write("empty", "");
    seen.clear();
    copyFileWithProgress(dir.path("empty"), dir.path("out/sub/copy"),
                         [&](qint64 done, qint64) { seen << done; });
    EXPECT_EQ(seen, (QList<qint64>{0, 0, 0}));
    EXPECT_EQ(QFileInfo(dir.path("out/sub/copy")).size(), 0);
}

TEST(MobileCopy, FailuresLeaveTheTargetAsItWas) {
    TempDir dir;
    dir.write("src", QByteArray(100000, 's'));
    dir.write("target", "old page");
    EXPECT_EQ(errorOf([&] { copyFileWithProgress(dir.path("none"), dir.path("target")); }),
              "Cannot open file " + dir.path("none") + ": No such file or directory");

    QFile::setPermissions(dir.path("target"), QFile::ReadOwner | QFile::ReadOther);
    EXPECT_EQ(errorOf([&] { copyFileWithProgress(dir.path("src"), dir.path("target")); }),
              "Cannot create file " + dir.path("target") + ": Permission denied");
    QFile::setPermissions(dir.path("target"), QFile::ReadOwner | QFile::WriteOwner);

    // A full disk: the file size limit makes writes fail past 20000 bytes.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 20000;
    ::setrlimit(RLIMIT_FSIZE, &small);
    qint64 last = -1;
    FileCopyOptions names;
    names.shownName = "rtf/C.rtf";
    names.targetDrive = "NOTES2GO";
    const QString error = errorOf([&] {
        copyFileWithProgress(
            dir.path("src"), dir.path("target"), [&](qint64 done, qint64) { last = done; }, names);
    });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(error, "Stream write error on NOTES2GO while writing rtf/C.rtf: File too large");
    EXPECT_EQ(last, 0) << "the bar is reset after a failure";
    EXPECT_EQ(dir.read("target"), "old page");
    EXPECT_EQ(entriesOf(dir.path()), (QStringList{"src", "target"})) << "no temporary file left";
}

namespace {

// Two Quillery folders, "home" and "stick", and copies between them.
class MobileCopyBetween : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(m_dir.path("home/rtf"));
        m_dir.write("home/qly", "program");
        QDir().mkpath(m_dir.path("home/lib/plugins/platforms"));
        m_dir.write("home/lib/libQt6Core.so.6", "qt");
        m_dir.write("home/lib/plugins/platforms/libqxcb.so", "xcb");
        m_dir.write("home/qly.chm", "help");
        m_dir.write("home/qly.ini", "[Main]\n");
        for (const char* page : {"A", "B", "C", "D"})
            writePage("home", page, QByteArray("{\\rtf1 home ") + page + "}");
    }
    // Written an hour ago: edits made now are newer, as they are on a real day.
    void writePage(const char* folder, const char* letter, const QByteArray& text) {
        const QString path = m_dir.path(QString("%1/rtf/%2.rtf").arg(folder, letter));
        m_dir.write(QString("%1/rtf/%2.rtf").arg(folder, letter), text);
        const struct timespec times[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
        ::utimensat(AT_FDCWD, QFile::encodeName(path), times, 0);
    }
    MobileCopyPlan plan(const char* from, const char* to) {
        MobileCopyPlan p;
        p.settingsFile = m_dir.path(QString(from) + "/qly.ini");
        p.programFile = m_dir.path(QString(from) + "/qly");
        p.helpFile = m_dir.path(QString(from) + "/qly.chm");
        p.pageFolder = m_dir.path(QString(from) + "/rtf/");
        p.targetDir = m_dir.path(QString(to) + "/");
        p.notesCount = 4;
        return p;
    }
    MobileCopyResult copy(const char* from, const char* to) {
        MobileCopy job(plan(from, to));
        return job.run({});
    }
    TempDir m_dir;
};

} // namespace

TEST_F(MobileCopyBetween, ReplacedFilesAreKeptAndNewerPagesNamed) {
    EXPECT_EQ(copyCompleteText(copy("home", "stick")), "Copy complete");
    EXPECT_FALSE(QFileInfo::exists(m_dir.path("stick/backup"))) << "a first copy replaces nothing";
    // D changes at home, C on the road; then the stick comes home.
    m_dir.write("home/rtf/D.rtf", "{\\rtf1 home D, written at home}");
    m_dir.write("stick/rtf/C.rtf", "{\\rtf1 home C, written on the road}");
    m_dir.write("stick/qly.ini", "[Main]\nStayOnTop=0\n");
    MobileCopyResult back = copy("stick", "home");
    EXPECT_EQ(back.newerPagesKept, QStringList{"D"});
    EXPECT_EQ(copyCompleteText(back), "Copy complete. 1 newer page kept in backup: D");
    EXPECT_EQ(m_dir.read("home/backup/D.1.rtf"), "{\\rtf1 home D, written at home}");
    EXPECT_EQ(m_dir.read("home/backup/C.1.rtf"), "{\\rtf1 home C}") << "replaced, not newer";
    EXPECT_EQ(m_dir.read("home/rtf/C.rtf"), "{\\rtf1 home C, written on the road}");
    EXPECT_EQ(m_dir.read("home/backup/qly.ini.1"), "[Main]\n");
    EXPECT_EQ(entriesOf(m_dir.path("home/backup")),
              (QStringList{"C.1.rtf", "D.1.rtf", "qly.ini.1"}))
        << "unchanged files add no version";

    // The other way: pages changed on the stick are kept there when home goes out again.
    m_dir.write("stick/rtf/A.rtf", "{\\rtf1 A on the road}");
    m_dir.write("stick/rtf/B.rtf", "{\\rtf1 B on the road}");
    const MobileCopyResult out = copy("home", "stick");
    EXPECT_EQ(copyCompleteText(out), "Copy complete. 2 newer pages kept in backup: A, B");
    EXPECT_EQ(m_dir.read("stick/backup/B.1.rtf"), "{\\rtf1 B on the road}");
}

TEST_F(MobileCopyBetween, APipeNamedLikeAPageIsSkippedAndNamed) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(m_dir.path("home/rtf/E.rtf")).constData(), 0600), 0);
    EXPECT_EQ(mobilePageFiles(m_dir.path("home/rtf/")).size(), 4);
    const MobileCopyResult result = copy("home", "stick");
    EXPECT_EQ(result.skipped, QStringList{"rtf/E.rtf"});
    EXPECT_EQ(copyCompleteText(result),
              "Copy complete. 1 file not copied (not a regular file): rtf/E.rtf");
    MobileCopyResult two;
    two.skipped = QStringList{"rtf/C.rtf", "rtf/E.rtf"};
    EXPECT_EQ(copyCompleteText(two),
              "Copy complete. 2 files not copied (not regular files): rtf/C.rtf, rtf/E.rtf");
    EXPECT_FALSE(QFileInfo::exists(m_dir.path("stick/rtf/E.rtf")));
    EXPECT_EQ(m_dir.read("stick/rtf/D.rtf"), "{\\rtf1 home D}");
    // Asked to copy it all the same (it became a pipe after the folder was listed).
    try {
        copyFileWithProgress(m_dir.path("home/rtf/E.rtf"), m_dir.path("stick/rtf/E.rtf"));
        FAIL() << "a pipe was copied";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Cannot open file " + m_dir.path("home/rtf/E.rtf") +
                                   ": It is not a regular file");
    }
}

TEST_F(MobileCopyBetween, TheProgramTravelsWithItsRuntime) {
    MobileCopyReport report;
    QStringList steps;
    qint64 lastDone = -1, lastSize = 0;
    report.step = [&](const QString& text) {
        if (text.startsWith("Shell"))
            steps << text;
    };
    report.progress = [&](qint64 done, qint64 size) {
        if (steps.size() == 2 && done > 0) {
            EXPECT_GT(done, lastDone) << "one bar over the program and its runtime";
            lastDone = done;
            lastSize = size;
        }
    };
    MobileCopy(plan("home", "stick")).run(report);
    EXPECT_EQ(steps, (QStringList{"Shell: File 1 of 2", "Shell: File 2 of 2"}));
    EXPECT_EQ(lastDone, lastSize) << "program (7) + runtime (2 + 3)";
    EXPECT_EQ(lastSize, 12);
    EXPECT_EQ(m_dir.read("stick/lib/plugins/platforms/libqxcb.so"), "xcb");
    EXPECT_EQ(m_dir.read("stick/lib/libQt6Core.so.6"), "qt");
    EXPECT_TRUE(QFileInfo(m_dir.path("stick/lib/libQt6Core.so.6")).isExecutable());

    // A program without a runtime (a build tree's) goes alone, and the status says so.
    QDir(m_dir.path("home/lib")).removeRecursively();
    const MobileCopyResult alone = copy("home", "stick2");
    EXPECT_TRUE(alone.programWithoutRuntime);
    EXPECT_FALSE(QFileInfo::exists(m_dir.path("stick2/lib")));
    EXPECT_EQ(m_dir.read("stick2/qly"), "program");
    EXPECT_EQ(copyCompleteText(alone),
              "Copy complete. The program had no runtime folder: the copy needs Qt 6 installed");
}

TEST_F(MobileCopyBetween, StopEndsTheCopyBetweenBlocks) {
    m_dir.write("home/rtf/A.rtf", QByteArray(4 * CopyBlockSize, 'a'));
    MobileCopy job(plan("home", "stick"));
    std::thread stopper;
    MobileCopyReport report;
    report.progress = [&](qint64 done, qint64) {
        if (done < CopyBlockSize || stopper.joinable())
            return;
        stopper = std::thread([] { stopMobileCopy(); });
        while (!job.stopRequested())
            std::this_thread::yield();
    };
    const MobileCopyResult result = job.run(report);
    stopper.join();
    EXPECT_TRUE(result.stopped);
    const QStringList pages = entriesOf(m_dir.path("stick/rtf"));
    EXPECT_FALSE(pages.contains("A.rtf"));
    EXPECT_TRUE(pages.filter(".qly-copy").isEmpty()) << "no partial file";
    stopMobileCopy(); // with no copy running it returns at once
}

// Needs a display and gtk-launch: run by tests/x11/gomobile_test.sh.
TEST(MobileCopy, DesktopLauncherStartsFromAnOddHomeFolder) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") ||
        QStandardPaths::findExecutable("gtk-launch").isEmpty())
        GTEST_SKIP() << "needs an X display and gtk-launch";
    TempDir dir;
    const QString home = dir.path("50% off, it's Ünïcode $HOME `x` \\ dir/Quillery");
    QDir().mkpath(home);
    dir.write("50% off, it's Ünïcode $HOME `x` \\ dir/Quillery/qly",
              "#!/bin/sh\n[ \"$(pwd)\" = \"$(dirname \"$0\")\" ] && touch \"$0.started\"\n");
    QFile::setPermissions(home + "/qly", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir().mkpath(dir.path("data/applications"));
    writeDesktopLauncher(dir.path("data/applications"), home + "/qly", "quillery");
    QProcess launch;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", dir.path("data"));
    launch.setProcessEnvironment(env);
    launch.start("gtk-launch", {"Quillery"});
    ASSERT_TRUE(launch.waitForFinished(10000));
    EXPECT_EQ(launch.exitCode(), 0) << launch.readAllStandardError().constData();
    QDeadlineTimer deadline(10000);
    while (!QFileInfo::exists(home + "/qly.started") && !deadline.hasExpired())
        QThread::msleep(20);
    EXPECT_TRUE(QFileInfo::exists(home + "/qly.started")) << "started in its folder";
}

TEST(MobileCopy, DesktopLauncherQuotesThePath) {
    const QString text = desktopLauncherText("/media/u/My Stick/50% $off\\/qly", "quillery");
    EXPECT_TRUE(text.contains("\nExec=env \"/media/u/My Stick/50%% \\\\$off\\\\\\\\/qly\"\n"))
        << qPrintable(text);
    EXPECT_TRUE(text.contains("\nPath=/media/u/My Stick/50% $off\\\\\n"));
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\nType=Application\n"));
}

TEST_F(MobileCopyBetween, APageChangedOnBothSidesIsKeptAsAConflictCopyEitherWay) {
    const auto conflictsIn = [this](const char* folder) {
        return QDir(m_dir.path(QString(folder) + "/backup"))
            .entryList({"*.conflict-*.rtf"}, QDir::Files, QDir::Name);
    };
    copy("home", "stick");
    // D changes on both sides, B on the stick only; then the stick comes home.
    writePage("home", "D", "{\\rtf1 D at home}");
    writePage("stick", "D", "{\\rtf1 D on the road}");
    writePage("stick", "B", "{\\rtf1 B on the road}");
    const MobileCopyResult back = copy("stick", "home");
    EXPECT_EQ(back.bothSidesKept, QStringList{"D"});
    EXPECT_EQ(copyCompleteText(back), "Copy complete. Changed on both sides: D, kept in history");
    ASSERT_EQ(conflictsIn("home").size(), 1);
    EXPECT_EQ(m_dir.read("home/backup/" + conflictsIn("home")[0]), "{\\rtf1 D at home}");
    EXPECT_FALSE(QFileInfo::exists(m_dir.path("home/backup/D.1.rtf"))) << "not a version";
    EXPECT_EQ(m_dir.read("home/rtf/D.rtf"), "{\\rtf1 D on the road}");
    EXPECT_EQ(m_dir.read("home/rtf/B.rtf"), "{\\rtf1 B on the road}");

    // Ten saves of D with five versions kept leave the conflict copy alone.
    const PageVersions versions(m_dir.path("home/backup/"), 5);
    for (int i = 0; i < 10; ++i) {
        const QString held = versions.hold(m_dir.path("home/rtf/D.rtf"), QByteArray::number(i));
        m_dir.write("home/rtf/D.rtf", QByteArray::number(i));
        versions.keep(held, m_dir.path("home/rtf/D.rtf"));
    }
    EXPECT_EQ(conflictsIn("home").size(), 1);

    // The other way: C changed on both sides is kept on the stick; a page changed at home
    // only is not a conflict.
    writePage("home", "C", "{\\rtf1 C at home}");
    writePage("stick", "C", "{\\rtf1 C on the road}");
    writePage("home", "A", "{\\rtf1 A at home}");
    const MobileCopyResult out = copy("home", "stick");
    EXPECT_EQ(out.bothSidesKept, QStringList{"C"});
    ASSERT_EQ(conflictsIn("stick").size(), 1);
    EXPECT_EQ(m_dir.read("stick/backup/" + conflictsIn("stick")[0]), "{\\rtf1 C on the road}");
    // Copied back and forth unchanged, nothing is a conflict any more.
    EXPECT_TRUE(copy("stick", "home").bothSidesKept.isEmpty());
}

TEST(MobileManifest, RecordsSurviveAWriteAndBadLinesAreSkipped) {
    TempDir dir;
    MobileManifest m = MobileManifest::read(dir.path());
    const PageStamp stamp = PageStamp::of("{\\rtf1 x}", 1700000000);
    m.setLastCopied("other", "C.rtf", stamp);
    ASSERT_TRUE(m.write(dir.path()));
    const MobileManifest back = MobileManifest::read(dir.path());
    EXPECT_EQ(back.id(), m.id());
    EXPECT_TRUE(back.lastCopied("other", "C.rtf").sameContent(stamp));
    EXPECT_FALSE(back.lastCopied("other", "D.rtf").isValid());
    dir.write("mobile-copies.txt", "junk\nother C.rtf x 1 2\nother D.rtf 3 4 ff\n");
    const MobileManifest hand = MobileManifest::read(dir.path());
    EXPECT_FALSE(hand.id().isEmpty());
    EXPECT_FALSE(hand.lastCopied("other", "C.rtf").isValid());
    EXPECT_EQ(hand.lastCopied("other", "D.rtf").hash, 0xffu);
}

TEST_F(MobileCopyBetween, ACopyCutShortIsCompletedAndItsLeftoversGo) {
    copy("home", "stick");
    const QString home = m_dir.path("home/"), stick = m_dir.path("stick/");
    EXPECT_TRUE(programCopyComplete(home, home + "qly", home + "qly.chm", stick));
    // A stick pulled in the runtime: a file cut short, and the copy's temporary file left.
    m_dir.write("stick/lib/libQt6Core.so.6", "q");
    m_dir.write("stick/lib/plugins/platforms/.qly-copy-x1", "partial");
    m_dir.write("stick/rtf/.qly-copy-x2", "partial");
    EXPECT_FALSE(programCopyComplete(home, home + "qly", home + "qly.chm", stick));
    EXPECT_EQ(removeCopyLeftovers(stick), 2);
    EXPECT_TRUE(entriesOf(m_dir.path("stick/lib/plugins/platforms")) == QStringList{"libqxcb.so"});
    copy("home", "stick");
    EXPECT_EQ(m_dir.read("stick/lib/libQt6Core.so.6"), "qt");
    EXPECT_TRUE(programCopyComplete(home, home + "qly", home + "qly.chm", stick));
    // A folder not made yet is judged by the one that would hold it.
    EXPECT_EQ(targetWriteProblem(m_dir.path("stick/not/yet")), QString());
}
