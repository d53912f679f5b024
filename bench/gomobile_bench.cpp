// Go Mobile's copy throughput: the dialog's Copy (128 KiB blocks on its own thread, the progress
// bar updated per block, each file flushed and renamed into place) against `cp -a` of the same
// files, alternating in one run. The target is a tmpfs folder described to the dialog as a stick.
// Usage: qly-gomobile-bench SOURCE_PROGRAM_DIR TMPFS_FOLDER [ROUNDS]
#include "mobile/mobileform.h"
#include "settings/programpaths.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QToolButton>

#include <algorithm>
#include <cstdio>

using namespace qly;

namespace {

double median(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

qint64 folderBytes(const QString& dir) {
    qint64 total = 0;
    for (const QFileInfo& f : QDir(dir).entryInfoList(QDir::Files))
        total += f.size();
    for (const QFileInfo& f : QDir(dir + "/rtf").entryInfoList(QDir::Files))
        total += f.size();
    return total;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SOURCE_PROGRAM_DIR TMPFS_FOLDER [ROUNDS]\n", argv[0]);
        return 2;
    }
    const QString source = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString tmpfs = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;

    // The source on a fixed disk, the target folder as a USB stick.
    QTemporaryDir fixture;
    const QString sys = fixture.path() + "/sys";
    QDir().mkpath(sys + "/devices/ata1/block/sda/sda1");
    QDir().mkpath(sys + "/devices/usb1/1-1/block/sdb/sdb1");
    QDir().mkpath(sys + "/dev/block");
    QFile::link(sys + "/devices/ata1/block/sda/sda1", sys + "/dev/block/8:1");
    QFile::link(sys + "/devices/usb1/1-1/block/sdb/sdb1", sys + "/dev/block/8:17");
    QFile table(fixture.path() + "/mountinfo");
    if (!table.open(QIODevice::WriteOnly))
        return 1;
    table.write("1 0 8:1 / " + QFile::encodeName(source) + " rw - ext4 /dev/sda1 rw\n");
    table.write("2 0 8:17 / " + QFile::encodeName(tmpfs) + " rw - vfat /dev/sdb1 rw\n");
    table.close();
    MobileForm::setDriveScanRootsForTesting({table.fileName(), sys});
    setProgramPathForTesting(source + "/qly");

    const double mb = folderBytes(source) / 1048576.0;
    QList<double> ours, cp;
    for (int round = 0; round < rounds; ++round) {
        QDir(tmpfs + "/Quillery").removeRecursively();
        QDir(tmpfs + "/cp").removeRecursively();
        {
            MobileForm form;
            form.show();
            QElapsedTimer t;
            t.start();
            QEventLoop wait;
            QObject::connect(&form, &MobileForm::copyFinished, &wait, &QEventLoop::quit);
            form.bbCopyClick();
            if (form.copying())
                wait.exec();
            ours << t.nsecsElapsed() / 1e9;
        }
        QElapsedTimer t;
        t.start();
        QProcess::execute("cp", {"-a", source, tmpfs + "/cp"});
        cp << t.nsecsElapsed() / 1e9;
        std::printf("round %d: Go Mobile %.3f s, cp -a %.3f s\n", round + 1, ours.last(),
                    cp.last());
    }
    QDir(tmpfs + "/Quillery").removeRecursively();
    QDir(tmpfs + "/cp").removeRecursively();
    const double o = median(ours), c = median(cp);
    std::printf("%.1f MB; median Go Mobile %.3f s (%.0f MB/s), cp -a %.3f s (%.0f MB/s); "
                "throughput ratio %.2f\n",
                mb, o, mb / o, c, mb / c, c / o);
    return 0;
}
