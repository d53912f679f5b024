// Times Quillery's main window in-process with large pages, each case side by side with what
// Qt's own QTextEdit takes for the same work, interleaved in one run. Prints one line per case:
//   switch <ms Quillery> <ms Qt>   Next to the next page painted, against setPlainText of that
//                                  page's text plus the save of the page left, painted
//   type <ms>                      a key pressed at the end of the page to the page repainted
//   freeze <what> <ms>             the longest the event loop stood still while the page
//                                  opened and settled, scrolled to its end, and was saved
// Usage: qly-largepage-probe DIR switch|type|big RUNS
// DIR holds rtf/A.rtf and rtf/B.rtf (for "big" only A); the window runs as if the program
// lay in DIR, so it writes its settings and pages there.
#include "mainform.h"
#include "pagestore.h"
#include "programpaths.h"
#include "richtextconvert.h"
#include "rtf/rtf.h"
#include "titlebar.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

using namespace qly;

namespace {

// Waits until the widget's viewport has painted, returns the milliseconds since `since`.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* viewport) { viewport->installEventFilter(this); }
    void reset() { m_painted = false; }
    double waitSince(const QElapsedTimer& since) {
        while (!m_painted && since.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
                                            50);
        m_painted = false;
        return since.nsecsElapsed() / 1e6;
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            m_painted = true;
        return false;
    }

private:
    bool m_painted = false;
};

// The longest time the event loop stood still while `work` ran and events were processed.
class FreezeMeter : public QObject {
public:
    FreezeMeter() {
        m_tick.setInterval(5);
        connect(&m_tick, &QTimer::timeout, this, [this] {
            m_longest = std::max(m_longest, m_last.nsecsElapsed() / 1e6);
            m_last.restart();
        });
    }
    void start() {
        m_longest = 0;
        m_last.start();
        m_tick.start();
    }
    double stop() {
        m_longest = std::max(m_longest, m_last.nsecsElapsed() / 1e6);
        m_tick.stop();
        return m_longest;
    }

private:
    QTimer m_tick;
    QElapsedTimer m_last;
    double m_longest = 0;
};

void settle(TMainForm& form) {
    // Until the whole page is laid out: Qt lays it out between events after the first screen.
    QTest::qWait(200);
    while (form.editor()->document()->lastBlock().layout()->lineCount() == 0)
        QTest::qWait(20);
}

QString plainText(const QString& pageFile) {
    QString text;
    const PageFileRead file = readPageFile(pageFile);
    for (const Paragraph& p : rtf::readDocument(file.bytes).paragraphs) {
        for (const TextRun& r : p.runs)
            text += r.text;
        text += QLatin1Char('\n');
    }
    return text;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillery"));
    QApplication::setCursorFlashTime(0); // no paints but those the probe causes
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s DIR switch|type|big RUNS\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const QByteArray mode = argv[2];
    const int runs = std::atoi(argv[3]);
    setProgramPathForTesting(dir + "/qly");

    FreezeMeter freeze;
    freeze.start();
    auto* form = new TMainForm;
    form->show();
    form->activateWindow();
    if (!QTest::qWaitForWindowActive(form))
        std::fprintf(stderr, "the window did not become active\n");
    settle(*form);
    if (mode == "big")
        std::printf("freeze open %.1f\n", freeze.stop());
    PaintWatch painted(form->editor()->viewport());

    if (mode == "switch") {
        // Qt's editor beside the window, doing the least a switch must: the text in, the
        // page left written.
        QTextEdit qt;
        qt.setAttribute(Qt::WA_ShowWithoutActivating);
        qt.setWindowFlag(Qt::WindowDoesNotAcceptFocus);
        qt.resize(400, 368);
        qt.move(0, 0);
        qt.show();
        QTest::qWait(100);
        form->activateWindow();
        (void)QTest::qWaitForWindowActive(form);
        PaintWatch qtPainted(qt.viewport());
        const QString texts[2] = {plainText(dir + "/rtf/A.rtf"), plainText(dir + "/rtf/B.rtf")};
        PageStore scratch(dir + "/scratch/");
        QDir().mkpath(scratch.pageFolder());
        scratch.setCurrentPage(0);
        for (int i = 0; i < runs; ++i) {
            if (!form->isActiveWindow()) {
                form->activateWindow();
                (void)QTest::qWaitForWindowActive(form);
            }
            QToolButton* button = i % 2 ? form->titleBar()->sbPrev() : form->titleBar()->sbNext();
            QElapsedTimer t;
            t.start();
            painted.reset();
            button->click();
            const double ms = painted.waitSince(t);
            QTest::qWait(50);
            t.restart();
            qtPainted.reset();
            scratch.SaveCurrentPage(editorDocument(qt.document()));
            qt.setPlainText(texts[(i + 1) % 2]);
            const double qtMs = qtPainted.waitSince(t);
            std::printf("switch %.2f %.2f\n", ms, qtMs);
            std::fflush(stdout);
            QTest::qWait(300); // the rest of the page settles behind the first screen
        }
    } else if (mode == "type") {
        form->editor()->moveCursor(QTextCursor::End);
        QTest::qWait(100);
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer t;
            t.start();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
            painted.reset();
            QApplication::sendEvent(form->editor(), &press);
            QApplication::sendEvent(form->editor(), &release);
            std::printf("type %.2f\n", painted.waitSince(t));
            std::fflush(stdout);
            QTest::qWait(30);
        }
    } else if (mode == "big") {
        freeze.start();
        form->editor()->moveCursor(QTextCursor::End);
        QTest::qWait(500);
        std::printf("freeze scroll %.1f\n", freeze.stop());
        for (int i = 0; i < runs; ++i) {
            freeze.start();
            QTimer::singleShot(0, form, [form] { form->SaveCurrentPage(); });
            QTest::qWait(200);
            std::printf("freeze save %.1f\n", freeze.stop());
        }
    }
    delete form;
    return 0;
}
