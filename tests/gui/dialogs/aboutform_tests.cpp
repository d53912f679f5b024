// The about box on its own: layout, the logo, the version line, the links and the warnings
// when the desktop cannot open an address. Runs on the offscreen platform.
#include "dialogs/aboutform.h"
#include "dialogs/optionsform.h"
#include "find/findform.h"
#include "help/helpviewer.h"
#include "settings/programpaths.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace qly;

namespace {

struct Box {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    int buttons;
};

// Runs action and answers every message box it shows.
QList<Box> answerMessageBoxes(const std::function<void()>& action) {
    QList<Box> boxes;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&boxes] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes.append({box->windowTitle(), box->text(), box->icon(),
                          static_cast<int>(box->buttons().size())});
            box->accept();
        }
    });
    timer.start();
    action();
    return boxes;
}

template <typename T> T* child(const QWidget& parent, const char* name) {
    T* w = parent.findChild<T*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

TEST(AboutForm, LaysOutTheBoxAsDesigned) {
    AboutForm form;
    form.show();
    EXPECT_EQ(form.objectName(), QStringLiteral("AboutForm"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("About Quillery"));
    EXPECT_EQ(form.size(), QSize(395, 258));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());

    const QList<std::pair<const char*, QRect>> places{
        {"Bevel2", QRect(8, 8, 268, 241)},      {"Image2", QRect(12, 12, 260, 81)},
        {"btOk", QRect(286, 8, 100, 26)},       {"btAcknowledgments", QRect(286, 42, 100, 26)},
        {"btWebSite", QRect(286, 76, 100, 26)}, {"btEmail", QRect(286, 110, 100, 26)},
    };
    for (const auto& [name, rect] : places)
        EXPECT_EQ(child<QWidget>(form, name)->geometry(), rect) << name;
    EXPECT_EQ(child<QWidget>(form, "Bevel1")->geometry().topLeft(), QPoint(12, 186));
    // "Support:" and the address keep their places unless the font needs more room.
    const QRect support = child<QWidget>(form, "StaticText8")->geometry();
    const QRect address = child<QWidget>(form, "StaticText4")->geometry();
    EXPECT_EQ(support.topLeft(), QPoint(25, 166));
    EXPECT_EQ(support.height(), 17);
    EXPECT_GE(support.width(), 44);
    EXPECT_EQ(address.top(), 166);
    EXPECT_GE(address.left(), 73);
    EXPECT_GT(address.left(), support.right());
    EXPECT_EQ(child<QWidget>(form, "Bevel1")->width(), 260);

    EXPECT_EQ(child<QPushButton>(form, "btOk")->text(), QStringLiteral("OK"));
    EXPECT_EQ(child<QPushButton>(form, "btAcknowledgments")->text(), QStringLiteral("&Help"));
    EXPECT_EQ(child<QPushButton>(form, "btWebSite")->text(), QStringLiteral("Visit &Web Site"));
    EXPECT_EQ(child<QPushButton>(form, "btEmail")->text(), QStringLiteral("&E-mail"));
    EXPECT_EQ(child<QLabel>(form, "StaticText8")->text(), QStringLiteral("Support:"));
    EXPECT_TRUE(child<QPushButton>(form, "btOk")->isDefault());

    // Every caption fits its control.
    for (const char* name : {"btOk", "btAcknowledgments", "btWebSite", "btEmail"}) {
        auto* b = child<QPushButton>(form, name);
        EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()) + 8, b->width()) << name;
    }
    for (const char* name : {"StaticText8", "StaticText4", "lbVersion"}) {
        auto* l = child<QLabel>(form, name);
        EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->width()) << name;
        EXPECT_LE(l->geometry().right(), 276) << name << " leaves the frame";
    }

    // Tab order: OK, Help, Visit Web Site, E-mail, and round again.
    QStringList order;
    QWidget* w = child<QWidget>(form, "btOk");
    for (int i = 0; i < 5; ++i) {
        order << w->objectName();
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus) || w == &form);
    }
    EXPECT_EQ(order, (QStringList{"btOk", "btAcknowledgments", "btWebSite", "btEmail", "btOk"}));
}

TEST(AboutForm, ShowsTheVersionOfTheBuild) {
    AboutForm form;
    const QString expected = QStringLiteral("Quillery\u2122 ") + QStringLiteral(QLY_TEST_VERSION);
    EXPECT_EQ(AboutForm::versionLine(), expected);
    EXPECT_EQ(child<QLabel>(form, "lbVersion")->text(), expected);
}

TEST(AboutForm, DrawsItsLogo) {
    const QImage logo = AboutForm::drawLogo().toImage();
    ASSERT_EQ(logo.size(), QSize(260, 81));
    // Green, darker in the middle than at the top and the bottom.
    const QColor top = logo.pixelColor(3, 1), middle = logo.pixelColor(3, 40),
                 bottom = logo.pixelColor(3, 79);
    for (const QColor& c : {top, middle, bottom})
        EXPECT_GT(c.green(), qMax(c.red(), c.blue())) << c.name().toStdString();
    EXPECT_LT(middle.lightness(), top.lightness() - 40);
    EXPECT_LT(middle.lightness(), bottom.lightness() - 40);
    // The name in white letters in the upper half, pale capitals below the rule.
    int white = 0, pale = 0;
    for (int y = 0; y < 81; ++y)
        for (int x = 0; x < 260; ++x) {
            const QColor c = logo.pixelColor(x, y);
            if (c.red() > 235 && c.green() > 235 && c.blue() > 235)
                white += y < 52;
            if (y > 56 && c.red() > 150 && c.blue() > 150)
                ++pale;
        }
    EXPECT_GT(white, 300);
    EXPECT_GT(pale, 50);
}

TEST(AboutForm, TheAddressIsALinkToAnEmail) {
    AboutForm form;
    QList<QUrl> opened;
    form.setUrlOpener([&opened](const QUrl& url) {
        opened << url;
        return true;
    });
    form.show();
    auto* link = child<QLabel>(form, "StaticText4");
    EXPECT_EQ(link->text(), AboutForm::SupportEmail);
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->palette().color(QPalette::WindowText), link->palette().color(QPalette::Link));
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(link->height(), 17);

    QTest::mouseClick(link, Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(form, "btEmail"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(form, "btWebSite"), Qt::LeftButton);
    QTest::mouseClick(link, Qt::RightButton);
    const QUrl mail(QStringLiteral("mailto:") + AboutForm::SupportEmail);
    EXPECT_EQ(opened, (QList<QUrl>{mail, mail, AboutForm::WebSite}));
    // Addresses reserved for examples: nothing real is contacted.
    EXPECT_TRUE(AboutForm::WebSite.host().endsWith(QLatin1String("example.com")));
    EXPECT_TRUE(AboutForm::SupportEmail.endsWith(QLatin1String("@example.com")));
    EXPECT_EQ(AboutForm::WebSite.scheme(), QStringLiteral("https"));
    EXPECT_TRUE(form.isVisible());
}

TEST(AboutForm, WarnsWhenNoBrowserOrMailerOpensAndStaysOpen) {
    AboutForm form;
    form.setUrlOpener([](const QUrl&) { return false; });
    form.show();
    const QList<Box> web = answerMessageBoxes(
        [&] { QTest::mouseClick(child<QPushButton>(form, "btWebSite"), Qt::LeftButton); });
    const QList<Box> mail = answerMessageBoxes(
        [&] { QTest::mouseClick(child<QPushButton>(form, "btEmail"), Qt::LeftButton); });
    const QList<Box> link = answerMessageBoxes(
        [&] { QTest::mouseClick(child<QLabel>(form, "StaticText4"), Qt::LeftButton); });
    ASSERT_EQ(web.size(), 1);
    ASSERT_EQ(mail.size(), 1);
    ASSERT_EQ(link.size(), 1);
    EXPECT_EQ(web[0].text, QStringLiteral("Can't execute default browser"));
    EXPECT_EQ(mail[0].text, QStringLiteral("Can't execute default emailer"));
    EXPECT_EQ(link[0].text, QStringLiteral("Can't execute default emailer"));
    for (const Box& b : {web[0], mail[0]}) {
        EXPECT_EQ(b.title, QStringLiteral("Warning"));
        EXPECT_EQ(b.icon, QMessageBox::Warning);
        EXPECT_EQ(b.buttons, 1);
    }
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.result(), 0);
}

// xdg-open starts but finds no browser (exit code 3): the warning still comes, once it ends.
TEST(AboutForm, WarnsWhenXdgOpenFindsNoBrowser) {
    QTemporaryDir bin;
    ASSERT_TRUE(bin.isValid());
    QFile stub(bin.filePath(QStringLiteral("xdg-open")));
    ASSERT_TRUE(stub.open(QIODevice::WriteOnly));
    stub.write("#!/bin/sh\nexit 3\n");
    stub.close();
    stub.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit() + ':' + path);

    AboutForm form;
    form.show();
    QStringList shown;
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown << box->text();
            box->accept();
        }
    });
    answer.start();
    QTest::mouseClick(child<QPushButton>(form, "btWebSite"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !shown.isEmpty(); }, 10000));
    qputenv("PATH", path);
    EXPECT_EQ(shown, QStringList{QStringLiteral("Can't execute default browser")});
    EXPECT_TRUE(form.isVisible());
}

TEST(AboutForm, HelpWithoutAHelpFileShowsNothingAndOkCloses) {
    ASSERT_FALSE(QFile::exists(helpFilePath()));
    AboutForm form;
    QList<Box> boxes;
    int result = -1;
    QTimer::singleShot(0, [&] {
        boxes = answerMessageBoxes([&] {
            QTest::mouseClick(child<QPushButton>(form, "btAcknowledgments"), Qt::LeftButton);
        });
        EXPECT_TRUE(form.isVisible());
        EXPECT_TRUE(HelpViewer::existing() == nullptr || !HelpViewer::existing()->isVisible());
        QTest::keyClick(&form, Qt::Key_Return); // OK is the default button
    });
    result = form.exec();
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_EQ(result, QDialog::Accepted);
}

} // namespace

// With a 16-point desktop font the dialogs grow with it, every caption whole, and still fit a
// 1280 x 800 screen; at the usual size they keep the designed size (the tests above).
TEST(DesktopFont, DialogsGrowWithALargeDesktopFontAndFitTheScreen) {
    const QFont before = QApplication::font();
    QFont large = before;
    large.setPointSize(16);
    QApplication::setFont(large);
    FindForm find(QStringLiteral("/nonexistent/"));
    OptionsForm options;
    AboutForm about;
    for (QDialog* d : std::initializer_list<QDialog*>{&find, &options, &about}) {
        const std::string name = d->objectName().toStdString();
        EXPECT_GT(d->font().pointSizeF(), 12) << name;
        EXPECT_LE(d->width(), 1280) << name;
        EXPECT_LE(d->height(), 800 - 60) << name; // room for a title bar and a panel
        for (QAbstractButton* b : d->findChildren<QAbstractButton*>())
            EXPECT_LE(b->fontMetrics().horizontalAdvance(QString(b->text()).remove('&')),
                      b->width())
                << name << " " << b->objectName().toStdString();
        for (QLabel* l : d->findChildren<QLabel*>()) {
            if (!l->wordWrap() && l->pixmap().isNull()) {
                EXPECT_LE(l->sizeHint().width(), l->width() + 1)
                    << name << " " << l->objectName().toStdString();
            }
        }
    }
    const QRect panel = about.findChild<QWidget*>("Bevel2")->geometry();
    EXPECT_TRUE(panel.contains(about.findChild<QWidget*>("StaticText4")->geometry()));
    QApplication::setFont(before);
}
