// The font dialog on its own, and the Font command through it into the editor and the page
// file, in-process on the offscreen platform.
#include "editor/editorcommands.h"
#include "editor/fontdialog.h"
#include "editor/richtextconvert.h"
#include "mainwindow/mainform.h"
#include "mainwindow/mainmenu.h"
#include "rtf/rtf.h"
#include "support/mainwindowfixture.h"
#include "support/modaldialogs.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFile>
#include <QFontInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

using namespace qly;

namespace {

template <typename T> T* control(QWidget& dialog, const char* name) {
    T* w = dialog.findChild<T*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void pick(QListWidget* list, const QString& text) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    list->setCurrentItem(found.first());
}

void pickColor(QWidget& dialog, const QString& name) {
    auto* box = control<QComboBox>(dialog, "cbColor");
    const int index = box->findText(name);
    ASSERT_GE(index, 0) << name.toStdString();
    box->setCurrentIndex(index);
    emit box->activated(index);
}

class FontCommand : public qlytest::MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        m_form = startMainWindow();
        m_editor = m_form->editor();
    }
    void TearDown() override {
        m_form.reset();
        MainWindowTest::TearDown();
    }
    // Runs the Font command; act plays the user in the dialog. Returns whether it was shown.
    bool runFont(const std::function<void(QWidget&)>& act) {
        return qlytest::actOnModal(
            FontDialog::staticMetaObject,
            [&] { m_form->mainMenu()->item("FormatFontItem")->trigger(); }, act);
    }
    void select(int from, int to) {
        QTextCursor c(m_editor->document());
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        m_editor->setTextCursor(c);
    }
    QByteArray savedPage() {
        m_form->saveCurrentPage();
        QFile f(folder().path(QStringLiteral("rtf/A.rtf")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The runs of the saved page's first paragraph.
    QList<TextRun> savedRuns() {
        const Document doc = rtf::readDocument(savedPage());
        return doc.paragraphs.empty()
                   ? QList<TextRun>()
                   : QList<TextRun>(doc.paragraphs[0].runs.begin(), doc.paragraphs[0].runs.end());
    }

    std::unique_ptr<MainForm> m_form;
    QTextEdit* m_editor = nullptr;
};

} // namespace

TEST_F(FontCommand, ColourUnderlineAndStrikeOutReachTheSelectionAndThePage) {
    m_editor->setPlainText("plain red");
    select(6, 9);
    ASSERT_TRUE(runFont([](QWidget& d) {
        pickColor(d, "Red");
        control<QCheckBox>(d, "cbUnderline")->setChecked(true);
        control<QCheckBox>(d, "cbStrikeout")->setChecked(true);
        QTest::mouseClick(control<QPushButton>(d, "btOK"), Qt::LeftButton);
    }));
    EXPECT_EQ(m_form->focusWidget(), m_editor);
    const QByteArray page = savedPage();
    EXPECT_TRUE(page.contains("\\red255\\green0\\blue0;")) << page.constData();
    const QList<TextRun> runs = savedRuns();
    ASSERT_EQ(runs.size(), 2) << page.constData();
    EXPECT_EQ(runs[0].text, "plain ");
    EXPECT_FALSE(runs[0].format.color || runs[0].format.underline || runs[0].format.strike);
    EXPECT_EQ(runs[1].text, "red");
    EXPECT_EQ(runs[1].format.color, 0xFF0000u);
    EXPECT_TRUE(runs[1].format.underline && runs[1].format.strike);
    EXPECT_EQ(runs[1].format.font, runs[0].format.font);

    // The dialog shows what the selection has; Cancel changes nothing.
    ASSERT_TRUE(runFont([](QWidget& d) {
        EXPECT_EQ(control<QComboBox>(d, "cbColor")->currentText(), "Red");
        EXPECT_TRUE(control<QCheckBox>(d, "cbUnderline")->isChecked());
        EXPECT_TRUE(control<QCheckBox>(d, "cbStrikeout")->isChecked());
        pickColor(d, "Blue");
        control<QCheckBox>(d, "cbUnderline")->setChecked(false);
        QTest::keyClick(&d, Qt::Key_Escape);
    }));
    EXPECT_EQ(savedPage(), page);

    // "Automatic" takes the colour away again.
    select(0, 9);
    ASSERT_TRUE(runFont([](QWidget& d) {
        pickColor(d, "Automatic");
        QTest::keyClick(&d, Qt::Key_Return);
    }));
    for (const TextRun& run : savedRuns())
        EXPECT_FALSE(run.format.color) << run.text.toStdString();
}

TEST_F(FontCommand, AMixedSelectionTakesOnlyWhatWasChanged) {
    m_editor->setPlainText("small big");
    select(6, 9);
    QTextCharFormat big;
    big.setFontPointSize(20);
    big.setFontWeight(QFont::Bold);
    m_editor->textCursor().mergeCharFormat(big);
    select(0, 9); // the dialog shows the format at the end: bold, 20 points
    ASSERT_TRUE(runFont([](QWidget& d) {
        EXPECT_EQ(control<QLineEdit>(d, "edSize")->text(), QLocale().toString(20));
        pickColor(d, "Navy");
        pick(control<QListWidget>(d, "lstStyle"), "Bold Italic");
        QTest::keyClick(&d, Qt::Key_Return);
    }));
    const QList<TextRun> runs = savedRuns();
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].format.size, 10);
    EXPECT_FALSE(runs[0].format.bold);
    EXPECT_EQ(runs[1].format.size, 20);
    EXPECT_TRUE(runs[1].format.bold);
    for (const TextRun& run : runs) {
        EXPECT_EQ(run.format.color, 0x000080u);
        EXPECT_TRUE(run.format.italic);
    }
}

TEST_F(FontCommand, WithNothingSelectedTheChoiceIsForTheTextTypedNext) {
    QTest::keyClicks(m_editor, "before ");
    ASSERT_TRUE(runFont([](QWidget& d) {
        pick(control<QListWidget>(d, "lstStyle"), "Bold");
        auto* size = control<QLineEdit>(d, "edSize");
        size->clear();
        QTest::keyClicks(size, "13.5");
        pickColor(d, "Green");
        QTest::mouseClick(control<QPushButton>(d, "btOK"), Qt::LeftButton);
    }));
    EXPECT_EQ(m_form->focusWidget(), m_editor);
    QTest::keyClicks(m_editor, "after");
    const QList<TextRun> runs = savedRuns();
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs[0].text, "before ");
    EXPECT_FALSE(runs[0].format.bold);
    EXPECT_EQ(runs[1].text, "after");
    EXPECT_TRUE(runs[1].format.bold);
    EXPECT_EQ(runs[1].format.size, 13.5);
    EXPECT_EQ(runs[1].format.color, 0x008000u);
}

TEST_F(FontCommand, SelectAllAndBoldWithTheDefaultFontNameARealFamily) {
    QTest::keyClicks(m_editor, "some text");
    m_form->mainMenu()->item("EditSelectAllItem")->trigger();
    ASSERT_TRUE(runFont([](QWidget& d) {
        EXPECT_EQ(control<QLineEdit>(d, "edFamily")->text(), realFamily(editorDefaultFont()));
        pick(control<QListWidget>(d, "lstStyle"), "Bold");
        QTest::keyClick(&d, Qt::Key_Return);
    }));
    const QByteArray page = savedPage();
    EXPECT_TRUE(page.contains(" " + realFamily(editorDefaultFont()).toUtf8() + ";}"))
        << page.constData();
    EXPECT_TRUE(page.contains("\\b ")) << page.constData();
}

TEST(FontDialog, FieldsCompleteTakeAnySizeAndKeepWhatTheListsLack) {
    FontDialog dialog;
    QFont loaded(QStringLiteral("No Such Family Installed"));
    loaded.setPointSizeF(11);
    loaded.setBold(true);
    dialog.setCurrentFont(loaded);
    dialog.setCurrentColor(QColor(1, 2, 3));
    // A family that is not installed, a style it has no face for, a colour outside the
    // sixteen: all come back as they were loaded.
    QFont font = dialog.currentFont();
    EXPECT_EQ(font.family(), loaded.family());
    EXPECT_TRUE(font.bold());
    EXPECT_FALSE(font.italic());
    EXPECT_EQ(font.pointSizeF(), 11);
    EXPECT_EQ(dialog.currentColor(), QColor(1, 2, 3));

    // Typing the start of a family picks it.
    const QString family = realFamily(editorDefaultFont());
    auto* edFamily = control<QLineEdit>(dialog, "edFamily");
    edFamily->clear();
    QTest::keyClicks(edFamily, family.left(4).toLower());
    EXPECT_TRUE(dialog.currentFont().family().startsWith(family.left(4)));
    edFamily->clear();
    QTest::keyClicks(edFamily, family);
    EXPECT_EQ(dialog.currentFont().family(), family);

    // Any positive size, to half points, up to what a page keeps; nonsense keeps the size.
    auto* edSize = control<QLineEdit>(dialog, "edSize");
    const auto typeSize = [&](const char* text) {
        edSize->clear();
        QTest::keyClicks(edSize, text);
        return dialog.currentFont().pointSizeF();
    };
    EXPECT_EQ(typeSize("7,3"), 7.5);
    EXPECT_EQ(typeSize("200"), 200);
    EXPECT_EQ(typeSize("0.1"), 0.5);
    EXPECT_EQ(typeSize("9999"), FontDialog::MaxPointSize);
    EXPECT_EQ(typeSize("0"), 11);
    EXPECT_EQ(typeSize("abc"), 11);
}

// A page names only fonts that exist under that name elsewhere too: no fontconfig alias
// ("Sans Serif", "Monospace") and no foundry tag ("Nimbus Sans [urw]").
TEST(FontDialog, OffersFamiliesByTheirOwnNames) {
    FontDialog dialog;
    auto* list = control<QListWidget>(dialog, "lstFamily");
    ASSERT_GT(list->count(), 0);
    for (int i = 0; i < list->count(); ++i) {
        const QString family = list->item(i)->text();
        EXPECT_FALSE(family.contains(QLatin1Char('['))) << family.toStdString();
        // The face drawn is of that family (Qt names it with its foundry when there are two).
        EXPECT_TRUE(QFontInfo(QFont(family)).family().startsWith(family)) << family.toStdString();
    }
}

// A screen reader names every control the Tab key reaches: by its own name or by its label.
TEST(FontDialog, EveryControlIsNamed) {
    FontDialog dialog;
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || w->isWindow())
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        const bool labelled = !a->relations(QAccessible::Label).isEmpty();
        EXPECT_TRUE(labelled || !a->text(QAccessible::Name).isEmpty())
            << w->objectName().toStdString();
    }
}

TEST(FontDialog, KeyboardReachesEveryControlInOrder) {
    QWidget owner;
    owner.show();
    FontDialog dialog(&owner);
    dialog.setCurrentFont(editorDefaultFont());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    const char* order[] = {"edFamily", "lstFamily", "edStyle",     "lstStyle",
                           "edSize",   "lstSize",   "cbStrikeout", "cbUnderline",
                           "cbColor",  "btOK",      "btCancel"};
    EXPECT_TRUE(control<QLineEdit>(dialog, "edFamily")->hasSelectedText());
    for (const char* name : order) {
        EXPECT_EQ(QApplication::focusWidget()->objectName(), name);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // Each label's access key reaches its field; arrows in a field walk its list.
    QTest::keyClick(&dialog, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "edSize");
    const QString size = control<QLineEdit>(dialog, "edSize")->text();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_GT(dialog.currentFont().pointSizeF(), QLocale().toDouble(size));
    QTest::keyClick(&dialog, Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "cbColor");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(FontDialog, CustomColourComesFromTheColourDialogAndCancelKeepsTheLast) {
    QWidget owner;
    owner.show();
    FontDialog dialog(&owner);
    dialog.setCurrentColor(QColor(Qt::red));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    const auto custom = [&](const std::function<void(QColorDialog&)>& answer) {
        return qlytest::actOnModal(
            QColorDialog::staticMetaObject, [&] { pickColor(dialog, "Custom..."); },
            [&](QWidget& d) { answer(static_cast<QColorDialog&>(d)); });
    };
    ASSERT_TRUE(custom([](QColorDialog& d) {
        EXPECT_EQ(d.currentColor(), QColor(Qt::red));
        d.setCurrentColor(QColor(1, 2, 3));
        d.accept();
    }));
    EXPECT_EQ(dialog.currentColor(), QColor(1, 2, 3));
    EXPECT_EQ(control<QComboBox>(dialog, "cbColor")->currentText(), "Custom");
    ASSERT_TRUE(custom([](QColorDialog& d) { d.reject(); }));
    EXPECT_EQ(dialog.currentColor(), QColor(1, 2, 3));
}
