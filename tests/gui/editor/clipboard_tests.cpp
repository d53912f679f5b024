// Paste follows the X clipboard while the main window stays open. Needs a real X server (run
// by tests/x11/clipboard_paste.sh) and xclip as the other program.
#include "editor/editorcommands.h"
#include "mainwindow/mainform.h"
#include "mainwindow/mainmenu.h"
#include "settings/programpaths.h"
#include "support/mainwindowfixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

using namespace qly;

namespace {

class Clipboard : public qlytest::MainWindowTest {
protected:
    // Both Paste items, which always agree.
    static bool pasteEnabled(MainForm& form) {
        const bool main = form.mainMenu()->item("EditPasteItem")->isEnabled();
        const bool context =
            form.commands()->pmEditor()->findChild<QAction*>("Paste1")->isEnabled();
        EXPECT_EQ(main, context);
        return main && context;
    }

    // xclip owns the clipboard for as long as it runs.
    static void startOwner(QProcess& xclip, const QByteArray& text) {
        xclip.start("xclip", {"-selection", "clipboard", "-quiet"});
        ASSERT_TRUE(xclip.waitForStarted());
        xclip.write(text);
        xclip.closeWriteChannel();
    }
};

} // namespace

TEST_F(Clipboard, PasteFollowsAnotherProgramsClipboard) {
    const auto window = startMainWindow();
    MainForm& form = *window;
    EXPECT_FALSE(pasteEnabled(form)); // a fresh X server has an empty clipboard

    QProcess xclip;
    startOwner(xclip, "from another program");
    EXPECT_TRUE(QTest::qWaitFor([&] { return pasteEnabled(form); }, 10000));
    EXPECT_TRUE(form.isVisible());

    // The owner ends: the clipboard is empty again.
    xclip.kill();
    xclip.waitForFinished();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !pasteEnabled(form); }, 10000));

    // Once more, then the window stops listening when it is destroyed.
    QProcess again;
    startOwner(again, "twice");
    EXPECT_TRUE(QTest::qWaitFor([&] { return pasteEnabled(form); }, 10000));
    form.commands()->pmEditor()->findChild<QAction*>("Paste1")->trigger();
    EXPECT_EQ(form.editor()->toPlainText(), "twice");
    again.kill();
    again.waitForFinished();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !pasteEnabled(form); }, 10000));
}

TEST_F(Clipboard, TheWindowStopsListeningWhenDestroyed) {
    auto form = startMainWindow();
    ASSERT_FALSE(pasteEnabled(*form));
    form->formDestroyed();
    QGuiApplication::clipboard()->setText("after the end");
    QTest::qWait(300);
    EXPECT_FALSE(pasteEnabled(*form));
    QGuiApplication::clipboard()->clear();
}

TEST_F(Clipboard, ASessionSaveLeavesTheWindowWorking) {
    auto form = startMainWindow();
    form->editor()->setPlainText("before the checkpoint");
    ASSERT_TRUE(form->saveSession());
    EXPECT_TRUE(folder().read("rtf/A.rtf").contains("before the checkpoint"));
    EXPECT_TRUE(folder().read("qly.ini").contains("ActivePage=0"));

    // A cancelled logout: the program goes on, still follows the clipboard and saves again.
    QProcess xclip;
    startOwner(xclip, "later");
    EXPECT_TRUE(QTest::qWaitFor([&] { return pasteEnabled(*form); }, 10000));
    form->editor()->setPlainText("after the checkpoint");
    form->close();
    EXPECT_TRUE(folder().read("rtf/A.rtf").contains("after the checkpoint"));
    xclip.kill();
    xclip.waitForFinished();
}
