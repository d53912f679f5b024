// Printing for real: the main window on an X display, the Print command, the preview and a
// CUPS queue that writes PDF files, read back with pdfinfo and pdftoppm. Started by
// x11/print_test.sh, which runs the scheduler and gives each case a process of its own.
#include "mainwindow/mainform.h"
#include "mainwindow/mainmenu.h"
#include "print/previewform.h"
#include "settings/programpaths.h"
#include "support/messageboxes.h"
#include "support/modaldialogs.h"
#include "support/tempdir.h"

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <csignal>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

using namespace qly;
using qlytest::TempDir;

namespace {

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

QStringList pdfFiles() {
    return QDir(qEnvironmentVariable("CUPS_OUT")).entryList({"*.pdf"}, QDir::Files, QDir::Name);
}

int jobCount() {
    return run("lpstat", {"-W", "all", "-o"}).count(QLatin1Char('\n'));
}

// Waits for the scheduler to finish every job and for the PDF files to be whole.
QStringList waitForPdfs(qsizetype count) {
    const QDeadlineTimer deadline(90000);
    const QString out = qEnvironmentVariable("CUPS_OUT") + QLatin1Char('/');
    while (!deadline.hasExpired()) {
        const QStringList files = pdfFiles();
        bool whole = files.size() >= count &&
                     run("lpstat", {"-W", "not-completed", "-o"}).trimmed().isEmpty();
        for (const QString& f : files)
            whole = whole && run("pdfinfo", {out + f}).contains(QLatin1String("Pages:"));
        if (whole) {
            QStringList paths;
            for (const QString& f : files)
                paths << out + f;
            return paths;
        }
        QTest::qWait(250);
    }
    return {};
}

QString pdfInfo(const QString& path, const char* key) {
    for (const QString& line : run("pdfinfo", {path}).split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String(key) + QLatin1Char(':')))
            return line.mid(int(qstrlen(key)) + 1).trimmed();
    return {};
}

// The pages of a PDF at 96 dots per inch, one image each.
QList<QImage> rasterise(const QString& pdf, const QString& folder) {
    run("pdftoppm", {"-r", "96", "-png", pdf, folder + "/page"});
    QList<QImage> pages;
    for (const QString& f : QDir(folder).entryList({"page*.png"}, QDir::Files, QDir::Name))
        pages << QImage(folder + QLatin1Char('/') + f).convertToFormat(QImage::Format_RGB32);
    return pages;
}

// The smallest rectangle holding every pixel that is not near white.
QRect inkBox(const QImage& page) {
    QRect box;
    for (int y = 0; y < page.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        for (int x = 0; x < page.width(); ++x)
            if (qRed(line[x]) < 235 || qGreen(line[x]) < 235 || qBlue(line[x]) < 235)
                box |= QRect(x, y, 1, 1);
    }
    return box;
}

// The mean difference per channel between the printed picture and the editor's.
double meanDifference(const QImage& printed, const QImage& expected) {
    const QImage e =
        expected.scaled(printed.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < printed.height(); ++y)
        for (int x = 0; x < printed.width(); ++x) {
            const QRgb a = printed.pixel(x, y);
            const QRgb b = e.pixel(x, y);
            sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                   std::abs(qBlue(a) - qBlue(b));
        }
    return sum / (3.0 * printed.width() * printed.height());
}

class Printing : public ::testing::Test {
protected:
    void SetUp() override {
        setProgramPathForTesting(m_dir.path("qly"));
        QDir().mkpath(m_dir.path("rtf"));
        // A long page of numbered lines, as plain text.
        QByteArray text;
        for (int i = 1; i <= 200; ++i)
            text += "Line " + QByteArray::number(i) + " of the page\n";
        m_dir.write("rtf/A.rtf", text);
    }
    void TearDown() override { setProgramPathForTesting(QString()); }

    std::unique_ptr<MainForm> start(const QByteArray& print = QByteArray()) {
        m_dir.write("qly.ini", "[Main]\nStayOnTop=0\n" +
                                   (print.isEmpty() ? QByteArray() : "[Print]\n" + print));
        auto form = std::make_unique<MainForm>();
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return form;
    }

    // Runs the Print command from the main menu and act on the preview once it is active.
    bool printCommand(MainForm& form, const std::function<void(PreviewForm&)>& act) {
        return qlytest::actOnModal(
            PreviewForm::staticMetaObject,
            [&] { form.mainMenu()->item(QStringLiteral("NotePrintItem"))->trigger(); },
            [&](QWidget& dialog) {
                act(static_cast<PreviewForm&>(dialog));
                dialog.findChild<QPushButton*>("btClose")->click();
            });
    }

    // Prints with a copies text; returns the layout and the editor's picture at that time.
    void print(MainForm& form, const QString& copies) {
        ASSERT_TRUE(printCommand(form, [&](PreviewForm& p) {
            p.findChild<QLineEdit*>("edCopies")->setText(copies);
            m_layout = p.layout();
            m_metrics = p.metrics();
            m_snapshot = form.snapshot();
            QTest::mouseClick(p.findChild<QPushButton*>("btPrint"), Qt::LeftButton);
        }));
    }

    // Every page of the one PDF shows the editor's picture at 100 %, its top-left corner at
    // at (inches from the sheet's corner; centred on the sheet when not given).
    void expectPages(const QString& pdf, int pages, std::optional<QPointF> at = {}) {
        EXPECT_TRUE(pdfInfo(pdf, "Title").contains(QLatin1String("Quillery")));
        ASSERT_EQ(pdfInfo(pdf, "Pages").toInt(), pages);
        // The sheet the preview showed is the sheet printed on.
        const QStringList size = pdfInfo(pdf, "Page size").split(QLatin1Char(' '));
        ASSERT_GE(size.size(), 3);
        const QSizeF sheet(size[0].toDouble() / 72, size[2].toDouble() / 72);
        EXPECT_NEAR(m_metrics.PW, sheet.width(), 0.02);
        EXPECT_NEAR(m_metrics.PH, sheet.height(), 0.02);
        const QSizeF image = m_snapshot.deviceIndependentSize() / 96.0;
        const QPointF corner = at.value_or(
            QPointF((sheet.width() - image.width()) / 2, (sheet.height() - image.height()) / 2));
        const QRectF expected(corner * 96, image * 96);
        const QList<QImage> images = rasterise(pdf, m_dir.path());
        ASSERT_EQ(images.size(), pages);
        for (const QImage& page : images) {
            const QRect ink = inkBox(page);
            // Within 1/50 inch: about two pixels at 96 dots per inch.
            EXPECT_NEAR(ink.left(), expected.left(), 2.0);
            EXPECT_NEAR(ink.top(), expected.top(), 2.0);
            EXPECT_NEAR(ink.right() + 1, expected.right(), 2.0);
            EXPECT_NEAR(ink.bottom() + 1, expected.bottom(), 2.0);
            EXPECT_LT(meanDifference(page.copy(ink), m_snapshot), 12.0);
        }
    }

    TempDir m_dir;
    PrintLayout m_layout;
    PrinterMetrics m_metrics;
    QImage m_snapshot;
};

} // namespace

TEST_F(Printing, ThreeCopiesOfTheVisibleLinesCentred) {
    auto form = start();
    QTextEdit* editor = form->editor();
    QScrollBar* bar = editor->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum() / 2);
    QTest::qWait(50);
    // The caret, wide and shown (not blinking), is no part of the picture.
    QApplication::setCursorFlashTime(0);
    editor->setTextCursor(editor->cursorForPosition(editor->viewport()->rect().center()));
    editor->clearFocus();
    editor->setFocus();
    const int caret = editor->cursorWidth();
    editor->setCursorWidth(0);
    const QImage screen = editor->grab().toImage();
    editor->setCursorWidth(8);
    ASSERT_NE(editor->grab().toImage(), screen);
    print(*form, QStringLiteral("3"));
    editor->setCursorWidth(caret);
    // The picture is the editor as shown: its size, its scrolled lines, its scroll bar.
    EXPECT_EQ(m_snapshot.size(), screen.size());
    EXPECT_EQ(m_snapshot.convertToFormat(QImage::Format_RGB32),
              screen.convertToFormat(QImage::Format_RGB32));
    const QStringList pdfs = waitForPdfs(1);
    ASSERT_EQ(pdfs.size(), 1);
    expectPages(pdfs[0], 3);

    // The next opening shows what the last one left.
    EXPECT_TRUE(printCommand(*form, [](PreviewForm& p) {
        EXPECT_EQ(p.findChild<QLineEdit*>("edCopies")->text(), "3");
    }));
}

TEST_F(Printing, OffsetLayoutInMillimetresAndACopiesTextThatIsNoNumber) {
    auto form = start("Inches=0\nCenterHorz=0\nCenterVert=0\nXOffset=25.40\nYOffset=12.70\n");
    print(*form, QStringLiteral("x"));
    EXPECT_NEAR(m_layout.ImgL - m_layout.PaperL, 1.0, 1e-9);
    EXPECT_NEAR(m_layout.ImgT - m_layout.PaperT, 0.5, 1e-9);
    const QStringList pdfs = waitForPdfs(1);
    ASSERT_EQ(pdfs.size(), 1);
    expectPages(pdfs[0], 1, QPointF(1.0, 0.5));
}

TEST_F(Printing, ZeroCopiesSendNoJob) {
    auto form = start();
    const int before = jobCount();
    print(*form, QStringLiteral("0"));
    QTest::qWait(3000);
    EXPECT_EQ(jobCount(), before);
    EXPECT_TRUE(pdfFiles().isEmpty());
}

TEST_F(Printing, NoPrinterAtAllShowsTheErrorAndNoPreview) {
    // A scheduler that is not there lists no printer.
    qputenv("CUPS_SERVER", QFile::encodeName(m_dir.path("no-cups.sock")));
    auto form = start();
    bool previewSeen = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        previewSeen = previewSeen || qobject_cast<PreviewForm*>(QApplication::activeModalWidget());
    });
    watch.start(10);
    const QStringList boxes = qlytest::answerMessageBoxes(
        [&] { form->mainMenu()->item(QStringLiteral("NotePrintItem"))->trigger(); });
    EXPECT_EQ(boxes, QStringList({"There is no default printer currently selected."}));
    EXPECT_FALSE(previewSeen);
    EXPECT_FALSE(m_dir.read("qly.ini").contains("[Print]"));
}

TEST_F(Printing, FitFillsTheSheetOfAPrinterWithoutBorder) {
    auto form = start("FitToPage=1\n");
    print(*form, QStringLiteral("1"));
    // The queue's PPD gives no unprintable border, and the preview shows none.
    EXPECT_EQ(m_metrics.PHYSICALOFFSETX, 0);
    EXPECT_EQ(m_metrics.HORZRES, m_metrics.PHYSICALWIDTH);
    const QStringList pdfs = waitForPdfs(1);
    ASSERT_EQ(pdfs.size(), 1);
    const QList<QImage> pages = rasterise(pdfs[0], m_dir.path());
    ASSERT_EQ(pages.size(), 1);
    const QRect ink = inkBox(pages[0]);
    EXPECT_LE(ink.left(), 1);
    EXPECT_GE(ink.right(), pages[0].width() - 2);
}

TEST_F(Printing, SetupFollowsTheChosenPrinter) {
    ASSERT_EQ(QProcess::execute("lpadmin", {"-p", "QlyOther", "-E", "-v", "cups-pdf:/", "-P",
                                            "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd"}),
              0);
    auto form = start();
    EXPECT_TRUE(printCommand(*form, [](PreviewForm& p) {
        p.setPrinterSetupDialog([](QPrinter& printer) {
            printer.setPrinterName(QStringLiteral("QlyOther"));
            return true;
        });
        p.btPrinterSetupClick();
        EXPECT_EQ(p.findChild<QLabel*>("pnPrinter")->text().trimmed(), "Printer: QlyOther");
    }));
    QProcess::execute("lpadmin", {"-x", "QlyOther"});
}

// A job taken and then dropped by the scheduler is reported when it is dropped; the queue
// holds its jobs meanwhile.
TEST_F(Printing, AJobDroppedAfterTheHandOverIsReported) {
    ASSERT_EQ(QProcess::execute("cupsdisable", {"QlyPDF"}), 0);
    auto form = start();
    QStringList boxes;
    ASSERT_TRUE(printCommand(*form, [&](PreviewForm& p) {
        boxes = qlytest::answerMessageBoxes(
            [&] {
                p.btPrintClick();
                ASSERT_TRUE(QTest::qWaitFor(
                    [] {
                        return !run("lpstat", {"-o", "QlyPDF"}).trimmed().isEmpty();
                    },
                    20000));
                QProcess::execute("cancel", {"-a", "QlyPDF"});
            },
            1, 20000);
    }));
    QProcess::execute("cupsenable", {"QlyPDF"});
    EXPECT_EQ(boxes.join(QLatin1Char('\n')).toStdString(),
              "Printing on \"QlyPDF\" failed: the job was cancelled.");
    EXPECT_TRUE(pdfFiles().isEmpty());
}

// Last of the cases: it takes the queue and then the scheduler away.
TEST_F(Printing, ZPrinterGoneThenSchedulerStoppedWithThePreviewOpen) {
    auto form = start();
    QStringList boxes;
    ASSERT_TRUE(printCommand(*form, [&](PreviewForm& p) {
        ASSERT_EQ(QProcess::execute("lpadmin", {"-x", "QlyPDF"}), 0);
        boxes << qlytest::answerMessageBoxes([&] { p.btPrintClick(); });
        ASSERT_EQ(::kill(qEnvironmentVariableIntValue("CUPSD_PID"), SIGTERM), 0);
        // Gone when its socket no longer answers.
        EXPECT_TRUE(QTest::qWaitFor(
            [] { return run("lpstat", {"-r"}).contains(QLatin1String("not running")); }, 20000));
        boxes << qlytest::answerMessageBoxes([&] { p.btPrintClick(); });
        EXPECT_TRUE(p.isVisible());
    }));
    EXPECT_EQ(boxes.join(QLatin1Char('\n')).toStdString(),
              "Printing on \"QlyPDF\" failed: the printer is not available.\n"
              "Printing on \"QlyPDF\" failed: the print service is not running.");
    EXPECT_TRUE(pdfFiles().isEmpty());
}
