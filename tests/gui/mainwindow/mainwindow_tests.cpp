// The main window's title bar, main menu and editor commands, in-process on the offscreen
// platform: pixels of the banner and the button pictures, the splitter, and the menu state.
#include "art/buttonpictures.h"
#include "editor/editorcommands.h"
#include "mainwindow/mainform.h"
#include "mainwindow/mainmenu.h"
#include "mainwindow/menustyle.h"
#include "mainwindow/titlebar.h"
#include "mainwindow/titlesplitter.h"
#include "model/alignment.h"
#include "model/bgrcolor.h"
#include "model/contrast.h"
#include "settings/mainsettings.h"
#include "settings/programpaths.h"
#include "support/mainwindowfixture.h"
#include "support/tempdir.h"
#include "window/titlemath.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QFile>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include <gtest/gtest.h>

#include <functional>

using namespace qly;

namespace {

// Runs action while a timer answers the first modal dialog of type D with answer.
template <typename D>
void answerDialog(const std::function<void(D*)>& answer, const std::function<void()>& action) {
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
            timer.stop();
            answer(d);
        }
    });
    timer.start();
    action();
}

QImage renderBanner(int height, int dpr) {
    QImage image(QSize(BannerWidth, height) * dpr, QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    image.fill(QColor(1, 2, 3)); // the menu's background, where the banner leaves a gap
    QPainter p(&image);
    MainMenu::rxMainMenuDrawMargin(p, QRect(0, 0, BannerWidth, height));
    return image;
}

// The colour of a logical pixel (its top-left device pixel).
QColor at(const QImage& image, int x, int y) {
    const int dpr = int(image.devicePixelRatio());
    return image.pixelColor(x * dpr, y * dpr);
}

class MainWindow : public qlytest::MainWindowTest {
protected:
    std::unique_ptr<MainForm> start() { return startMainWindow(); }
    static QAction* item(MainForm& form, const char* name) {
        if (QAction* a = form.mainMenu()->item(QLatin1String(name)))
            return a;
        QAction* a = form.commands()->pmEditor()->findChild<QAction*>(QLatin1String(name));
        EXPECT_NE(a, nullptr) << name;
        return a;
    }
    QByteArray settingsBytes() const {
        QFile f(folder().path("qly.ini"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

} // namespace

// Every pixel of a row of the gradient columns is the row's colour, except where the white
// name covers it (its pixels mix in white, so they are not pure green).
void expectRow(const QImage& image, int y, const QColor& colour) {
    int plain = 0;
    for (int x = 0; x < 15; ++x) {
        const QColor c = at(image, x, y);
        if (c.red() == 0 && c.blue() == 0) {
            ASSERT_EQ(c, colour) << "row " << y << " column " << x;
            ++plain;
        }
    }
    EXPECT_GT(plain, 0) << "row " << y;
}

TEST(Banner, PaintsItsGradientBandsAtEveryPixelRatio) {
    for (int dpr : {1, 2}) {
        SCOPED_TRACE(dpr);
        const QImage image = renderBanner(230, dpr);
        for (const GradientBand& band : gradientBands(0, 230, BannerStart, BannerEnd))
            for (int y = band.top; y < band.bottom; ++y)
                expectRow(image, y, QColor(band.color.red, band.color.green, band.color.blue));
        // Column 15 is left to the menu; 16 and 17 are the bevel.
        const QPalette pal = QApplication::palette();
        for (int y : {0, 100, 229}) {
            EXPECT_EQ(at(image, 15, y), QColor(1, 2, 3));
            EXPECT_EQ(at(image, 16, y).rgb(), pal.color(QPalette::Dark).rgb());
            EXPECT_EQ(at(image, 17, y).rgb(), pal.color(QPalette::Light).rgb());
        }
    }
}

TEST(Banner, AShortStripHasOneBandARowAndEndsInTheEndColour) {
    const QImage image = renderBanner(20, 1);
    EXPECT_EQ(at(image, 0, 0), QColor(0, 255, 0));
    for (int y = 1; y < 20; ++y)
        EXPECT_LT(at(image, 0, y).green(), at(image, 0, y - 1).green()) << y;
    EXPECT_EQ(at(image, 0, 19), QColor(0, 128, 0));
}

TEST(Banner, TheProductNameIsWhiteAndWrittenUpwardsFromTheBottom) {
    const QImage image = renderBanner(230, 1);
    // White text within the strip's lower part, none in its top rows (the name is short).
    int whiteTop = 230, whiteBottom = -1;
    for (int y = 0; y < 230; ++y)
        for (int x = 0; x < 15; ++x)
            if (at(image, x, y).red() > 200) {
                whiteTop = std::min(whiteTop, y);
                whiteBottom = std::max(whiteBottom, y);
            }
    ASSERT_GE(whiteBottom, 0) << "no text drawn";
    EXPECT_LE(whiteBottom, 230 - 5);
    EXPECT_GT(whiteBottom, 200);
    EXPECT_GT(whiteTop, 100);
    EXPECT_GT(whiteBottom - whiteTop, 30); // runs along the strip, not across it
}

TEST(ButtonPictures, AreCrispAtRatios1And2WithADisabledLook) {
    for (ButtonPicture picture : {ButtonPicture::Close, ButtonPicture::Minimize,
                                  ButtonPicture::Previous, ButtonPicture::Next}) {
        const QImage one = renderButtonPicture(picture, 1, false);
        for (int dpr : {1, 2}) {
            const QImage image = renderButtonPicture(picture, dpr, false);
            ASSERT_EQ(image.size(), buttonPictureSize(picture) * dpr);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb p = image.pixel(x, y);
                    // Only opaque black or nothing: no blurred edge.
                    ASSERT_TRUE(p == qRgba(0, 0, 0, 255) || qAlpha(p) == 0) << x << "," << y;
                    // Every device pixel repeats its logical pixel.
                    ASSERT_EQ(p, one.pixel(x / dpr, y / dpr));
                }
            const QImage disabled = renderButtonPicture(picture, dpr, true);
            EXPECT_NE(disabled, image);
            for (int y = 0; y < disabled.height(); ++y)
                for (int x = 0; x < disabled.width(); ++x)
                    ASSERT_NE(disabled.pixel(x, y), qRgba(0, 0, 0, 255));
        }
    }
    // The icons hand out the sharp rendering for each ratio.
    const QIcon close = buttonIcon(ButtonPicture::Close);
    const QSize size = buttonPictureSize(ButtonPicture::Close);
    EXPECT_EQ(close.pixmap(size, 2.0).size(), size * 2);
    EXPECT_EQ(
        close.pixmap(size, 2.0).toImage().convertToFormat(QImage::Format_ARGB32),
        renderButtonPicture(ButtonPicture::Close, 2, false).convertToFormat(QImage::Format_ARGB32));
}

TEST_F(MainWindow, TitleButtonsAreTheTitleHeightMinus2) {
    auto form = start();
    ASSERT_EQ(form->titleBar()->height(), 25);
    for (QWidget* w : form->titleBar()->titleButtons())
        EXPECT_EQ(w->height(), 23) << w->objectName().toStdString();
    EXPECT_EQ(form->titleBar()->sbPrev()->pos(), QPoint(24, 2));
    EXPECT_EQ(form->titleBar()->cbNotes()->geometry(), QRect(42, 0, 48, 23));
    EXPECT_EQ(form->titleBar()->pnNav()->width(), 111);
    EXPECT_EQ(form->titleBar()->pnClose()->width(), 41);
    EXPECT_EQ(form->titleBar()->sbClose()->toolTip(), "Close");
}

// A 16-point desktop font grows the title bar and its controls so that the page letter is
// whole; the height the user gave the title bar is what goes back to the settings.
TEST_F(MainWindow, TheTitleBarGrowsWithALargeDesktopFont) {
    const QFont saved = QApplication::font();
    QFont large = saved;
    large.setPointSize(16);
    QApplication::setFont(large);
    auto form = start();
    TitleBar* title = form->titleBar();
    EXPECT_GT(form->font().pointSizeF(), 12);
    QComboBox* letter = title->cbNotes();
    EXPECT_GE(letter->height(), letter->minimumSizeHint().height());
    EXPECT_GE(letter->width(), letter->minimumSizeHint().width());
    for (QWidget* w : title->titleButtons())
        EXPECT_LE(w->geometry().right(), w->parentWidget()->width())
            << w->objectName().toStdString();
    form->close();
    EXPECT_TRUE(settingsBytes().contains("TitleHeight=25"));
    QApplication::setFont(saved);
}

TEST_F(MainWindow, PageTextIsReadableOnEveryPageColourUnderADarkTheme) {
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Base, Qt::black);
    dark.setColor(QPalette::Text, Qt::white);
    QApplication::setPalette(dark);
    auto form = start();
    for (int bgr : DefaultPageColors) {
        form->applyPageColor(bgr);
        const QPalette pal = form->editor()->palette();
        EXPECT_EQ(bgrFromColor(pal.color(QPalette::Base)), bgr);
        EXPECT_GE(contrastRatio(bgrFromColor(pal.color(QPalette::Text)), bgr), 4.5) << bgr;
    }
    form->applyPageColor(0x000000); // a dark page colour the user chose: white text
    EXPECT_EQ(form->editor()->palette().color(QPalette::Text), QColor(Qt::white));
    QApplication::setPalette(before);
}

TEST_F(MainWindow, ThePageSelectorOpensShowingNineLetters) {
    auto form = start();
    QComboBox* notes = form->titleBar()->cbNotes();
    notes->showPopup();
    QAbstractItemView* list = notes->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
    const QRect shown = list->viewport()->rect();
    EXPECT_EQ(list->indexAt(shown.topLeft()).row(), 0);
    EXPECT_EQ(list->indexAt(QPoint(1, shown.bottom())).row(), 8);
    EXPECT_LE(list->window()->height(), form->screen()->geometry().height() / 2);
    EXPECT_TRUE(list->verticalScrollBar()->isVisible());
    notes->hidePopup();
}

TEST_F(MainWindow, ASplitterDragStopsBelow50AndAt5) {
    auto form = start();
    TitleSplitter* splitter = form->splitter();
    TitleBar* title = form->titleBar();
    const QPoint origin = splitter->mapToGlobal(QPoint(10, 1));
    const auto send = [&](QEvent::Type type, int dy, Qt::MouseButtons buttons) {
        const QPoint global = origin + QPoint(0, dy);
        QMouseEvent e(type, QPointF(splitter->mapFromGlobal(global)), QPointF(global),
                      Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(splitter, &e);
    };
    send(QEvent::MouseButtonPress, 0, Qt::LeftButton);
    send(QEvent::MouseMove, 10, Qt::LeftButton);
    EXPECT_EQ(title->height(), 35);
    send(QEvent::MouseMove, 20, Qt::LeftButton);
    EXPECT_EQ(title->height(), 45);
    send(QEvent::MouseMove, 30, Qt::LeftButton); // 55: not followed
    EXPECT_EQ(title->height(), 45);
    send(QEvent::MouseMove, 24, Qt::LeftButton);
    EXPECT_EQ(title->height(), 49);
    send(QEvent::MouseMove, 25, Qt::LeftButton);
    EXPECT_EQ(title->height(), 49);
    // The buttons follow when the drag ends.
    EXPECT_EQ(title->sbStart()->height(), 23);
    send(QEvent::MouseButtonRelease, 80, Qt::NoButton);
    EXPECT_EQ(title->height(), 49);
    for (QWidget* w : title->titleButtons())
        EXPECT_EQ(w->height(), 47);

    const QPoint top = splitter->mapToGlobal(QPoint(10, 1));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 1), QPointF(top), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(splitter, &press);
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(10, -200), QPointF(top - QPoint(0, 200)),
                   Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(splitter, &up);
    EXPECT_EQ(title->height(), 5);
    EXPECT_EQ(title->sbClose()->height(), 3);
    form->close();
    EXPECT_TRUE(settingsBytes().contains("TitleHeight=5"));
}

TEST_F(MainWindow, TheMenuOpensBelowTheStartButtonWhateverTheTitleHeight) {
    for (int height : {25, 40}) {
        folder().write("qly.ini",
                       "[Main]\nLeft=50\nTop=60\nTitleHeight=" + QByteArray::number(height) + "\n");
        auto form = start();
        QToolButton* start = form->titleBar()->sbStart();
        EXPECT_EQ(start->height(), height - 2);
        form->sbStartClick();
        MainMenu* menu = form->mainMenu();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        EXPECT_EQ(menu->pos(), start->mapToGlobal(QPoint(0, height - 2)));

        // The banner stands beside the top level, not beside the submenus.
        const QImage shot = menu->grab().toImage();
        const QRect strip = menu->marginRect();
        EXPECT_EQ(strip.width(), 18);
        EXPECT_EQ(shot.pixelColor(strip.left(), strip.top()), QColor(0, 255, 0));
        EXPECT_EQ(shot.pixelColor(strip.left() + 5, strip.bottom()), QColor(0, 128, 0));
        for (QMenu* sub : {menu->noteMenu(), menu->editMenu(), menu->formatMenu()}) {
            EXPECT_EQ(sub->contentsMargins().left(), 0);
            sub->adjustSize();
            const QImage subShot = sub->grab().toImage();
            EXPECT_NE(
                subShot.pixelColor(MenuStyle::FrameWidth + 2, MenuStyle::FrameWidth + 2).green(),
                255);
        }
        menu->close();
        form->close();
    }
}

TEST_F(MainWindow, MenuItemsCarryTheirTagsPicturesAndShortcuts) {
    auto form = start();
    struct Row {
        const char* name;
        const char* caption;
        int tag;
        bool picture;
        const char* shortcut;
    };
    const Row rows[] = {
        {"NoteFindItem", "&Find...", 11, true, "Ctrl+F"},
        {"NoteFindNextItem", "Find &Next", 0, false, "F3"},
        {"NoteFindPreviousItem", "Find Pre&vious", 0, false, "Shift+F3"},
        {"NotePrintItem", "&Print...", 12, true, "Ctrl+P"},
        {"NoteGoMobileItem", "&Go Mobile...", 14, true, ""},
        {"NoteHistoryItem", "&History...", 0, false, "Ctrl+Shift+H"},
        {"Exit1", "E&xit", 0, false, ""},
        {"EditUndoItem", "&Undo", 0, false, "Ctrl+Z"},
        {"EditRedoItem", "&Redo", 0, false, "Ctrl+Y"},
        {"EditReplaceItem", "Rep&lace...", 0, false, "Ctrl+H"},
        {"EditCutItem", "Cu&t", 0, false, "Ctrl+X"},
        {"EditCopyItem", "&Copy", 15, true, "Ctrl+C"},
        {"EditPasteItem", "&Paste", 16, true, "Ctrl+V"},
        {"EditSelectAllItem", "&SelectAll", 0, false, ""},
        {"FormatFontItem", "&Font...", 17, true, ""},
        {"FormatColorItem", "&Color...", 0, false, ""},
        {"FormatAlignLeftItem", "Align &Left", 0, false, ""},
        {"FormatAlignCenterItem", "Align Ce&nter", 2, false, ""},
        {"FormatAlignRightItem", "Align &Right", 1, false, ""},
        {"Options1", "&Options...", 0, false, ""},
        {"HelpItem", "&Help", 0, false, ""},
        {"AboutItem", "&About...", 0, false, ""},
    };
    for (const Row& r : rows) {
        QAction* a = item(*form, r.name);
        ASSERT_NE(a, nullptr) << r.name;
        EXPECT_EQ(a->text(), r.caption);
        EXPECT_EQ(a->data().toInt(), r.tag) << r.name;
        EXPECT_EQ(!a->icon().isNull(), r.picture) << r.name;
        EXPECT_EQ(a->shortcut().toString(), r.shortcut) << r.name;
    }
    QStringList top;
    for (QAction* a : form->mainMenu()->actions())
        top << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(top,
              QStringList({"&Note", "&Edit", "&Format", "&Options...", "&Help", "-", "&About..."}));
    QStringList context;
    for (QAction* a : form->commands()->pmEditor()->actions())
        context << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(context,
              QStringList({"&Undo", "&Redo", "-", "Cu&t", "&Copy", "&Paste", "-", "Select All"}));
}

TEST_F(MainWindow, CutAndCopyFollowTheSelectionInBothMenus) {
    auto form = start();
    const char* names[] = {"EditCutItem", "EditCopyItem", "Cut1", "Copy1"};
    for (const char* n : names)
        EXPECT_FALSE(item(*form, n)->isEnabled()) << n;
    // Select All on an empty page selects nothing.
    item(*form, "EditSelectAllItem")->trigger();
    for (const char* n : names)
        EXPECT_FALSE(item(*form, n)->isEnabled()) << n;

    form->editor()->setPlainText("Some notes");
    item(*form, "EditSelectAllItem")->trigger();
    for (const char* n : names)
        EXPECT_TRUE(item(*form, n)->isEnabled()) << n;
    QTextCursor c = form->editor()->textCursor();
    c.clearSelection();
    form->editor()->setTextCursor(c);
    for (const char* n : names)
        EXPECT_FALSE(item(*form, n)->isEnabled()) << n;
    c.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor);
    form->editor()->setTextCursor(c);
    for (const char* n : names)
        EXPECT_TRUE(item(*form, n)->isEnabled()) << n;
    // Undo, Select All, Font, Color and the alignment items are always enabled.
    for (const char* n : {"EditUndoItem", "Undo1", "EditSelectAllItem", "SelectAll1",
                          "FormatFontItem", "FormatColorItem", "FormatAlignCenterItem"})
        EXPECT_TRUE(item(*form, n)->isEnabled()) << n;
}

TEST_F(MainWindow, AlignCenterCentresEveryParagraphOfTheSelection) {
    auto form = start();
    QTextEdit* editor = form->editor();
    editor->setPlainText("one\ntwo\nthree\nfour");
    QTextCursor c(editor->document());
    c.movePosition(QTextCursor::NextBlock);
    c.movePosition(QTextCursor::Right);
    c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, 2);
    c.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor);
    editor->setTextCursor(c); // from "two" into "four"
    EXPECT_TRUE(item(*form, "FormatAlignLeftItem")->isChecked());

    item(*form, "FormatAlignCenterItem")->trigger();
    const QTextDocument* doc = editor->document();
    EXPECT_EQ(doc->findBlockByNumber(0).blockFormat().alignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignLeft);
    for (int b = 1; b <= 3; ++b)
        EXPECT_EQ(doc->findBlockByNumber(b).blockFormat().alignment() & Qt::AlignHorizontal_Mask,
                  Qt::AlignHCenter)
            << b;
    EXPECT_TRUE(item(*form, "FormatAlignCenterItem")->isChecked());
    EXPECT_FALSE(item(*form, "FormatAlignLeftItem")->isChecked());
    EXPECT_FALSE(item(*form, "FormatAlignRightItem")->isChecked());

    // Right is code 1 in its tag.
    item(*form, "FormatAlignRightItem")->trigger();
    EXPECT_EQ(doc->findBlockByNumber(2).blockFormat().alignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    EXPECT_TRUE(item(*form, "FormatAlignRightItem")->isChecked());
}

TEST_F(MainWindow, AJustifiedParagraphLeavesTheCheckedItemAsItWas) {
    auto form = start();
    QTextEdit* editor = form->editor();
    editor->setPlainText("centred\njustified");
    QTextCursor c(editor->document());
    QTextBlockFormat f;
    f.setAlignment(Qt::AlignJustify);
    c.movePosition(QTextCursor::NextBlock);
    c.mergeBlockFormat(f);
    editor->setTextCursor(QTextCursor(editor->document()));
    item(*form, "FormatAlignCenterItem")->trigger();
    ASSERT_TRUE(item(*form, "FormatAlignCenterItem")->isChecked());

    editor->setTextCursor(c); // the caret moves into the justified paragraph
    EXPECT_TRUE(item(*form, "FormatAlignCenterItem")->isChecked());
    EXPECT_EQ(alignmentCode(c.blockFormat().alignment()), 3);
}

TEST_F(MainWindow, AnAlignmentClickDuringTheMenuUpdateIsIgnored) {
    auto form = start();
    form->editor()->setPlainText("text");
    bool reached = false;
    // Checking an item while the menu state is being set must not apply an alignment.
    QObject::connect(item(*form, "FormatAlignLeftItem"), &QAction::toggled, [&](bool on) {
        if (!on || !form->commands()->updatingMenu())
            return;
        reached = true;
        form->commands()->alignClicked(item(*form, "FormatAlignRightItem"));
    });
    item(*form, "FormatAlignCenterItem")->trigger();
    form->editor()->selectAll();
    QTextBlockFormat left;
    left.setAlignment(Qt::AlignLeft);
    form->editor()->textCursor().mergeBlockFormat(left);
    form->commands()->selectionChanged();
    EXPECT_TRUE(reached);
    EXPECT_EQ(form->editor()->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    EXPECT_FALSE(form->commands()->updatingMenu());
}

TEST_F(MainWindow, ACancelledColourDialogWritesNothing) {
    auto form = start();
    form->close();
    const QByteArray before = settingsBytes();
    auto again = start();
    const QByteArray opened = settingsBytes();
    EXPECT_EQ(opened, before);
    const int colour = again->pageColor();
    answerDialog<QColorDialog>(
        [](QColorDialog* d) {
            d->setCurrentColor(Qt::red);
            d->reject();
        },
        [&] { again->mainMenu()->item("FormatColorItem")->trigger(); });
    EXPECT_EQ(settingsBytes(), opened);
    EXPECT_EQ(again->pageColor(), colour);
}

TEST_F(MainWindow, AConfirmedColourIsWrittenAtOnceEvenWhenUnchanged) {
    auto form = start();
    EXPECT_FALSE(settingsBytes().contains("[Colors]"));
    // The dialog starts at black, then at what it last returned.
    QColor shown;
    const auto choose = [&](const QColor& colour) {
        answerDialog<QColorDialog>(
            [&](QColorDialog* d) {
                shown = d->currentColor();
                d->setCurrentColor(colour);
                d->accept();
            },
            [&] { form->mainMenu()->item("FormatColorItem")->trigger(); });
    };
    choose(QColor(255, 0, 0));
    EXPECT_EQ(shown, QColor(Qt::black));
    EXPECT_TRUE(settingsBytes().contains("A=255")) << settingsBytes().constData();
    QFile::remove(folder().path("qly.ini"));
    choose(QColor(255, 0, 0));
    EXPECT_EQ(shown, QColor(255, 0, 0));
    EXPECT_TRUE(settingsBytes().contains("A=255"));
    // The title bar's panels take exactly the editor's colour.
    const QColor editorColour = form->editor()->palette().color(QPalette::Base);
    for (QWidget* w : {static_cast<QWidget*>(form->titleBar()), form->titleBar()->pnNav(),
                       form->titleBar()->pnClose()})
        EXPECT_EQ(w->palette().color(QPalette::Window), editorColour);
}

TEST_F(MainWindow, TheEditorKeepsItsTextInsetAndShowsItsSelectionWithoutFocus) {
    auto form = start();
    QTextEdit* editor = form->editor();
    EXPECT_EQ(editor->viewport()->geometry().left(), 5);
    EXPECT_EQ(editor->width() - editor->verticalScrollBar()->width() -
                  editor->viewport()->geometry().right() - 1,
              5);
    form->resize(500, 300);
    EXPECT_EQ(editor->viewport()->geometry().left(), 5);
    EXPECT_EQ(editor->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    const QPalette pal = editor->palette();
    EXPECT_EQ(pal.color(QPalette::Inactive, QPalette::Highlight),
              pal.color(QPalette::Active, QPalette::Highlight));
}

TEST_F(MainWindow, HintsFollowShowHint) {
    auto form = start();
    QToolButton* close = form->titleBar()->sbClose();
    const auto hint = [&] {
        QToolTip::hideText();
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 3000));
        QHelpEvent e(QEvent::ToolTip, QPoint(3, 3), close->mapToGlobal(QPoint(3, 3)));
        QApplication::sendEvent(close, &e);
        return QToolTip::isVisible() && QToolTip::text() == "Close";
    };
    EXPECT_TRUE(hint());
    form->runningSettings().showHint = false;
    EXPECT_FALSE(hint());
}
