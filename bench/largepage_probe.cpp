// Times Quillery's main window in-process with large pages, each case side by side with what
// Qt's own QTextEdit takes for the same work, interleaved in one run. Prints one line per case:
//   switch <ms Quillery> <ms Qt>   Next to the next page painted, against setPlainText of that
//                                  page's text plus the save of the page left, painted
//   type <ms>                      a key pressed at the end of the page to the page repainted
//   recovery <median ms> <max ms> <keys> <copies>
//                                  a key every 50 ms at the end of the page for RUNS seconds,
//                                  from the moment each was due to the page repainted, while
//                                  the recovery copies that long typing asks for are made
//   freeze <what> <ms>             the longest the event loop stood still while the page
//                                  opened and settled, scrolled to its end, and was saved
// Usage: qly-largepage-probe DIR switch|type|recovery|big RUNS
// DIR holds rtf/A.rtf and rtf/B.rtf (for "big" only A); the window runs as if the program
// lay in DIR, so it writes its settings and pages there.
#include "editor/richtextconvert.h"
#include "mainwindow/mainform.h"
#include "mainwindow/titlebar.h"
#include "pages/pagestore.h"
#include "rtf/rtf.h"
#include "settings/programpaths.h"
#include "spelling/editorspelling.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace qly;

namespace {

// From start(since) on, waits for the widget's viewport to paint; wait() returns the
// milliseconds from `since` to the end of that paint (not to the end of the event loop's turn,
// which may go on laying out the rest of the page).
class PaintWatch {
public:
    explicit PaintWatch(QWidget* viewport) : m_viewport(viewport) { watches().push_back(this); }
    ~PaintWatch() { std::erase(watches(), this); }
    void start(const QElapsedTimer& since) {
        m_since = &since;
        m_paintedAt = -1;
    }
    double wait() {
        while (m_paintedAt < 0 && m_since->elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
                                            50);
        const double ms = m_paintedAt < 0 ? m_since->nsecsElapsed() / 1e6 : m_paintedAt;
        m_since = nullptr;
        return ms;
    }
    // Called by the application after each paint event has been handled.
    static void painted(QObject* receiver) {
        for (PaintWatch* w : watches())
            if (w->m_viewport == receiver && w->m_since && w->m_paintedAt < 0)
                w->m_paintedAt = w->m_since->nsecsElapsed() / 1e6;
    }

private:
    static std::vector<PaintWatch*>& watches() {
        static std::vector<PaintWatch*> all;
        return all;
    }
    QWidget* m_viewport;
    const QElapsedTimer* m_since = nullptr;
    double m_paintedAt = -1;
};

class ProbeApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        const bool paint = event->type() == QEvent::Paint;
        const bool result = QApplication::notify(receiver, event);
        if (paint) {
            PaintWatch::painted(receiver);
            if (afterPaint)
                afterPaint(receiver);
        }
        return result;
    }
    static inline std::function<void(QObject*)> afterPaint;
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

// Until the editor's whole page is laid out: Qt lays it out between events after the first
// screen.
void settle(QTextEdit* editor) {
    QTest::qWait(20);
    while (editor->document()->lastBlock().layout()->lineCount() == 0)
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
    ProbeApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillery"));
    QApplication::setCursorFlashTime(0); // no paints but those the probe causes
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s DIR switch|type|recovery|big RUNS\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const QByteArray mode = argv[2];
    const int runs = std::atoi(argv[3]);
    setProgramPathForTesting(dir + "/qly");

    FreezeMeter freeze;
    freeze.start();
    auto* form = new MainForm;
    form->show();
    form->activateWindow();
    if (!QTest::qWaitForWindowActive(form))
        std::fprintf(stderr, "the window did not become active\n");
    settle(form->editor());
    // Spelling (when the settings ask for it) checks from here on, as in use.
    (void)QTest::qWaitFor([&] { return form->spelling()->ready(); }, 10000);
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
            // Each side starts with both pages laid out whole, so that neither pays for the
            // other's layout going on behind the first screen.
            settle(form->editor());
            settle(&qt);
            QElapsedTimer t;
            t.start();
            painted.start(t);
            button->click();
            const double ms = painted.wait();
            settle(form->editor());
            settle(&qt);
            t.restart();
            qtPainted.start(t);
            scratch.saveCurrentPage(editorDocument(qt.document()));
            qt.setPlainText(texts[(i + 1) % 2]);
            const double qtMs = qtPainted.wait();
            std::printf("switch %.2f %.2f\n", ms, qtMs);
            std::fflush(stdout);
        }
    } else if (mode == "type") {
        form->editor()->moveCursor(QTextCursor::End);
        QTest::qWait(100);
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer t;
            t.start();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
            painted.start(t);
            QApplication::sendEvent(form->editor(), &press);
            QApplication::sendEvent(form->editor(), &release);
            std::printf("type %.2f\n", painted.wait());
            std::fflush(stdout);
            QTest::qWait(30);
        }
    } else if (mode == "recovery") {
        form->editor()->moveCursor(QTextCursor::End);
        QTest::qWait(100);
        std::vector<double> latencies;
        std::vector<double> unpainted; // when the keys sent but not yet painted were due
        // The copies written meanwhile, so that a figure never stands for typing without them.
        const QString copyFile = dir + QStringLiteral("/recovery/A.rtf");
        QDateTime lastCopy;
        int copies = 0;
        QElapsedTimer clock;
        clock.start();
        const QWidget* viewport = form->editor()->viewport();
        ProbeApplication::afterPaint = [&](QObject* receiver) {
            if (receiver != viewport)
                return;
            for (const double due : unpainted)
                latencies.push_back(clock.nsecsElapsed() / 1e6 - due);
            unpainted.clear();
        };
        // Keys come from the event loop when it gets to them, as a user's do: a key due while
        // the window is busy (the recovery copy's work among the rest) waits.
        QTimer keys;
        keys.setTimerType(Qt::PreciseTimer);
        keys.setSingleShot(true);
        int sent = 0;
        const auto next = [&] {
            keys.start(int(std::max<qint64>(0, sent * 50 - clock.elapsed())));
        };
        QObject::connect(&keys, &QTimer::timeout, [&] {
            unpainted.push_back(sent * 50.0);
            ++sent;
            QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
            QApplication::sendEvent(form->editor(), &press);
            QApplication::sendEvent(form->editor(), &release);
            const QDateTime written = QFileInfo(copyFile).lastModified();
            if (written.isValid() && written != lastCopy)
                ++copies;
            lastCopy = written;
            if (clock.elapsed() < qint64(runs) * 1000)
                next();
        });
        next();
        while ((keys.isActive() || !unpainted.empty()) &&
               clock.elapsed() < qint64(runs) * 1000 + 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        ProbeApplication::afterPaint = nullptr;
        std::sort(latencies.begin(), latencies.end());
        std::printf("recovery %.2f %.2f %zu %d\n", latencies[latencies.size() / 2],
                    latencies.back(), latencies.size(), copies);
    } else if (mode == "big") {
        freeze.start();
        form->editor()->moveCursor(QTextCursor::End);
        QTest::qWait(500);
        std::printf("freeze scroll %.1f\n", freeze.stop());
        for (int i = 0; i < runs; ++i) {
            freeze.start();
            QTimer::singleShot(0, form, [form] { form->saveCurrentPage(); });
            QTest::qWait(200);
            std::printf("freeze save %.1f\n", freeze.stop());
        }
    }
    delete form;
    return 0;
}
