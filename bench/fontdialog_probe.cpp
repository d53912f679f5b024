// Times the font dialog against Qt's QFontDialog: construct and show until the dialog has
// painted, the first time in the process and then again (the dialog kept, loaded with another
// font each time, as the main window does). Both kinds run in separate processes so that
// neither pays the other's first use of the font list; bench/fontdialog.sh alternates them.
// Usage: qly-fontdialog-probe ours|qt RUNS [SHOT.png]
// Prints "first <ms>" and "again <median ms>"; with SHOT.png saves a picture of the dialog.
#include "fontdialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontDialog>
#include <QScreen>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

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
    QFont fonts[2] = {QApplication::font(), QFont(QStringLiteral("DejaVu Serif"), 14)};

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
    if (argc > 3) {
        QTest::qWait(300);
        dialog->grab().save(QString::fromLocal8Bit(argv[3]));
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
    std::printf("first %.2f\nagain %.2f\n", first, again[again.size() / 2]);
    return 0;
}
