// The main window's page store in-process: switching, shut-down, and what happens when the
// disk refuses a write. Runs on the offscreen platform.
#include "history/copynotice.h"
#include "mainwindow/mainform.h"
#include "mainwindow/titlebar.h"
#include "pages/closingnotes.h"
#include "pages/pagestore.h"
#include "pages/recovery.h"
#include "settings/programpaths.h"
#include "support/messageboxes.h"
#include "support/tempdir.h"

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

using namespace qly;
using qlytest::answerMessageBoxes;
using qlytest::TempDir;

namespace {
// What a close kept to say for the next start (no box holds a close), taken from both places.
ClosingNotes::Taken takeClosingNotes(const QString& root) {
    ClosingNotes::Taken notes = ClosingNotes(RecoveryStore(root).folder()).take();
    const ClosingNotes::Taken user = ClosingNotes(RecoveryStore::forUser(root).folder()).take();
    notes.messages += user.messages;
    notes.unsavedPages += user.unsavedPages;
    return notes;
}
} // namespace

namespace {

// True when this process may write where file modes say it may not (root with its
// capabilities): the read-only cases then cannot happen and are run by the unprivileged pass.
bool modesAreIgnored(const QString& dir) {
    QDir(dir).mkpath(QStringLiteral("probe"));
    ::chmod(QFile::encodeName(dir + "/probe").constData(), 0555);
    QFile f(dir + "/probe/x");
    const bool ignored = f.open(QIODevice::WriteOnly);
    f.remove();
    ::chmod(QFile::encodeName(dir + "/probe").constData(), 0755);
    QDir(dir + "/probe").removeRecursively();
    return ignored;
}

class MainFormPages : public ::testing::Test {
protected:
    void SetUp() override {
        setProgramPathForTesting(root() + "/qly");
        // Recovery copies that cannot go beside the pages go here, not to the user's folder.
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_state.path()));
    }
    void TearDown() override {
        setProgramPathForTesting(QString());
        qunsetenv("XDG_STATE_HOME");
    }

    virtual QString root() const { return m_dir.path(); }

    std::unique_ptr<MainForm> start() {
        auto form = std::make_unique<MainForm>();
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return form;
    }
    static void choosePage(MainForm& form, int index) {
        form.titleBar()->cbNotes()->setCurrentIndex(index);
        form.cbNotesChange();
    }
    QByteArray file(const QString& name) const {
        QFile f(root() + "/" + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    TempDir m_dir;
    TempDir m_state;
};

} // namespace

TEST_F(MainFormPages, SwitchSavesTheLeftPageAndLoadsTheChosenOne) {
    QDir().mkpath(root() + "/rtf");
    m_dir.write("rtf/C.rtf", "page C text");
    auto form = start();
    form->editor()->setPlainText("typed on A");
    choosePage(*form, 2);
    EXPECT_EQ(form->editor()->toPlainText(), "page C text");
    EXPECT_EQ(form->editor()->textCursor().position(), 0);
    EXPECT_EQ(form->pages().currentPageFile(), root() + "/rtf/C.rtf");
    EXPECT_EQ(form->pages().rememberedPageIndex(), 2);
    EXPECT_EQ(form->pageColor(), 0xC0FFC0);
    EXPECT_TRUE(file("rtf/A.rtf").startsWith("{\\rtf"));

    // A page whose file vanished while not shown is an empty page.
    QFile::remove(root() + "/rtf/A.rtf");
    choosePage(*form, 0);
    EXPECT_EQ(form->editor()->toPlainText(), QString());
    EXPECT_EQ(form->pageColor(), 0xFFC080);
}

TEST_F(MainFormPages, AnInactiveWindowIgnoresASwitch) {
    auto form = start();
    form->editor()->setPlainText("stays");
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    choosePage(*form, 5);
    EXPECT_EQ(form->editor()->toPlainText(), "stays");
    EXPECT_EQ(form->pages().rememberedPageIndex(), 0);
    EXPECT_EQ(file("rtf/A.rtf"), "<missing>");
}

TEST_F(MainFormPages, ColoursComeFromTheSettingsFile) {
    m_dir.write("qly.ini", "[Colors]\nB=255\n");
    auto form = start();
    choosePage(*form, 1);
    EXPECT_EQ(form->pageColor(), 255);
}

TEST_F(MainFormPages, AReadOnlyPageFolderKeepsTheOldFileAndTheEditorsPage) {
    if (modesAreIgnored(root()))
        GTEST_SKIP() << "file modes do not bind this process; the unprivileged pass runs it";
    QDir().mkpath(root() + "/rtf");
    m_dir.write("rtf/A.rtf", "old A");
    auto form = start();
    form->editor()->setPlainText("new words on A");
    ::chmod(QFile::encodeName(root() + "/rtf").constData(), 0555);
    const QStringList boxes = answerMessageBoxes([&] {
        form->titleBar()->cbNotes()->setCurrentIndex(3);
        emit form->titleBar()->cbNotes()->activated(3);
    });
    ::chmod(QFile::encodeName(root() + "/rtf").constData(), 0755);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], "Cannot create file " + root() + "/rtf/A.rtf: Permission denied.");
    EXPECT_EQ(file("rtf/A.rtf"), "old A");
    EXPECT_EQ(form->editor()->toPlainText(), "new words on A");
    EXPECT_EQ(form->pages().rememberedPageIndex(), 0);
    EXPECT_EQ(form->pages().currentPageFile(), root() + "/rtf/A.rtf");
    EXPECT_EQ(form->titleBar()->cbNotes()->currentIndex(), 0) << "the letter of the page shown";
    form->close();
    EXPECT_TRUE(file("qly.ini").contains("ActivePage=0"));
}

TEST_F(MainFormPages, AReadOnlySettingsFileIsReportedAndThePageStillSaved) {
    if (modesAreIgnored(root()))
        GTEST_SKIP() << "file modes do not bind this process; the unprivileged pass runs it";
    m_dir.write("qly.ini", "[Main]\nTitleHeight=30\n");
    ::chmod(QFile::encodeName(root() + "/qly.ini").constData(), 0444);
    auto form = start();
    form->editor()->setPlainText("keep me");
    EXPECT_TRUE(answerMessageBoxes([&] { form->close(); }).isEmpty()) << "no box at the close";
    EXPECT_EQ(takeClosingNotes(root()).messages,
              QStringList{"Unable to write to " + root() + "/qly.ini: Permission denied."});
    EXPECT_EQ(file("qly.ini"), "[Main]\nTitleHeight=30\n");
    EXPECT_TRUE(file("rtf/A.rtf").contains("keep me"));
}

// A sync client replaces the page shown while nothing is typed: the new text shows, and the
// caret and the view stay where the reader left them.
TEST_F(MainFormPages, APageReplacedWhileShownKeepsTheCaretAndTheView) {
    QDir().mkpath(root() + "/rtf");
    QByteArray lines;
    for (int i = 0; i < 400; ++i)
        lines += "line " + QByteArray::number(i) + "\\par ";
    m_dir.write("rtf/A.rtf", "{\\rtf1\\ansi " + lines + "}");
    auto form = start();
    QTextEdit* editor = form->editor();
    // A long page is put in the editor in parts.
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->toPlainText().endsWith("line 399"); }, 5000));
    const auto laidOut = [&] {
        return editor->verticalScrollBar()->maximum() > 20 * editor->viewport()->height();
    };
    ASSERT_TRUE(QTest::qWaitFor(laidOut, 5000));
    QTextCursor caret(editor->document()->findBlockByNumber(200));
    editor->setTextCursor(caret);
    editor->ensureCursorVisible();
    // The caret in the middle of the view, not where showing it would scroll to.
    editor->verticalScrollBar()->setValue(editor->verticalScrollBar()->value() +
                                          editor->viewport()->height() / 3);
    const int position = editor->textCursor().position();
    const int scroll = editor->verticalScrollBar()->value();
    ASSERT_GT(scroll, 0);

    m_dir.write("rtf/A.new", "{\\rtf1\\ansi " + lines + "synced\\par }");
    ASSERT_EQ(::rename(QFile::encodeName(root() + "/rtf/A.new").constData(),
                       QFile::encodeName(root() + "/rtf/A.rtf").constData()),
              0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->toPlainText().endsWith("synced"); }, 5000));
    EXPECT_EQ(editor->textCursor().position(), position);
    EXPECT_EQ(editor->verticalScrollBar()->value(), scroll);
}

// Another program deletes the page shown while nothing is typed: its last text is kept as its
// newest version, and a notice says so and offers its history.
TEST_F(MainFormPages, APageDeletedWhileShownIsKeptInItsHistory) {
    QDir().mkpath(root() + "/rtf");
    m_dir.write("rtf/A.rtf", "{\\rtf1\\ansi the last words\\par }");
    QDir().mkpath(root() + "/backup");
    m_dir.write("backup/A.1.rtf", "{\\rtf1 older}");
    auto form = start();
    QTextEdit* editor = form->editor();
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->toPlainText() == "the last words"; }, 5000));
    ASSERT_TRUE(QFile::remove(root() + "/rtf/A.rtf"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->copyNotice()->isVisible(); }, 5000));
    EXPECT_EQ(form->copyNotice()->textLabel()->text(),
              "Page A was deleted by another program. Its last text is kept in its history.");
    EXPECT_EQ(form->copyNotice()->offeredPage(), 0);
    EXPECT_TRUE(file("backup/A.1.rtf").contains("the last words"));
    EXPECT_EQ(file("backup/A.2.rtf"), "{\\rtf1 older}");
    EXPECT_TRUE(editor->toPlainText().isEmpty());
    EXPECT_TRUE(answerMessageBoxes([&] { form->close(); }).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(root() + "/rtf/A.rtf")) << "an empty page is not written";
}

// A page file that is there but cannot be read: a folder in its place, a device read error,
// and (in the unprivileged pass) a file without read permission.
TEST_F(MainFormPages, AnUnreadablePageIsShownReadOnlyAndNeverWrittenOver) {
    QDir().mkpath(root() + "/rtf/C.rtf");
    ASSERT_TRUE(QFile::link("/proc/self/mem", root() + "/rtf/D.rtf"));
    m_dir.write("rtf/E.rtf", "private words");
    ::chmod(QFile::encodeName(root() + "/rtf/E.rtf").constData(), 0);
    const bool modeBinds = !modesAreIgnored(root());
    auto form = start();
    for (int page : {2, 3, 4}) {
        if (page == 4 && !modeBinds)
            continue;
        const QString file = root() + "/rtf/" + pageLetter(page) + ".rtf";
        const QStringList boxes = answerMessageBoxes([&] { choosePage(*form, page); });
        ASSERT_EQ(boxes.size(), 1) << page;
        EXPECT_TRUE(boxes[0].contains(file)) << boxes[0].toStdString();
        EXPECT_TRUE(form->editor()->isReadOnly());
        EXPECT_EQ(form->editor()->toPlainText(), QString());
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        choosePage(*form, 0);
        EXPECT_FALSE(form->editor()->isReadOnly());
    }
    answerMessageBoxes([&] { choosePage(*form, 3); });
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_TRUE(answerMessageBoxes([&] { form->close(); }).isEmpty());
    EXPECT_TRUE(QFileInfo(root() + "/rtf/C.rtf").isDir());
    EXPECT_EQ(QFileInfo(root() + "/rtf/D.rtf").symLinkTarget(), "/proc/self/mem");
    ::chmod(QFile::encodeName(root() + "/rtf/E.rtf").constData(), 0644);
    EXPECT_EQ(file("rtf/E.rtf"), "private words");
    EXPECT_TRUE(file("qly.ini").contains("ActivePage=3"));
}

TEST_F(MainFormPages, AFolderThatCannotBeWrittenIsSaidOnceAndTheTypingKeptForTheNextStart) {
    if (modesAreIgnored(root()))
        GTEST_SKIP() << "file modes do not bind this process; the unprivileged pass runs it";
    QDir().mkpath(root() + "/rtf");
    m_dir.write("rtf/A.rtf", "old A");
    const auto setMode = [this](mode_t mode) {
        for (const char* folder : {"/rtf", ""})
            ::chmod(QFile::encodeName(root() + folder).constData(), mode);
    };
    setMode(0555);
    std::unique_ptr<MainForm> form;
    // The messages come once the window is up (from a timer started before this one).
    const auto startWithMessage = [&form] {
        form = std::make_unique<MainForm>();
        bool offered = false;
        QTimer::singleShot(0, [&offered] { offered = true; });
        form->show();
        EXPECT_TRUE(QTest::qWaitFor([&offered] { return offered; }));
    };
    QStringList boxes = answerMessageBoxes(startWithMessage);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains(root() + "/rtf/ cannot be written")) << boxes[0].toStdString();
    QTest::keyClicks(form->editor(), "kept words ");
    EXPECT_TRUE(answerMessageBoxes([&] { form->close(); }).isEmpty()) << "no box at the close";
    form.reset();
    setMode(0755);
    EXPECT_EQ(file("rtf/A.rtf"), "old A");
    const QString copy = RecoveryStore::forUser(root()).copyFile(0);
    EXPECT_TRUE(copy.startsWith(m_state.path("quillery/recovery/")));
    EXPECT_TRUE(readPageFile(copy).bytes.contains("kept words"));
    // The next start offers it, saying why it is there (a box closed without an answer keeps
    // it); the settings and the page that were not written are named by a notice.
    boxes = answerMessageBoxes(startWithMessage);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains("Page A could not be saved when Quillery closed"))
        << boxes[0].toStdString();
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto notice = std::find_if(windows.begin(), windows.end(), [](QWidget* w) {
        return w->objectName() == "NoticeBox" && w->isVisible();
    });
    ASSERT_NE(notice, windows.end());
    const QString said = static_cast<QMessageBox*>(*notice)->text();
    EXPECT_TRUE(said.contains(root() + "/qly.ini") && said.contains(root() + "/rtf/A.rtf"))
        << said.toStdString();
    EXPECT_TRUE(takeClosingNotes(root()).isEmpty()) << "said once";
    EXPECT_TRUE(QFileInfo::exists(copy));
}

// What is wrong around the pages is said once the window is up, each naming its file.
class MainFormFolders : public MainFormPages {
protected:
    QStringList startAndAnswer(std::unique_ptr<MainForm>& form) {
        return answerMessageBoxes([&form] {
            form = std::make_unique<MainForm>();
            bool offered = false;
            QTimer::singleShot(0, [&offered] { offered = true; });
            form->show();
            EXPECT_TRUE(QTest::qWaitFor([&offered] { return offered; }));
        });
    }
};

TEST_F(MainFormFolders, LinksForBackupAndRecoveryAndAnotherUsersLockAreSaid) {
    QDir().mkpath(m_state.path("private"));
    m_state.write("private/A.rtf", "private A");
    for (const char* name : {"/backup", "/recovery"})
        ASSERT_TRUE(QFile::link(m_state.path("private"), root() + name));
    // The lock file in another's hands: here a link, which this user cannot lock either.
    ASSERT_TRUE(QFile::link(m_state.path("elsewhere"), root() + "/" + FolderLock::FileName));
    ASSERT_TRUE(RecoveryStore(root()).write(1, Document()));
    std::unique_ptr<MainForm> form;
    const QStringList boxes = startAndAnswer(form);
    ASSERT_EQ(boxes.size(), 3) << boxes.join('\n').toStdString();
    EXPECT_TRUE(boxes[0].startsWith("The folder " + root() + "/backup is a symbolic link"))
        << boxes[0].toStdString();
    EXPECT_TRUE(boxes[0].contains(root() + "/backup.2/"));
    EXPECT_TRUE(boxes[1].startsWith("The folder " + root() + "/recovery is a symbolic link"));
    EXPECT_TRUE(boxes[2].contains("Page B holds changes")) << boxes[2].toStdString();
    EXPECT_TRUE(boxes[2].contains("Another user may be using this folder."));
    EXPECT_EQ(QDir(m_state.path("private")).entryList(QDir::Files), QStringList{"A.rtf"});
}

TEST_F(MainFormFolders, APageTooLargeAndAPageFolderThatIsAFileAreNamed) {
    QDir().mkpath(root() + "/rtf");
    QFile huge(root() + "/rtf/A.rtf");
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(MaxPageFileSize + 1));
    huge.close();
    std::unique_ptr<MainForm> form;
    QStringList boxes = startAndAnswer(form);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], "Cannot read the page file " + root() +
                            "/rtf/A.rtf (The file is too large). The page is shown empty and "
                            "read-only, and its file is left as it is.");
    form.reset();
    QDir(root() + "/rtf").removeRecursively();
    m_dir.write("rtf", "a file where the pages belong");
    boxes = startAndAnswer(form);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith("The page folder " + root() + "/rtf is not a folder"))
        << boxes[0].toStdString();
}

TEST_F(MainFormPages, AnEmptyPageTypesInTheEditorsDefaultFormat) {
    auto form = start();
    QTextCharFormat big;
    big.setFontWeight(QFont::Bold);
    big.setFontPointSize(14);
    form->editor()->setCurrentCharFormat(big);
    QTest::keyClicks(form->editor(), "bold");
    choosePage(*form, 1);
    QTest::keyClicks(form->editor(), "plain");
    const QTextCharFormat typed = form->editor()->textCursor().charFormat();
    EXPECT_EQ(form->editor()->toPlainText(), "plain");
    EXPECT_NE(typed.fontWeight(), QFont::Bold);
    EXPECT_NE(typed.fontPointSize(), 14);
}

TEST_F(MainFormPages, ASettingsFileTooLargeToReadIsLeftByteIdenticalAndSaidOnce) {
    {
        QFile ini(root() + "/qly.ini");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Main]\nWidth=500\n[Print]\nCopies=3\n");
        ASSERT_TRUE(ini.resize(70 * 1000 * 1000)); // sparse: costs no disk
    }
    const auto digest = [this] {
        QFile f(root() + "/qly.ini");
        QCryptographicHash hash(QCryptographicHash::Sha1);
        return f.open(QIODevice::ReadOnly) && hash.addData(&f) ? hash.result() : QByteArray();
    };
    const QByteArray before = digest();
    std::unique_ptr<MainForm> form;
    QStringList boxes = answerMessageBoxes([&] { form = start(); });
    boxes += answerMessageBoxes([&] {
        choosePage(*form, 1);
        form->editor()->setPlainText("typed on B");
        form->savePageColor();
        form->close();
    });
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains(root() + "/qly.ini")) << boxes[0].toStdString();
    EXPECT_EQ(digest(), before);
    EXPECT_TRUE(QFileInfo(root() + "/rtf/B.rtf").isFile()); // the page is saved all the same
}

// A file system with no room left: run by the full-disk pass, which mounts a tiny tmpfs and
// names it in QLY_FULL_DISK_DIR.
class FullDisk : public MainFormPages {
protected:
    QString root() const override { return qEnvironmentVariable("QLY_FULL_DISK_DIR"); }
    void SetUp() override {
        MainFormPages::SetUp();
        // The cases share the one small file system: each starts on an empty one.
        if (!root().isEmpty())
            for (const QFileInfo& entry :
                 QDir(root()).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
                entry.isDir() ? void(QDir(entry.filePath()).removeRecursively())
                              : void(QFile::remove(entry.filePath()));
    }
    void fillTheDisk() {
        QFile filler(root() + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray chunk(4096, 'x');
        while (filler.write(chunk) == chunk.size()) {
        }
        filler.write(QByteArray(1, 'x'));
    }
};

TEST_F(FullDisk, OldVersionsGiveWayToThePage) {
    if (root().isEmpty())
        GTEST_SKIP() << "needs QLY_FULL_DISK_DIR (a tiny tmpfs)";
    QDir().mkpath(root() + "/rtf");
    QDir().mkpath(root() + "/backup");
    for (const char* name : {"rtf/A.rtf", "backup/A.1.rtf", "backup/A.2.rtf", "backup/B.1.rtf"}) {
        QFile f(root() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{\\rtf1\\ansi " + QByteArray(8000, 'v') + "\\par}");
    }
    auto form = start();
    fillTheDisk();
    form->editor()->setPlainText(QString(12000, QLatin1Char('w')));
    const QStringList boxes = answerMessageBoxes([&] {
        form->titleBar()->cbNotes()->setCurrentIndex(1);
        emit form->titleBar()->cbNotes()->activated(1);
    });
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join("\n").toStdString();
    EXPECT_EQ(form->pages().rememberedPageIndex(), 1);
    EXPECT_TRUE(file("rtf/A.rtf").contains(QByteArray(12000, 'w')));
    // Page A's oldest versions went first.
    EXPECT_FALSE(QFileInfo::exists(root() + "/backup/A.2.rtf"));
    answerMessageBoxes([&] { form->close(); }); // the settings find no room
}

TEST_F(FullDisk, OldPageAndSettingsStayByteIdentical) {
    if (root().isEmpty())
        GTEST_SKIP() << "needs QLY_FULL_DISK_DIR (a tiny tmpfs)";
    QDir().mkpath(root() + "/rtf");
    const QByteArray oldPage = "{\\rtf1\\ansi old page\\par}";
    const QByteArray oldIni = "[Main]\nWidth=410\n";
    {
        QFile p(root() + "/rtf/A.rtf");
        ASSERT_TRUE(p.open(QIODevice::WriteOnly));
        p.write(oldPage);
        QFile i(root() + "/qly.ini");
        ASSERT_TRUE(i.open(QIODevice::WriteOnly));
        i.write(oldIni);
    }
    auto form = start();
    fillTheDisk();
    form->editor()->setPlainText(QString(20000, QLatin1Char('w')));
    const QStringList switchBoxes = answerMessageBoxes([&] {
        form->titleBar()->cbNotes()->setCurrentIndex(1);
        emit form->titleBar()->cbNotes()->activated(1);
    });
    ASSERT_EQ(switchBoxes.size(), 1);
    EXPECT_EQ(switchBoxes[0],
              "Cannot create file " + root() + "/rtf/A.rtf: No space left on device.");
    EXPECT_EQ(form->pages().rememberedPageIndex(), 0);
    EXPECT_TRUE(answerMessageBoxes([&] { form->close(); }).isEmpty()) << "no box at the close";
    // Both the settings and the page were refused, and both are kept for the next start, with
    // the reason from the file layer.
    const ClosingNotes::Taken notes = takeClosingNotes(root());
    EXPECT_EQ(
        notes.messages,
        QStringList({"Unable to write to " + root() + "/qly.ini: No space left on device.",
                     "Cannot create file " + root() + "/rtf/A.rtf: No space left on device."}));
    EXPECT_EQ(notes.unsavedPages, QList<int>{0});
    EXPECT_EQ(file("rtf/A.rtf"), oldPage);
    EXPECT_EQ(file("qly.ini"), oldIni);
    EXPECT_EQ(QDir(root() + "/rtf").entryList(QDir::Files), QStringList{"A.rtf"});
}
