// The main window's page store in-process: switching, shut-down, and what happens when the
// disk refuses a write. Runs on the offscreen platform.
#include "mainform.h"
#include "programpaths.h"
#include "support/messageboxes.h"
#include "support/tempdir.h"
#include "titlebar.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace qly;
using qlytest::answerMessageBoxes;
using qlytest::TempDir;

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
    void SetUp() override { setProgramPathForTesting(root() + "/qly"); }
    void TearDown() override { setProgramPathForTesting(QString()); }

    virtual QString root() const { return m_dir.path(); }

    std::unique_ptr<TMainForm> start() {
        auto form = std::make_unique<TMainForm>();
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return form;
    }
    static void choosePage(TMainForm& form, int index) {
        form.titleBar()->cbNotes()->setCurrentIndex(index);
        form.cbNotesChange();
    }
    QByteArray file(const QString& name) const {
        QFile f(root() + "/" + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    TempDir m_dir;
};

} // namespace

TEST_F(MainFormPages, SwitchSavesTheLeftPageAndLoadsTheChosenOne) {
    QDir().mkpath(root() + "/rtf");
    m_dir.write("rtf/C.rtf", "page C text");
    auto form = start();
    form->editor()->setPlainText("typed on A");
    choosePage(*form, 2);
    EXPECT_EQ(form->editor()->toPlainText(), "page C text");
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
    EXPECT_EQ(boxes[0], "Cannot create file " + root() + "/rtf/A.rtf.");
    EXPECT_EQ(file("rtf/A.rtf"), "old A");
    EXPECT_EQ(form->editor()->toPlainText(), "new words on A");
    EXPECT_EQ(form->pages().rememberedPageIndex(), 0);
    EXPECT_EQ(form->pages().currentPageFile(), root() + "/rtf/A.rtf");
    EXPECT_EQ(form->titleBar()->cbNotes()->currentIndex(), 3);
}

TEST_F(MainFormPages, AReadOnlySettingsFileIsReportedAndThePageStillSaved) {
    if (modesAreIgnored(root()))
        GTEST_SKIP() << "file modes do not bind this process; the unprivileged pass runs it";
    m_dir.write("qly.ini", "[Main]\nTitleHeight=30\n");
    ::chmod(QFile::encodeName(root() + "/qly.ini").constData(), 0444);
    auto form = start();
    form->editor()->setPlainText("keep me");
    const QStringList boxes = answerMessageBoxes([&] { form->close(); });
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], "Unable to write to " + root() + "/qly.ini.");
    EXPECT_EQ(file("qly.ini"), "[Main]\nTitleHeight=30\n");
    EXPECT_TRUE(file("rtf/A.rtf").contains("keep me"));
}

// A file system with no room left: run by the full-disk pass, which mounts a tiny tmpfs and
// names it in QLY_FULL_DISK_DIR.
class FullDisk : public MainFormPages {
protected:
    QString root() const override { return qEnvironmentVariable("QLY_FULL_DISK_DIR"); }
};

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
    // Fill every byte that is left.
    {
        QFile filler(root() + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray chunk(4096, 'x');
        while (filler.write(chunk) == chunk.size()) {
        }
        filler.write(QByteArray(1, 'x'));
    }
    form->editor()->setPlainText(QString(20000, QLatin1Char('w')));
    const QStringList switchBoxes = answerMessageBoxes([&] {
        form->titleBar()->cbNotes()->setCurrentIndex(1);
        emit form->titleBar()->cbNotes()->activated(1);
    });
    EXPECT_EQ(switchBoxes.size(), 1);
    EXPECT_EQ(form->pages().rememberedPageIndex(), 0);
    const QStringList boxes = answerMessageBoxes([&] { form->close(); });
    // Both the settings and the page were refused, and both are said.
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[0], "Unable to write to " + root() + "/qly.ini.");
    EXPECT_EQ(boxes[1], "Cannot create file " + root() + "/rtf/A.rtf.");
    EXPECT_EQ(file("rtf/A.rtf"), oldPage);
    EXPECT_EQ(file("qly.ini"), oldIni);
    EXPECT_EQ(QDir(root() + "/rtf").entryList(QDir::Files), QStringList{"A.rtf"});
}
