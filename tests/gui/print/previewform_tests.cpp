// The print preview, offscreen: its controls, enabling, dragging, settings and one redraw
// checked pixel by pixel.
#include "print/previewform.h"
#include "print/previewsurface.h"
#include "print/printlayout.h"
#include "print/printpictures.h"
#include "support/messageboxes.h"
#include "support/previewfixture.h"
#include "support/tempdir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageSize>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QStatusBar>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace qly;
using qlytest::TempDir;

namespace {

const QColor SnapColor(200, 30, 30);

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        qlytest::makeLetterPdfPrinter(m_printer);
    }
    // The window over the settings written so far (ini, when given, is written first).
    PreviewForm& open(const QByteArray& ini = QByteArray(), QSize box = QSize(600, 500)) {
        if (!ini.isEmpty())
            m_dir.write("qly.ini", "[Print]\n" + ini);
        m_form = qlytest::showPreview(m_printer, m_snapshot, settingsFile(), box);
        return *m_form;
    }
    QString settingsFile() const { return m_dir.path("qly.ini"); }
    template <class W> W* child(const char* name) {
        W* w = m_form->findChild<W*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QWidget* box() { return m_form->surface()->pbPreview(); }
    PreviewRects rects() { return previewRects(m_form->layout(), m_form->displayResolution()); }
    QColor pixel(QPoint p) { return m_form->previewBitmap().pixelColor(p); }

    TempDir m_dir;
    QPrinter m_printer{QPrinter::HighResolution};
    QImage m_snapshot = qlytest::plainSnapshot({400, 340}, SnapColor);
    std::unique_ptr<PreviewForm> m_form;
};

bool sameCursor(const QCursor& a, const QCursor& b) {
    return a.shape() == b.shape() && a.pixmap().toImage() == b.pixmap().toImage();
}

} // namespace

TEST_F(PreviewTest, ControlsLayoutTabOrderAndMinimumSize) {
    PreviewForm& f = open();
    EXPECT_EQ(f.windowTitle(), "Print preview");
    EXPECT_FALSE(f.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(f.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_GE(child<QWidget>("pnControl")->width(), 154);
    // Every field is named for a screen reader by its own caption, each name once.
    QStringList names;
    for (QWidget* w : child<QWidget>("gbSettings")->findChildren<QWidget*>()) {
        auto* button = qobject_cast<QAbstractButton*>(w);
        if (!button && !qobject_cast<QLineEdit*>(w))
            continue;
        names << (w->accessibleName().isEmpty() && button ? button->text() : w->accessibleName());
    }
    EXPECT_FALSE(names.contains(QString()));
    EXPECT_EQ(names.size(), QSet<QString>(names.begin(), names.end()).size())
        << names.join('|').toStdString();
    EXPECT_EQ(child<QLineEdit>("edYOffset")->accessibleName(), "Top");
    // No caption is cut, whatever the desktop's font.
    for (QCheckBox* c : f.findChildren<QCheckBox*>())
        EXPECT_LE(c->sizeHint().width(), c->width()) << c->objectName().toStdString();
    for (QLabel* l : child<QWidget>("gbSettings")->findChildren<QLabel*>())
        EXPECT_LE(l->sizeHint().width(), l->width()) << l->objectName().toStdString();
    EXPECT_EQ(child<QPushButton>("btPrint")->geometry(), QRect(78, 12, 69, 25));
    EXPECT_TRUE(child<QPushButton>("btPrint")->isDefault());
    EXPECT_EQ(child<QWidget>("sbDefaults")->geometry().topLeft(), QPoint(69, 224));
    EXPECT_EQ(child<QWidget>("tbColorDialog")->toolTip(), "Select color");
    EXPECT_EQ(child<QComboBox>("cbUnits")->currentText(), "inches");
    // The surface: an 8-pixel border and the bevel around the paint box.
    EXPECT_EQ(box()->geometry().topLeft(), QPoint(9, 9));
    EXPECT_TRUE(box()->testAttribute(Qt::WA_OpaquePaintEvent));

    QLabel* printer = child<QLabel>("pnPrinter");
    EXPECT_TRUE(printer->text().startsWith("   Printer: "));
    const double advance =
        QFontMetricsF(child<QStatusBar>("StatusBar")->font()).horizontalAdvance(printer->text());
    EXPECT_EQ(printer->width(), roundHalfEven(1.1 * advance));
    EXPECT_EQ(child<QLabel>("pnPaper")->text(), "Paper size: 8.5 x 11.0 inches");

    const char* order[] = {"btPrinterSetup", "btPrint",     "btHelp",        "btClose",
                           "cbUnits",        "edYOffset",   "cbCenterVert",  "edXOffset",
                           "cbCenterHorz",   "edScale",     "cbFitToPage",   "edCopies",
                           "cbShowMargins",  "cbShowFrame", "tbColorDialog", "sbDefaults"};
    QWidget* w = child<QWidget>(order[0]);
    for (size_t i = 1; i < std::size(order); ++i) {
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus) || w->objectName().isEmpty());
        EXPECT_EQ(w->objectName(), order[i]);
    }

    EXPECT_EQ(f.minimumSize(), QSize(516, 400));
    f.resize(100, 100);
    EXPECT_EQ(f.size(), QSize(516, 400));
}

// With a large desktop font every caption and value is whole; where the grown panel is taller
// than the screen (24 points on the offscreen screen, 800 high, as at scale 2 on a 1280 x 800
// one) the window stays on the screen and the panel scrolls.
TEST_F(PreviewTest, GrowsWithTheDesktopFontAndScrollsOnALowScreen) {
    const QFont saved = QApplication::font();
    QFont large = saved;
    large.setPointSize(24);
    QApplication::setFont(large);
    PreviewForm& f = open("Inches=0\nCenterVert=0\nYOffset=-100.00\nZoom=1000\nCopies=100000\n"
                          "Height=5000\n",
                          QSize());
    EXPECT_GT(f.font().pointSizeF(), 12);
    for (QLineEdit* e : f.findChildren<QLineEdit*>()) {
        const int frame = e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, e);
        EXPECT_LE(e->fontMetrics().horizontalAdvance(e->text()) + 2 * frame + 4, e->width())
            << e->objectName().toStdString() << " " << e->text().toStdString();
    }
    for (QAbstractButton* b : f.findChildren<QAbstractButton*>())
        EXPECT_LE(b->fontMetrics().horizontalAdvance(QString(b->text()).remove('&')), b->width())
            << b->objectName().toStdString();
    const QRect screen = f.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(f.frameGeometry())) << f.frameGeometry().height();
    auto* scroll = child<QScrollArea>("pnControlScroll");
    EXPECT_TRUE(scroll->verticalScrollBar()->isVisible());
    EXPECT_GE(scroll->viewport()->width(), child<QWidget>("pnControl")->width());
    QApplication::setFont(saved);
}

TEST_F(PreviewTest, FitDisablesOffsetsZoomAndCentringAndCentresInThePrintableArea) {
    PreviewForm& f = open("FitToPage=1\nCenterHorz=0\nCenterVert=0\nXOffset=3\n");
    const auto disabled = [this] {
        for (const char* name : {"edXOffset", "edYOffset", "edScale", "cbCenterVert",
                                 "cbCenterHorz", "lbTop", "lbLeft", "lbScale"})
            EXPECT_FALSE(child<QWidget>(name)->isEnabled()) << name;
    };
    disabled();
    const PrintLayout& L = f.layout();
    EXPECT_NEAR(L.ImgL - L.PrintL, L.PrintR - L.ImgR, 1e-9);
    EXPECT_NEAR(L.ImgT - L.PrintT, L.PrintB - L.ImgB, 1e-9);

    child<QComboBox>("cbUnits")->setCurrentIndex(1);
    f.cbUnitsChange();
    disabled();
    const QPoint c = rects().image.center();
    f.pbPreviewMouseDown(Qt::LeftButton, c);
    f.pbPreviewMouseMove(Qt::LeftButton, c + QPoint(30, 30));
    disabled();
    EXPECT_NEAR(f.layout().ImgL, L.ImgL, 1e-9); // the axis governed by fit does not move
    f.pbPreviewMouseUp(c + QPoint(30, 30));

    child<QCheckBox>("cbFitToPage")->setChecked(false);
    EXPECT_TRUE(child<QWidget>("edXOffset")->isEnabled());
    EXPECT_TRUE(child<QWidget>("edScale")->isEnabled());
}

TEST_F(PreviewTest, DraggingMovesTheImageWithTheLeftButtonOnly) {
    PreviewForm& f = open("CenterHorz=0\nCenterVert=0\nXOffset=1\nYOffset=1\n");
    QLineEdit* x = child<QLineEdit>("edXOffset");
    QLineEdit* y = child<QLineEdit>("edYOffset");
    EXPECT_EQ(x->text(), "1.00");
    const QPoint c = rects().image.center();

    // Hovering over the image shows the open hand, through the real event path.
    QTest::mouseMove(box(), c);
    EXPECT_TRUE(sameCursor(box()->cursor(), f.cursorHandOpen()));
    // The right button starts nothing; moving with it held shows the default cursor.
    f.pbPreviewMouseDown(Qt::RightButton, c);
    f.pbPreviewMouseMove(Qt::RightButton, c + QPoint(20, 0));
    EXPECT_EQ(x->text(), "1.00");
    EXPECT_EQ(box()->cursor().shape(), Qt::ArrowCursor);
    f.pbPreviewMouseUp(c + QPoint(20, 0));

    // One paper inch to the right is S * k pixels.
    const int inch = roundHalfEven(f.displayResolution() * f.layout().k);
    const double left = f.layout().ImgL;
    f.pbPreviewMouseDown(Qt::LeftButton, c);
    EXPECT_TRUE(sameCursor(box()->cursor(), f.cursorHandClosed()));
    f.pbPreviewMouseMove(Qt::LeftButton, c + QPoint(inch, 0));
    EXPECT_NEAR(x->text().toDouble(), 2.0, 0.02);
    EXPECT_EQ(y->text(), "1.00");
    EXPECT_NEAR(f.layout().ImgL - left, 1.0, 0.02);
    // Released off the image, far away: the texts of the last move stay.
    const QString lastX = x->text();
    f.pbPreviewMouseUp(QPoint(1, 1));
    EXPECT_EQ(x->text(), lastX);
    EXPECT_EQ(box()->cursor().shape(), Qt::ArrowCursor);
    f.pbPreviewMouseMove(Qt::NoButton, QPoint(5, 5));
    EXPECT_EQ(x->text(), lastX);

    // The image cannot be dragged off the printable area.
    const QPoint c2 = rects().image.center();
    f.pbPreviewMouseDown(Qt::LeftButton, c2);
    f.pbPreviewMouseMove(Qt::LeftButton, c2 + QPoint(5000, 0));
    EXPECT_NEAR(f.layout().ImgL, f.layout().PrintR, 1e-9);
}

TEST_F(PreviewTest, UnitSwitchRewritesOffsetsAndNothingMoves) {
    PreviewForm& f = open("CenterHorz=0\nXOffset=0.5\n");
    const double left = f.layout().ImgL;
    child<QComboBox>("cbUnits")->setCurrentIndex(1);
    f.cbUnitsChange();
    EXPECT_EQ(child<QLineEdit>("edXOffset")->text(), "12.70");
    EXPECT_EQ(child<QLabel>("pnPaper")->text(), "Paper size: 216 x 279 mm");
    f.drawPreview();
    EXPECT_NEAR(f.layout().ImgL, left, 1e-9);
    child<QComboBox>("cbUnits")->setCurrentIndex(0);
    f.cbUnitsChange();
    EXPECT_EQ(child<QLineEdit>("edXOffset")->text(), "0.50");
    EXPECT_EQ(child<QLabel>("pnPaper")->text(), "Paper size: 8.50 x 11.00 inches");
}

TEST_F(PreviewTest, DefaultsKeepUnitAndOffsetsAndCentreTheImage) {
    PreviewForm& f = open("Inches=0\nCenterHorz=0\nCenterVert=0\nXOffset=10\nZoom=50\n"
                          "FitToPage=1\nCopies=4\nShowFrame=0\nShowMargins=0\nBackground=255\n");
    f.sbDefaultsClick();
    EXPECT_EQ(child<QComboBox>("cbUnits")->currentText(), "mm");
    EXPECT_EQ(child<QLineEdit>("edXOffset")->text(), "10.00");
    EXPECT_EQ(child<QLineEdit>("edScale")->text(), "100");
    EXPECT_EQ(child<QLineEdit>("edCopies")->text(), "1");
    for (const char* name : {"cbCenterHorz", "cbCenterVert", "cbShowMargins", "cbShowFrame"})
        EXPECT_TRUE(child<QCheckBox>(name)->isChecked()) << name;
    EXPECT_FALSE(child<QCheckBox>("cbFitToPage")->isChecked());
    EXPECT_EQ(f.backgroundColor(), 8421376);
    const PrintLayout& L = f.layout();
    EXPECT_NEAR(L.ImgL - L.PaperL, L.PaperR - L.ImgR, 1e-9);
}

TEST_F(PreviewTest, DrawPreviewPaintsEveryPart) {
    // The image pokes out of the printable area on the left.
    open("CenterHorz=0\nXOffset=-1\n");
    PreviewRects r = rects();
    const int midY = r.sheet.center().y();
    EXPECT_EQ(pixel({5, 5}), QColor(0, 128, 128));                        // background
    EXPECT_EQ(pixel({r.sheet.right() + 2, midY}), QColor(Qt::black));     // shadow
    EXPECT_EQ(pixel({r.sheet.right() - 2, midY}), QColor(240, 240, 240)); // margin
    EXPECT_EQ(pixel({r.printable.right() - 3, r.printable.top() + 3}), QColor(Qt::white));
    EXPECT_EQ(pixel(r.visible.center()), SnapColor);
    // The dotted green outline along the printable area's right edge.
    int green = 0;
    for (int y = r.printable.top() + 5; y < r.printable.top() + 15; ++y)
        green += pixel({r.printable.right() + 1, y}) == QColor(0, 128, 0);
    EXPECT_EQ(green, 5);
    // The veil outside the printable area: white checker pixels, and the margin between.
    const QPoint v(r.printable.left() - 4, midY);
    const bool black = (v.x() - r.image.left() + v.y() - r.image.top()) % 2 == 0;
    EXPECT_EQ(pixel(v), black ? QColor(240, 240, 240) : QColor(Qt::white));
    EXPECT_EQ(pixel(v + QPoint(1, 0)), black ? QColor(Qt::white) : QColor(240, 240, 240));
    // The frame: the checker along the image's top edge.
    const QPoint t(r.visible.center().x(), r.image.top());
    EXPECT_EQ(pixel(t), (t.x() + t.y()) % 2 == 0 ? QColor(Qt::black) : QColor(Qt::white));

    child<QCheckBox>("cbShowFrame")->setChecked(false);
    child<QCheckBox>("cbShowMargins")->setChecked(false);
    r = rects();
    EXPECT_EQ(pixel(t), SnapColor);
    EXPECT_EQ(pixel({r.sheet.right() - 2, midY}), QColor(Qt::white));
    for (int y = r.printable.top() + 5; y < r.printable.top() + 7; ++y)
        EXPECT_EQ(pixel({r.printable.right() + 1, y}), QColor(Qt::white));
}

TEST_F(PreviewTest, SettingsWrittenAtCloseAreReadAtTheNextOpening) {
    PreviewForm& f = open();
    child<QLineEdit>("edScale")->setText("12,5x");
    child<QLineEdit>("edCopies")->setText("3");
    child<QCheckBox>("cbShowFrame")->setChecked(false);
    f.resize(700, 500);
    f.close();
    m_form.reset();
    const QByteArray ini = m_dir.read("qly.ini");
    EXPECT_TRUE(ini.contains("Zoom=12,5x"));
    EXPECT_TRUE(ini.contains("Width=700"));
    EXPECT_EQ(ini.count('='), 15);
    PreviewForm& again = open(QByteArray(), QSize());
    EXPECT_EQ(child<QLineEdit>("edScale")->text(), "12,5x");
    EXPECT_EQ(child<QLineEdit>("edCopies")->text(), "3");
    EXPECT_FALSE(child<QCheckBox>("cbShowFrame")->isChecked());
    EXPECT_EQ(again.size(), QSize(700, 500));
}

TEST_F(PreviewTest, ABackgroundThatIsNotAnIntegerShowsTheErrorAndTheWindowOpens) {
    m_dir.write("qly.ini", "[Print]\nBackground=teal\nXOffset=2\n");
    std::unique_ptr<PreviewForm> form;
    const QStringList boxes = qlytest::answerMessageBoxes(
        [&] { form = qlytest::showPreview(m_printer, m_snapshot, settingsFile()); });
    ASSERT_EQ(boxes, QStringList({"'teal' is not a valid integer value."}));
    ASSERT_TRUE(form && form->isVisible());
    // The steps after the colour were not done: offsets as stored, no printer name.
    EXPECT_EQ(form->findChild<QLineEdit*>("edXOffset")->text(), "2");
    EXPECT_TRUE(form->findChild<QLabel*>("pnPrinter")->text().isEmpty());
}

TEST_F(PreviewTest, SetupColourAndHelp) {
    PreviewForm& f = open();
    int setups = 0;
    f.setPrinterSetupDialog([&](QPrinter& p) {
        ++setups;
        p.setPageSize(QPageSize(QPageSize::A4));
        return true;
    });
    // A double click on the status bar opens the setup too; OK reads the new sheet.
    QTest::mouseDClick(child<QLabel>("pnPaper"), Qt::LeftButton);
    EXPECT_EQ(setups, 1);
    EXPECT_EQ(child<QLabel>("pnPaper")->text(), "Paper size: 8.3 x 11.7 inches");
    EXPECT_NEAR(f.layout().PaperB - f.layout().PaperT, 297 / 25.4, 0.01);

    f.setColorDialog([](int&) { return false; });
    f.tbColorDialogClick();
    EXPECT_EQ(f.backgroundColor(), 8421376);
    f.setColorDialog([](int& bgr) {
        bgr = 0x0000ff;
        return true;
    });
    f.tbColorDialogClick();
    EXPECT_EQ(f.backgroundColor(), 0x0000ff);
    EXPECT_EQ(pixel({2, 2}), QColor(Qt::red));

    f.btHelpClick();
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.result(), QDialog::Rejected);
}

TEST_F(PreviewTest, APrinterFailureShowsTheErrorAndThePreviewStays) {
    const QString target = m_dir.path("no/such/folder/out.pdf");
    m_printer.setOutputFileName(target);
    PreviewForm& f = open();
    EXPECT_EQ(qlytest::answerMessageBoxes([&] { f.btPrintClick(); }),
              QStringList({QString("Printing on \"%1\" failed.").arg(target)}));
    EXPECT_TRUE(f.isVisible());
    // No copies: no job, no error.
    child<QLineEdit>("edCopies")->setText("0");
    EXPECT_TRUE(qlytest::answerMessageBoxes([&] { f.btPrintClick(); }).isEmpty());
}

TEST(PrintPictures, CursorsAndPatternAtBothPixelRatios) {
    for (const qreal dpr : {1.0, 2.0}) {
        const QPixmap open = handCursor(false, dpr).pixmap();
        EXPECT_EQ(open.size(), QSize(32, 32) * dpr);
        EXPECT_EQ(open.devicePixelRatio(), dpr);
        EXPECT_NE(open.toImage(), handCursor(true, dpr).pixmap().toImage());
    }
    const QImage p = checkerPattern();
    EXPECT_EQ(p.size(), QSize(8, 8));
    EXPECT_EQ(p.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(p.pixelColor(1, 0), QColor(Qt::white));
    EXPECT_EQ(p.pixelColor(7, 7), QColor(Qt::black));
}

namespace {
// Runs action, answering the copies question with answer and cancelling the progress box as
// soon as it shows; returns the questions asked.
QStringList answerCopies(QMessageBox::StandardButton answer, const std::function<void()>& action) {
    QStringList questions;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            questions << box->text();
            box->button(answer)->click();
        } else if (auto* progress = qobject_cast<QProgressDialog*>(modal)) {
            progress->cancel();
        }
    });
    timer.start();
    action();
    return questions;
}
} // namespace

TEST_F(PreviewTest, HostileSettingsOpenOnScreenAndManyCopiesAskAndCanBeCancelled) {
    PreviewForm& f = open("Width=100000\nHeight=2147483647\nLeft=-2147483648\nTop=99999\n"
                          "XOffset=1e300\nCenterHorz=0\nCopies=100000\n",
                          QSize());
    const QRect screen = f.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(f.frameGeometry()));
    EXPECT_EQ(child<QLineEdit>("edXOffset")->text(), "100.00");

    const QString out = m_dir.path("out.pdf");
    m_printer.setOutputFileName(out);
    EXPECT_EQ(answerCopies(QMessageBox::No, [&] { f.btPrintClick(); }),
              QStringList({"Print 100000 copies?"}));
    EXPECT_FALSE(QFile::exists(out));
    // Confirmed, the job starts and the progress box stops it after a few pages.
    EXPECT_EQ(answerCopies(QMessageBox::Yes, [&] { f.btPrintClick(); }).size(), 1);
    QFile pdf(out);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const qsizetype pages = pdf.readAll().count("/Type /Page\n");
    EXPECT_GE(pages, 1);
    EXPECT_LT(pages, 100000);
}
