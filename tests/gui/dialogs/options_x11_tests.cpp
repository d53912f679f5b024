// The options dialog on a real X display with a window manager, acted on with xdotool like a
// user would; window states read back with xprop. Started by x11/options_test.sh.
#include "dialogs/optionsform.h"
#include "mainwindow/mainform.h"
#include "mainwindow/minimizer.h"
#include "settings/programpaths.h"
#include "support/mainwindowfixture.h"
#include "support/modaldialogs.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QGroupBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>

using namespace qly;

namespace {

// Acts through the X server, then lets the events arrive.
void xdotool(const QStringList& args) {
    EXPECT_EQ(QProcess::execute(QStringLiteral("xdotool"), args), 0)
        << args.join(' ').toStdString();
    QTest::qWait(150);
}
void click(QWidget* w) {
    const QPoint p = w->mapToGlobal(w->rect().center());
    xdotool({"mousemove", QString::number(p.x()), QString::number(p.y()), "click", "1"});
}

void key(const QString& name) {
    xdotool({"key", name});
}

QString netWmState(QWidget* w) {
    QProcess p;
    p.start(QStringLiteral("xprop"),
            {"-id", QStringLiteral("0x%1").arg(w->windowHandle()->winId(), 0, 16),
             QStringLiteral("_NET_WM_STATE")});
    p.waitForFinished();
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// Waits, with the event loop running, until the condition holds; false after three seconds.
bool waitFor(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(3000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

bool above(QWidget* w) {
    return netWmState(w).contains(QLatin1String("_NET_WM_STATE_ABOVE"));
}

// Opens the options dialog from the main window and runs act on it once it is active;
// returns when the dialog has closed.
void runOptions(MainForm& form, const std::function<void(OptionsForm&)>& act) {
    EXPECT_TRUE(qlytest::actOnModal(
        OptionsForm::staticMetaObject, [&] { form.optionsClicked(); },
        [&](QWidget& dialog) { act(static_cast<OptionsForm&>(dialog)); }))
        << "the dialog never became active";
}

template <typename T> T* child(QWidget& parent, const char* name) {
    return parent.findChild<T*>(QLatin1String(name));
}

class Options : public qlytest::MainWindowTest {
protected:
    std::unique_ptr<MainForm> start(const QByteArray& settings = QByteArray()) {
        return startMainWindow(settings);
    }
    QString settingsFile() const { return QString::fromUtf8(folder().read("qly.ini")); }
};

TEST_F(Options, LayoutCaptionsAndTabOrder) {
    auto form = start();
    runOptions(*form, [](OptionsForm& d) {
        EXPECT_EQ(d.windowTitle(), "Options");
        EXPECT_EQ(d.size(), QSize(242, 381)); // grown downwards for spelling
        // Centred on the screen.
        const QRect screen = d.screen()->geometry();
        EXPECT_NEAR(d.geometry().center().x(), screen.center().x(), 2);
        EXPECT_NEAR(d.geometry().center().y(), screen.center().y(), 2);
        struct Expect {
            const char* name;
            QString caption;
            QRect geometry;
        };
        const Expect controls[] = {
            {"Button1", "OK", {156, 12, 75, 25}},
            {"Button2", "Cancel", {156, 48, 75, 25}},
            {"Button3", "Help", {156, 84, 75, 25}},
            {"cbShowHints", "Show hints", {12, 56, 115, 17}},
            {"cbAlwaysOnTop", "Always on top", {12, 28, 115, 17}},
            {"cbCheckSpelling", "Check spelling as you type", {12, 20, 203, 17}},
            {"cbSkipCapitals", "Skip words in capitals", {12, 40, 203, 17}},
        };
        for (const Expect& e : controls) {
            auto* b = child<QAbstractButton>(d, e.name);
            ASSERT_TRUE(b) << e.name;
            EXPECT_EQ(QString(b->text()).remove('&'), e.caption) << e.name;
            EXPECT_EQ(b->geometry(), e.geometry) << e.name;
            // The caption fits its control.
            if (qobject_cast<QCheckBox*>(b))
                EXPECT_LE(b->sizeHint().width(), b->width()) << e.name;
            else
                EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()) + 8, b->width()) << e.name;
        }
        EXPECT_EQ(child<QGroupBox>(d, "GroupBox2")->title(), " Main window ");
        EXPECT_EQ(child<QGroupBox>(d, "GroupBox2")->geometry(), QRect(8, 8, 133, 85));
        auto* rg = child<QGroupBox>(d, "rgMinimize");
        EXPECT_EQ(rg->title(), " Minimize to ");
        EXPECT_EQ(rg->geometry(), QRect(8, 104, 133, 102));
        const QStringList items{"Taskbar button", "System tray icon", "Floating button"};
        for (int i = 0; i < 3; ++i) {
            auto* r = rg->findChild<QRadioButton*>(QStringLiteral("rgMinimizeItem%1").arg(i));
            ASSERT_TRUE(r);
            EXPECT_EQ(QString(r->text()).remove('&'), items[i]);
            EXPECT_LE(r->sizeHint().width(), r->width()) << i;
        }
        EXPECT_TRUE(child<QPushButton>(d, "Button1")->isDefault());

        // Tab order: OK, Cancel, Help, Show hints, Always on top, the selected mode, then
        // spelling's controls.
        QStringList order;
        for (int i = 0; i < 10; ++i) {
            order << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName()
                                                  : QString());
            key("Tab");
            QTest::qWait(50);
        }
        EXPECT_EQ(order, QStringList({"Button1", "Button2", "Button3", "cbAlwaysOnTop",
                                      "cbShowHints", "rgMinimizeItem0", "cbCheckSpelling",
                                      "cbSkipCapitals", "lbLanguages", "Button1"}));
        d.grab().save(qEnvironmentVariable("QLY_SHOTS", "/tmp") + "/options.png");
        key("Escape");
    });
}

TEST_F(Options, AlwaysOnTopTakesEffectAtOnceBothWays) {
    auto form = start();
    ASSERT_TRUE(waitFor([&] { return above(form.get()); }))
        << "not on top at start: " << netWmState(form.get()).toStdString() << " " << form->winId();

    runOptions(*form, [](OptionsForm& d) {
        click(child<QCheckBox>(d, "cbAlwaysOnTop"));
        key("Return");
    });
    EXPECT_FALSE(form->runningSettings().stayOnTop);
    EXPECT_TRUE(waitFor([&] { return !above(form.get()); }))
        << netWmState(form.get()).toStdString();

    runOptions(*form, [](OptionsForm& d) {
        EXPECT_FALSE(child<QCheckBox>(d, "cbAlwaysOnTop")->isChecked());
        click(child<QCheckBox>(d, "cbAlwaysOnTop"));
        click(child<QPushButton>(d, "Button1"));
    });
    EXPECT_TRUE(form->runningSettings().stayOnTop);
    EXPECT_TRUE(waitFor([&] { return above(form.get()); }));
    // Nothing reaches the settings file before shut-down.
    EXPECT_FALSE(QFile::exists(folder().path("qly.ini")));
}

TEST_F(Options, CancelEscapeAndTheCloseBoxChangeNothing) {
    auto form = start("[Main]\nMinimizeTo=1\nShowHint=1\nStayOnTop=1\n");
    const auto changeEverything = [](OptionsForm& d) {
        click(child<QCheckBox>(d, "cbAlwaysOnTop"));
        click(child<QCheckBox>(d, "cbShowHints"));
        click(d.findChild<QRadioButton*>("rgMinimizeItem2"));
        EXPECT_FALSE(d.alwaysOnTop());
        EXPECT_FALSE(d.showHints());
        EXPECT_EQ(d.minimizeMode(), 2);
    };
    runOptions(*form, [&](OptionsForm& d) {
        changeEverything(d);
        click(child<QPushButton>(d, "Button2"));
    });
    runOptions(*form, [&](OptionsForm& d) {
        changeEverything(d);
        key("Escape");
    });
    runOptions(*form, [&](OptionsForm& d) {
        changeEverything(d);
        // The window manager's close button at the right end of the dialog's title bar.
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"), {"-id", QString::number(d.windowHandle()->winId()),
                                              QStringLiteral("_NET_FRAME_EXTENTS")});
        xprop.waitForFinished();
        const QStringList extents = QString::fromLocal8Bit(xprop.readAllStandardOutput())
                                        .section('=', 1)
                                        .split(',', Qt::SkipEmptyParts);
        ASSERT_EQ(extents.size(), 4) << "the dialog has no frame";
        const int titleHeight = extents[2].trimmed().toInt();
        const QRect inner = d.geometry();
        ASSERT_GT(titleHeight, 8) << "the dialog has no title bar";
        xdotool({"mousemove", QString::number(inner.right() - titleHeight / 2),
                 QString::number(inner.top() - titleHeight / 2), "click", "1"});
        if (!waitFor([&] { return !d.isVisible(); }))
            ADD_FAILURE() << "the close box did not close the dialog";
    });
    const MainSettings& s = form->runningSettings();
    EXPECT_TRUE(s.stayOnTop);
    EXPECT_TRUE(s.showHint);
    EXPECT_EQ(s.minimizeTo, 1);
    EXPECT_TRUE(above(form.get()));
}

TEST_F(Options, HelpLeavesTheDialogOpenWithItsChanges) {
    auto form = start();
    runOptions(*form, [](OptionsForm& d) {
        click(child<QCheckBox>(d, "cbShowHints"));
        click(child<QPushButton>(d, "Button3"));
        QTest::qWait(300);
        EXPECT_TRUE(d.isVisible());
        EXPECT_FALSE(d.showHints());
        d.activateWindow();
        QTest::qWait(100);
        d.accept();
    });
    EXPECT_FALSE(form->runningSettings().showHint);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != form.get() && w->isVisible())
            w->close();
}

TEST_F(Options, AModePastTheLastShowsTheLastAndMinimisesToTheTaskbarUntilConfirmed) {
    auto form = start("[Main]\nMinimizeTo=7\n");
    form->minimizer()->minimize();
    EXPECT_TRUE(waitFor([&] { return netWmState(form.get()).contains("_NET_WM_STATE_HIDDEN"); }));
    EXPECT_EQ(form->minimizer()->state(), Minimizer::State::Taskbar);
    form->bringForward();
    ASSERT_TRUE(waitFor([&] { return form->isActiveWindow(); }));
    EXPECT_EQ(form->minimizer()->state(), Minimizer::State::Normal);

    runOptions(*form, [](OptionsForm& d) {
        EXPECT_TRUE(d.findChild<QRadioButton*>("rgMinimizeItem2")->isChecked());
        key("Return");
    });
    EXPECT_EQ(form->runningSettings().minimizeTo, 2);
}

TEST_F(Options, ANegativeModeShowsNoItemAndIsWrittenBackAsMinusOne) {
    auto form = start("[Main]\nMinimizeTo=-3\n");
    runOptions(*form, [](OptionsForm& d) {
        for (int i = 0; i < 3; ++i)
            EXPECT_FALSE(
                d.findChild<QRadioButton*>(QStringLiteral("rgMinimizeItem%1").arg(i))->isChecked());
        key("Return");
    });
    EXPECT_EQ(form->runningSettings().minimizeTo, -1);
    form->close();
    EXPECT_TRUE(settingsFile().contains("MinimizeTo=-1")) << settingsFile().toStdString();
}

} // namespace

TEST_F(Options, TabStopsAtTheChosenModeOnly) {
    auto form = start();
    form->runningSettings().minimizeTo = 2;
    runOptions(*form, [](OptionsForm& d) {
        child<QCheckBox>(d, "cbShowHints")->setFocus();
        key("Tab");
        EXPECT_TRUE(waitFor([] {
            return QApplication::focusWidget() &&
                   QApplication::focusWidget()->objectName() == "rgMinimizeItem2";
        }));
        key("Tab");
        EXPECT_TRUE(waitFor([] {
            return QApplication::focusWidget() &&
                   QApplication::focusWidget()->objectName() == "cbCheckSpelling";
        }));
        key("Tab");
        key("Tab");
        key("Tab");
        EXPECT_TRUE(waitFor([] {
            return QApplication::focusWidget() &&
                   QApplication::focusWidget()->objectName() == "Button1";
        }));
        key("Escape");
    });
}
