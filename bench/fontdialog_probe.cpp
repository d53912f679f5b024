// Times the font dialog against Qt's QFontDialog: construct and show until the dialog has
// painted, the first time in the process and then again (the dialog kept, loaded with another
// font each time, as the main window does). Both kinds run in separate processes so that
// neither pays the other's first use of the font list; bench/fontdialog.sh alternates them.
// Usage: qly-fontdialog-probe ours|qt RUNS [SHOT.png]
// Prints "first <ms>", "again <median ms>" and "kib <KiB the process grew by the first open>"; with
// SHOT.png saves a picture of the dialog (ours also as SHOT-big.png, loaded with a large coloured
// font).
#include "editor/fontdialog.h"
#include "editor/richtextconvert.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDialog>
#include <QScreen>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The resident set of the process in KiB.
long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// Shows the dialog (modeless, as exec() would show it) and waits until it has painted.
double showAndWait(QDialog* dialog, PaintWatch& watch, const QElapsedTimer& clock) {
    watch.painted = false;
    dialog->show();
    while (!watch.painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return clock.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s ours|qt RUNS [SHOT.png]\n", argv[0]);
        return 2;
    }
    const bool ours = QByteArray(argv[1]) == "ours";
    const int runs = std::max(1, atoi(argv[2]));
    QWidget window;
    window.resize(300, 200);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    PaintWatch watch;
    QFont fonts[2] = {qly::editorDefaultFont(), QFont(QStringLiteral("DejaVu Serif"), 14)};

    const long residentBefore = residentKiB();
    QElapsedTimer clock;
    clock.start();
    QDialog* dialog = nullptr;
    qly::FontDialog* mine = nullptr;
    QFontDialog* theirs = nullptr;
    if (ours) {
        dialog = mine = new qly::FontDialog(&window);
        mine->setCurrentFont(fonts[0]);
    } else {
        dialog = theirs = new QFontDialog(&window);
        theirs->setOption(QFontDialog::DontUseNativeDialog);
        theirs->setCurrentFont(fonts[0]);
    }
    dialog->installEventFilter(&watch);
    const double first = showAndWait(dialog, watch, clock);
    const long grown = residentKiB() - residentBefore;
    if (argc > 3) {
        QTest::qWait(300);
        const QString shot = QString::fromLocal8Bit(argv[3]);
        dialog->grab().save(shot);
        if (mine) {
            // Large, styled and coloured: the sample clips, the dialog keeps its size.
            QFont big = fonts[0];
            big.setPointSize(72);
            big.setBold(true);
            big.setItalic(true);
            big.setUnderline(true);
            mine->setCurrentFont(big);
            mine->setCurrentColor(QColor(200, 30, 120));
            QTest::qWait(200);
            dialog->grab().save(
                QString(shot).replace(QLatin1String(".png"), QLatin1String("-big.png")));
        }
    }
    dialog->hide();

    std::vector<double> again;
    for (int i = 0; i < runs; ++i) {
        QCoreApplication::processEvents();
        clock.restart();
        const QFont& font = fonts[(i + 1) % 2];
        if (mine)
            mine->setCurrentFont(font);
        else
            theirs->setCurrentFont(font);
        again.push_back(showAndWait(dialog, watch, clock));
        dialog->hide();
    }
    std::sort(again.begin(), again.end());
    std::printf("first %.2f\nagain %.2f\nkib %ld\n", first, again[again.size() / 2], grown);
    return 0;
}
