// The Go Mobile dialog. Suite GoMobileDialog runs offscreen with drives described by fixture files;
// suite GoMobileStick copies to a real stick (a tmpfs mounted under /media in a private mount
// namespace, in a real X session) and runs only from tests/x11/gomobile_test.sh.
#include "mainwindow/mainform.h"
#include "mainwindow/mainmenu.h"
#include "mobile/copyanimation.h"
#include "mobile/filecopy.h"
#include "mobile/mobileform.h"
#include "settings/profile.h"
#include "settings/programpaths.h"
#include "support/messageboxes.h"
#include "support/tempdir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

using namespace qly;
using qlytest::answerMessageBoxes;
using qlytest::TempDir;

namespace {

template <class T> T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(QLatin1String(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}
QString text(QWidget* w, const char* name) {
    return child<QLabel>(w, name)->text();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << qPrintable(path);
    f.write(bytes);
}
QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A program folder: the program and help file given, a settings file and 26 pages.
void makeInstallation(const QString& dir, const QByteArray& program, const QByteArray& help,
                      int pageSize = 3000) {
    writeFile(dir + "/qly", program);
    QFile::setPermissions(dir + "/qly", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    writeFile(dir + "/qly.chm", help);
    writeFile(dir + "/qly.ini", "[Main]\nStayOnTop=0\n");
    for (char c = 'A'; c <= 'Z'; ++c)
        writeFile(dir + "/rtf/" + QChar(c) + ".rtf",
                  "{\\rtf1 page " + QByteArray(1, c) + " " + QByteArray(pageSize, c) + "}");
}

// Runs action while the copy goes on, collecting the progress texts.
QStringList copyTexts(MobileForm& form, const std::function<void()>& click) {
    QStringList texts;
    const auto c = QObject::connect(&form, &MobileForm::progressTextChanged,
                                    [&](const QString& t) { texts << t; });
    click();
    // The copy runs on its own thread: wait for its end (a copy that did not start has none).
    if (form.copying()) {
        QSignalSpy finished(&form, &MobileForm::copyFinished);
        EXPECT_TRUE(finished.wait(60000));
    }
    QObject::disconnect(c);
    return texts;
}

QStringList expectedTexts(bool shell) {
    // The pages before the help and the program: a stick too small for all holds the pages.
    QStringList t{"Configuration: File 1 of 1"};
    for (int i = 1; i <= 26; ++i)
        t << QStringLiteral("Notes: File %1 of 26").arg(i);
    if (shell)
        t << "Shell: File 1 of 2"
          << "Shell: File 2 of 2";
    return t;
}

// Fixture drives: a fixed disk holding the home folder, a second fixed disk, a USB stick.
class GoMobileDialog : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* d : {"home", "data", "stick"})
            QDir().mkpath(m_dir.path(d));
        QDir().mkpath(m_dir.path("sys/devices/ata1/block/sda/sda1"));
        QDir().mkpath(m_dir.path("sys/devices/usb1/1-1/block/sdb/sdb1"));
        QDir().mkpath(m_dir.path("sys/dev/block"));
        QFile::link(m_dir.path("sys/devices/ata1/block/sda/sda1"), m_dir.path("sys/dev/block/8:1"));
        QFile::link(m_dir.path("sys/devices/usb1/1-1/block/sdb/sdb1"),
                    m_dir.path("sys/dev/block/8:17"));
        mountTable(true);
        MobileForm::setDriveScanRootsForTesting({m_dir.path("mountinfo"), m_dir.path("sys")});
        makeInstallation(m_dir.path("home/Quillery"), QByteArray(40000, 'p'), "help");
        setProgramPathForTesting(m_dir.path("home/Quillery/qly"));
    }
    void TearDown() override {
        setProgramPathForTesting({});
        MobileForm::setDriveScanRootsForTesting({});
        MobileForm::setFolderPickerForTesting({});
    }
    void mountTable(bool withStick) {
        QByteArray table = "1 0 8:1 / " + m_dir.path("home").toUtf8() +
                           " rw - ext4 /dev/sda1 rw\n" + "2 0 8:2 / " +
                           m_dir.path("data").toUtf8() + " rw - ext4 /dev/sda2 rw\n";
        if (withStick)
            table += "3 0 8:17 / " + m_dir.path("stick").toUtf8() + " rw - vfat /dev/sdb1 rw\n";
        m_dir.write("mountinfo", table);
    }
    TempDir m_dir;
};

} // namespace

TEST_F(GoMobileDialog, OpensCollapsedTowardsTheStickAndExpands) {
    MobileForm form;
    EXPECT_EQ(form.windowTitle(), "Go Mobile");
    EXPECT_EQ(form.direction(), MobileDirection::ToRemovable);
    EXPECT_EQ(child<QComboBox>(&form, "cbSource")->currentText(), m_dir.path("home"));
    auto* target = child<QComboBox>(&form, "cbTarget");
    EXPECT_EQ(target->count(), 1);
    EXPECT_EQ(target->currentText(), m_dir.path("stick"));
    EXPECT_EQ(child<QLineEdit>(&form, "edTargetPath")->text(), m_dir.path("stick/Quillery/"));
    EXPECT_EQ(goMobileState().TargetDir, m_dir.path("stick/Quillery/"));
    EXPECT_EQ(text(&form, "pnStatus"), "Press copy to start");
    EXPECT_TRUE(child<QToolButton>(&form, "bbCopy")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(&form, "btBrowse")->isEnabled());
    EXPECT_TRUE(child<QCheckBox>(&form, "chShell")->isChecked());
    EXPECT_EQ(goMobileState().sizes.NotesCount, 26);
    EXPECT_EQ(goMobileState().sizes.ShellSize, 40004);
    EXPECT_EQ(text(&form, "lbShell"), formatSizeLong(40004));

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(QApplication::focusWidget(), child<QToolButton>(&form, "bbCopy")) << "Enter copies";
    auto* details = child<QWidget>(&form, "Panel5");
    auto* more = child<QPushButton>(&form, "btMore");
    const int collapsed = form.height();
    EXPECT_FALSE(details->isVisible());
    more->click();
    EXPECT_EQ(more->text(), "&Less <<");
    EXPECT_GT(form.height(), collapsed);
    EXPECT_TRUE(details->isVisible());
    EXPECT_LE(details->geometry().bottom(), form.height());
    // Every figure whole, every interactive control named for a screen reader.
    for (QLabel* l : details->findChildren<QLabel*>()) {
        // The source folder is elided in the middle, whole in its tooltip.
        if (l->objectName() != "lbSourcePath") {
            EXPECT_LE(l->fontMetrics().horizontalAdvance(l->text()), l->contentsRect().width())
                << qPrintable(l->objectName());
        }
    }
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (w->focusPolicy() != Qt::NoFocus && w->isVisible()) {
            EXPECT_FALSE(w->accessibleName().isEmpty() && w->property("text").toString().isEmpty())
                << qPrintable(w->objectName());
        }
    }
    more->click();
    EXPECT_EQ(more->text(), "&More >>");
    EXPECT_FALSE(details->isVisible());
    EXPECT_EQ(form.height(), collapsed);
}

TEST_F(GoMobileDialog, GrowsWithALargeDesktopFont) {
    const QFont saved = QApplication::font();
    QFont large = saved;
    large.setPointSize(16);
    QApplication::setFont(large);
    {
        MobileForm form;
        EXPECT_GT(form.font().pointSizeF(), 8);
        form.show();
        child<QPushButton>(&form, "btMore")->click();
        for (QLabel* l : form.findChildren<QLabel*>()) {
            if (l->isVisible() && l->objectName() != "lbSourcePath" &&
                l->objectName() != "pnStatus") {
                EXPECT_LE(l->sizeHint().width(), l->width()) << qPrintable(l->objectName());
                EXPECT_LE(l->sizeHint().height(), l->height()) << qPrintable(l->objectName());
            }
        }
        for (QAbstractButton* b : form.findChildren<QAbstractButton*>()) {
            EXPECT_LT(b->fontMetrics().horizontalAdvance(QString(b->text()).remove('&')),
                      b->width())
                << qPrintable(b->objectName());
        }
        if (const QString dir = qEnvironmentVariable("QLY_SHOTS"); !dir.isEmpty())
            form.grab().save(dir + "/gomobile-font16.png");
    }
    QApplication::setFont(saved);
}

TEST_F(GoMobileDialog, WithoutAStickNothingCanStart) {
    mountTable(false);
    MobileForm form;
    EXPECT_EQ(child<QComboBox>(&form, "cbTarget")->count(), 0);
    EXPECT_FALSE(child<QToolButton>(&form, "bbCopy")->isEnabled());
    EXPECT_EQ(text(&form, "pnStatus"), "No removable drive found");
    EXPECT_EQ(text(&form, "lbFree"), "0");
}

TEST_F(GoMobileDialog, HomeFolderIsLockedWhenItHoldsTheProgram) {
    makeInstallation(m_dir.path("stick/Quillery"), QByteArray(40000, 'p'), "help");
    writeFile(m_dir.path("stick/Quillery/qly.ini"),
              "[CurrentState]\nHomeDir=" + m_dir.path("home/Quillery/").toUtf8() + "\n");
    setProgramPathForTesting(m_dir.path("stick/Quillery/qly"));
    MobileForm form;
    EXPECT_EQ(form.direction(), MobileDirection::Home);
    auto* target = child<QComboBox>(&form, "cbTarget");
    EXPECT_EQ(target->count(), 2);
    EXPECT_EQ(target->currentText(), m_dir.path("home"));
    EXPECT_EQ(child<QLineEdit>(&form, "edTargetPath")->text(), m_dir.path("home/Quillery/"));
    EXPECT_FALSE(target->isEnabled());
    EXPECT_FALSE(child<QPushButton>(&form, "btBrowse")->isEnabled());
    EXPECT_FALSE(child<QCheckBox>(&form, "chShell")->isChecked());
    const MobileSizes& s = goMobileState().sizes;
    EXPECT_EQ(goMobileState().totalSize, s.NotesSize + s.ConfigSize);
}

TEST_F(GoMobileDialog, BrowsingPicksAFolderOnAFixedDrive) {
    makeInstallation(m_dir.path("stick/Quillery"), "program", "help");
    setProgramPathForTesting(m_dir.path("stick/Quillery/qly"));
    QDir().mkpath(m_dir.path("data/Notes"));
    qputenv("HOME", m_dir.path("user").toUtf8());
    QString answer;
    QString prompt;
    MobileForm::setFolderPickerForTesting(
        [&](QWidget*, const QString&, const QString& p) -> std::optional<QString> {
            prompt = p;
            return answer;
        });
    MobileForm form;
    auto* browse = child<QPushButton>(&form, "btBrowse");
    ASSERT_TRUE(browse->isEnabled()) << "the default home folder holds no program yet";
    EXPECT_EQ(goMobileState().TargetDir, m_dir.path("user/Quillery/"));

    answer = m_dir.path("stick/elsewhere");
    EXPECT_EQ(answerMessageBoxes([&] { browse->click(); }),
              QStringList{"Select another location (non-removable)"});
    EXPECT_EQ(prompt, "Select a path to the target Quillery location");
    answer = m_dir.path("data/Notes");
    EXPECT_TRUE(answerMessageBoxes([&] { browse->click(); }).isEmpty());
    EXPECT_EQ(goMobileState().TargetDir, m_dir.path("data/Notes/Quillery/"));
    EXPECT_EQ(child<QComboBox>(&form, "cbTarget")->currentText(), m_dir.path("data"));
    EXPECT_EQ(text(&form, "pnStatus"), "Press copy to start");
}

TEST_F(GoMobileDialog, MainWindowSavesThePageBeforeMeasuring) {
    MainForm main;
    main.show();
    main.editor()->setPlainText("typed just now");
    bool opened = false;
    QTimer::singleShot(50, [&] {
        if (auto* f = qobject_cast<MobileForm*>(QApplication::activeModalWidget())) {
            opened = true;
            f->done(0);
        }
    });
    main.goMobileClicked();
    EXPECT_TRUE(opened);
    EXPECT_TRUE(readFile(m_dir.path("home/Quillery/rtf/A.rtf")).contains("typed just now"));

    // A page with unsaved typing that cannot be written: the error is shown and the dialog
    // stays closed (a page only viewed is not written, so something is typed first).
    QFile::remove(m_dir.path("home/Quillery/rtf/A.rtf"));
    QDir().mkpath(m_dir.path("home/Quillery/rtf/A.rtf/blocked"));
    main.editor()->setPlainText("typed again");
    opened = false;
    QTimer::singleShot(50, [&] {
        if (auto* f = qobject_cast<MobileForm*>(QApplication::activeModalWidget())) {
            opened = true;
            f->done(0);
        }
    });
    const QStringList boxes =
        answerMessageBoxes([&] { main.mainMenu()->noteGoMobileItem()->trigger(); });
    EXPECT_FALSE(opened);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains("rtf/A.rtf")) << qPrintable(boxes[0]);
    QDir(m_dir.path("home/Quillery/rtf/A.rtf")).removeRecursively();
}

namespace {

// A real stick: a size-limited tmpfs mounted at $QLY_STICK (under /media) for each case, and a
// home installation with the real program on a fixed disk under $QLY_E2E_HOME.
class GoMobileStick : public ::testing::Test {
protected:
    void SetUp() override {
        m_stick = qEnvironmentVariable("QLY_STICK");
        if (m_stick.isEmpty())
            GTEST_SKIP() << "needs a stick: run through tests/x11/gomobile_test.sh";
        m_home = qEnvironmentVariable("QLY_E2E_HOME") + "/" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        QDir(m_home).removeRecursively();
        const QString build = QStringLiteral(QLY_BINARY_DIR "/Quillery/");
        ASSERT_GT(programSize(), 1 << 20) << "build the program first";
        makeInstallation(m_home, readFile(build + "qly"), readFile(build + "qly.chm"));
        // A runtime for the program to travel with (the build tree's has none).
        writeFile(m_home + "/lib/plugins/platforms/libqxcb.so", "xcb plugin");
        setProgramPathForTesting(m_home + "/qly");
        QDir().mkpath(QDir::homePath() + "/Desktop");
    }
    void TearDown() override {
        m_form.reset();
        if (!m_stick.isEmpty())
            QProcess::execute("umount", {m_stick});
        setProgramPathForTesting({});
    }
    void mountStick(qint64 bytes) {
        ASSERT_EQ(QProcess::execute("mount", {"-t", "tmpfs", "-o", QString("size=%1").arg(bytes),
                                              "tmpfs", m_stick}),
                  0);
    }
    MobileForm& open() {
        m_form = std::make_unique<MobileForm>();
        m_form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
        return *m_form;
    }
    QStringList copy() {
        return copyTexts(*m_form, [&] {
            QTest::mouseClick(child<QToolButton>(m_form.get(), "bbCopy"), Qt::LeftButton);
        });
    }
    QString onStick(const QString& name) const { return m_stick + "/Quillery/" + name; }
    static QString desktopFile() { return QDir::homePath() + "/Desktop/Quillery.desktop"; }
    static qint64 programSize() { return QFileInfo(QLY_BINARY_DIR "/Quillery/qly").size(); }
    // settle: let the window draw first; not while the copy runs, which must not be re-entered.
    static void shot(const QString& name, bool settle = true) {
        const QString dir = qEnvironmentVariable("QLY_SHOTS");
        if (dir.isEmpty())
            return;
        if (settle)
            QTest::qWait(300);
        QProcess::execute("import", {"-window", "root", dir + "/" + name + ".png"});
    }
    static void expectSameFile(const QString& a, const QString& b) {
        EXPECT_EQ(readFile(a), readFile(b)) << qPrintable(b);
        struct stat sa {
        }, sb{};
        ASSERT_EQ(::stat(QFile::encodeName(a), &sa), 0);
        ASSERT_EQ(::stat(QFile::encodeName(b), &sb), 0);
        EXPECT_EQ(sa.st_mtim.tv_sec, sb.st_mtim.tv_sec) << qPrintable(b);
        EXPECT_EQ(sa.st_mtim.tv_nsec, sb.st_mtim.tv_nsec) << qPrintable(b);
    }
    QStringList leftovers() const {
        return QDir(onStick("rtf")).entryList({".qly-copy-*"}, QDir::Files | QDir::Hidden);
    }

    QString m_stick, m_home;
    std::unique_ptr<MobileForm> m_form;
};

} // namespace

TEST_F(GoMobileStick, CopiesToTheStickAndBringsThePagesHome) {
    QFile::remove(desktopFile());
    mountStick(programSize() + (16 << 20));
    MobileForm& form = open();
    auto* target = child<QComboBox>(&form, "cbTarget");
    EXPECT_EQ(target->currentData().toString(), m_stick);
    EXPECT_EQ(goMobileState().TargetDir, onStick(""));
    EXPECT_EQ(text(&form, "pnStatus"), "Press copy to start");
    shot("gomobile-collapsed");
    child<QPushButton>(&form, "btMore")->click();
    shot("gomobile-expanded");

    bool animated = false;
    const auto during =
        QObject::connect(&form, &MobileForm::progressTextChanged, [&](const QString& t) {
            if (t != "Notes: File 13 of 26")
                return;
            // The focus waits on a control that stays enabled.
            auto* bar = child<QWidget>(&form, "pbCopy");
            animated = child<CopyAnimation>(&form, "anCopy")->isRunning() && bar->isVisible() &&
                       !child<QPushButton>(&form, "btClose")->isEnabled() &&
                       QApplication::focusWidget() == bar && bar->isEnabled();
            shot("gomobile-copying", false);
        });
    EXPECT_EQ(copy(), expectedTexts(true));
    QObject::disconnect(during);
    EXPECT_TRUE(animated);
    EXPECT_FALSE(child<CopyAnimation>(&form, "anCopy")->isRunning());
    EXPECT_EQ(text(&form, "pnStatus"), "Copy complete");
    EXPECT_EQ(child<QLabel>(&form, "pnStatus")->accessibleName(), "Copy complete");
    EXPECT_FALSE(child<QCheckBox>(&form, "chShell")->isChecked());
    EXPECT_FALSE(child<QWidget>(&form, "pnAni")->isVisible());
    for (const char* name : {"qly", "qly.chm", "qly.ini", "lib/plugins/platforms/libqxcb.so"})
        expectSameFile(m_home + "/" + name, onStick(name));
    for (char c = 'A'; c <= 'Z'; ++c)
        expectSameFile(m_home + "/rtf/" + QChar(c) + ".rtf", onStick(QString("rtf/") + c + ".rtf"));
    EXPECT_EQ(Profile(m_home + "/qly.ini").readString("CurrentState", "HomeDir", {}), m_home + "/");
    EXPECT_TRUE(QFileInfo(onStick("qly")).isExecutable());
    EXPECT_FALSE(QFileInfo::exists(desktopFile()));
    shot("gomobile-after");

    // Again: the program is there now; an older one is not replaced.
    writeFile(onStick("qly"), "older program");
    QFile::setPermissions(onStick("qly"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(copy(), expectedTexts(false));
    EXPECT_EQ(readFile(onStick("qly")), "older program");
    writeFile(onStick("qly"), readFile(m_home + "/qly"));

    // On the road: the program runs from the stick, a page changes, and it goes home.
    m_form.reset();
    setProgramPathForTesting(onStick("qly"));
    writeFile(onStick("rtf/B.rtf"), "{\\rtf1 written on the road}");
    MobileForm& back = open();
    EXPECT_EQ(back.direction(), MobileDirection::Home);
    EXPECT_EQ(child<QLineEdit>(&back, "edTargetPath")->text(), m_home + "/");
    EXPECT_FALSE(child<QComboBox>(&back, "cbTarget")->isEnabled()) << "locked to the home folder";
    EXPECT_EQ(copy(), expectedTexts(false));
    EXPECT_EQ(text(&back, "pnStatus"), "Copy complete");
    EXPECT_EQ(readFile(m_home + "/rtf/B.rtf"), "{\\rtf1 written on the road}");
    ASSERT_TRUE(QFileInfo::exists(desktopFile()));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(desktopFile()), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    EXPECT_TRUE(readFile(desktopFile()).contains("Exec=\"" + m_home.toUtf8() + "/qly\"\n"));
}

TEST_F(GoMobileStick, APageChangedOnBothSidesIsNamedEitherWay) {
    mountStick(programSize() + (16 << 20));
    open();
    ASSERT_EQ(copy().size(), 29);
    // D changes at home and on the road; the stick goes home.
    writeFile(m_home + "/rtf/D.rtf", "{\\rtf1 D at home}");
    writeFile(onStick("rtf/D.rtf"), "{\\rtf1 D on the road}");
    m_form.reset();
    setProgramPathForTesting(onStick("qly"));
    QList<int> marked;
    QObject::connect(&open(), &MobileForm::conflictCopiesKept,
                     [&](const QList<int>& pages) { marked = pages; });
    copy();
    EXPECT_EQ(text(m_form.get(), "pnStatus"),
              "Copy complete. Changed on both sides: D, kept in history");
    EXPECT_EQ(marked, QList<int>{3});
    EXPECT_EQ(QDir(m_home + "/backup").entryList({"D.conflict-*.rtf"}).size(), 1);
    // And out again with C changed on both sides: kept on the stick.
    m_form.reset();
    setProgramPathForTesting(m_home + "/qly");
    writeFile(m_home + "/rtf/C.rtf", "{\\rtf1 C at home}");
    writeFile(onStick("rtf/C.rtf"), "{\\rtf1 C on the road}");
    open();
    copy();
    EXPECT_EQ(text(m_form.get(), "pnStatus"),
              "Copy complete. Changed on both sides: C, kept in history");
    EXPECT_EQ(QDir(onStick("backup")).entryList({"C.conflict-*.rtf"}).size(), 1);
}

TEST_F(GoMobileStick, AReadOnlyStickIsSaidBeforeCopyAndALaterCopyCompletesIt) {
    mountStick(programSize() + (16 << 20));
    ASSERT_EQ(QProcess::execute("mount", {"-o", "remount,ro", m_stick}), 0);
    MobileForm& form = open();
    EXPECT_EQ(text(&form, "pnStatus"),
              "The target " + onStick("") + " cannot be written (Read-only file system)");
    EXPECT_FALSE(child<QToolButton>(&form, "bbCopy")->isEnabled());
    m_form.reset();
    ASSERT_EQ(QProcess::execute("mount", {"-o", "remount,rw", m_stick}), 0);
    // A copy cut short in the runtime left a temporary file and a short library.
    writeFile(onStick("lib/plugins/platforms/.qly-copy-cut"), "partial");
    writeFile(onStick("lib/plugins/platforms/libqxcb.so"), "xc");
    MobileForm& again = open();
    EXPECT_TRUE(child<QCheckBox>(&again, "chShell")->isChecked()) << "the program is not whole";
    EXPECT_EQ(copy(), expectedTexts(true));
    EXPECT_EQ(text(&again, "pnStatus"), "Copy complete");
    EXPECT_EQ(readFile(onStick("lib/plugins/platforms/libqxcb.so")), "xcb plugin");
    EXPECT_FALSE(QFileInfo::exists(onStick("lib/plugins/platforms/.qly-copy-cut")));
}

TEST_F(GoMobileStick, AStickPulledMidCopyIsNamedAndALaterCopyCompletesIt) {
    // A large runtime file (sparse at home) keeps the copy busy while the stick goes.
    const qint64 big = qint64(128) << 20;
    {
        QFile f(m_home + "/lib/big.so");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(big));
    }
    mountStick(programSize() + big + (16 << 20));
    MobileForm& form = open();
    // As `umount -l` does, once the large file's temporary copy is on the stick.
    std::atomic<bool> done{false}, pulled{false};
    std::thread puller([&] {
        const QDir lib(onStick("lib"));
        while (!done && !pulled) {
            if (!lib.entryList({".qly-copy-*"}, QDir::Files | QDir::Hidden).isEmpty())
                pulled = ::umount2(QFile::encodeName(m_stick).constData(), MNT_DETACH) == 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const QStringList boxes = answerMessageBoxes([&] { copy(); });
    done = true;
    puller.join();
    ASSERT_TRUE(pulled);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], "The drive STICK is no longer there.");
    EXPECT_TRUE(child<QPushButton>(&form, "btClose")->isEnabled());
    m_form.reset();

    mountStick(programSize() + big + (16 << 20));
    MobileForm& again = open();
    EXPECT_EQ(copy(), expectedTexts(true));
    EXPECT_EQ(text(&again, "pnStatus"), "Copy complete");
    EXPECT_EQ(QFileInfo(onStick("lib/big.so")).size(), big);
    expectSameFile(m_home + "/qly", onStick("qly"));
}

TEST_F(GoMobileStick, TooSmallStickCannotStart) {
    mountStick(1 << 20);
    MobileForm& form = open();
    EXPECT_EQ(text(&form, "pnStatus"), "Not enough free space on target drive");
    EXPECT_FALSE(child<QToolButton>(&form, "bbCopy")->isEnabled());
}

TEST_F(GoMobileStick, StickThatFillsUpKeepsEveryPageWhole) {
    mountStick(programSize() + (16 << 20));
    open();
    ASSERT_EQ(copy().size(), 29);
    // The pages grow at home; meanwhile something else fills the stick, leaving room for ten
    // grown pages and part of an eleventh (the pages they replace stay, as versions).
    QMap<QString, QByteArray> before;
    for (char c = 'A'; c <= 'Z'; ++c) {
        const QString page = QString("rtf/") + c + ".rtf";
        before[page] = readFile(onStick(page));
        writeFile(m_home + "/" + page, QByteArray(40960, c));
    }
    MobileForm& form = open();
    ASSERT_TRUE(child<QToolButton>(&form, "bbCopy")->isEnabled());
    struct statvfs st {};
    ASSERT_EQ(::statvfs(QFile::encodeName(m_stick), &st), 0);
    const qint64 leave = 4096 + 10 * 40960 + 20480;
    writeFile(m_stick + "/filler", QByteArray(qint64(st.f_bavail) * st.f_frsize - leave, 'f'));

    QStringList texts;
    const QStringList boxes = answerMessageBoxes([&] { texts = copy(); });
    EXPECT_EQ(texts.last(), "Notes: File 11 of 26");
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith("Stream write error on STICK while writing rtf/"));
    EXPECT_TRUE(boxes[0].endsWith(": No space left on device.")) << qPrintable(boxes[0]);
    EXPECT_EQ(child<QLabel>(&form, "pnStatus")->toolTip() + ".", boxes[0]);
    EXPECT_TRUE(child<QPushButton>(&form, "btClose")->isEnabled());
    EXPECT_FALSE(child<QWidget>(&form, "pnAni")->isVisible());
    int grown = 0;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        const QByteArray now = readFile(onStick(it.key()));
        const bool isNew = now == readFile(m_home + "/" + it.key());
        EXPECT_TRUE(isNew || now == it.value()) << qPrintable(it.key());
        grown += isNew;
    }
    EXPECT_EQ(grown, 10);
    EXPECT_TRUE(leftovers().isEmpty()) << qPrintable(leftovers().join(' '));
}

TEST_F(GoMobileStick, AStickWithoutRoomForTheProgramStopsBeforeIt) {
    mountStick(programSize() + (16 << 20));
    MobileForm& form = open();
    ASSERT_TRUE(child<QToolButton>(&form, "bbCopy")->isEnabled());
    // Something else fills the stick: room for the pages and help, half the program.
    struct statvfs st {};
    ASSERT_EQ(::statvfs(QFile::encodeName(m_stick), &st), 0);
    const qint64 leave = (1 << 20) + QFileInfo(m_home + "/qly.chm").size() + programSize() / 2;
    writeFile(m_stick + "/filler", QByteArray(qint64(st.f_bavail) * st.f_frsize - leave, 'f'));

    const QStringList boxes = answerMessageBoxes([&] { copy(); });
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith("The settings, pages and help were copied. The program ("))
        << qPrintable(boxes[0]);
    EXPECT_TRUE(boxes[0].contains(") does not fit on STICK: ")) << qPrintable(boxes[0]);
    for (char c = 'A'; c <= 'Z'; ++c)
        expectSameFile(m_home + "/rtf/" + QChar(c) + ".rtf", onStick(QString("rtf/") + c + ".rtf"));
    expectSameFile(m_home + "/qly.chm", onStick("qly.chm"));
    EXPECT_FALSE(QFileInfo::exists(onStick("qly")));
    EXPECT_FALSE(QFileInfo::exists(onStick("lib"))) << "no part of the runtime";
    m_form.reset();

    QFile::remove(m_stick + "/filler");
    MobileForm& again = open();
    EXPECT_TRUE(child<QCheckBox>(&again, "chShell")->isChecked()) << "the program is missing";
    copy();
    EXPECT_EQ(text(&again, "pnStatus"), "Copy complete");
    expectSameFile(m_home + "/qly", onStick("qly"));
}

TEST_F(GoMobileStick, APipeNamedLikeAPageOnTheStickIsNamedAndTheCopyFinishes) {
    mountStick(programSize() + (16 << 20));
    open();
    copy();
    m_form.reset();
    setProgramPathForTesting(onStick("qly"));
    const QByteArray homeC = readFile(m_home + "/rtf/C.rtf");
    QFile::remove(onStick("rtf/C.rtf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(onStick("rtf/C.rtf")), 0600), 0);
    MobileForm& back = open();
    copy();
    EXPECT_EQ(text(&back, "pnStatus"),
              "Copy complete. 1 file not copied (not a regular file): rtf/C.rtf");
    shot("gomobile-skipped");
    EXPECT_EQ(readFile(m_home + "/rtf/C.rtf"), homeC);
}

TEST_F(GoMobileStick, ReadOnlyPageOnTheStickIsReported) {
    mountStick(programSize() + (16 << 20));
    open();
    copy();
    writeFile(onStick("rtf/C.rtf"), "kept");
    ::chmod(QFile::encodeName(onStick("rtf/C.rtf")), 0444);
    writeFile(onStick("rtf/.qly-copy-LeftByACrash"), "half a page");
    const QStringList boxes = answerMessageBoxes([&] { copy(); });
    EXPECT_EQ(boxes,
              QStringList{"Cannot create file " + onStick("rtf/C.rtf") + ": Permission denied."});
    EXPECT_EQ(readFile(onStick("rtf/C.rtf")), "kept");
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(GoMobileStick, PulledStickIsNotReady) {
    mountStick(programSize() + (16 << 20));
    MobileForm& form = open();
    ASSERT_EQ(QProcess::execute("umount", {m_stick}), 0);
    copy();
    EXPECT_EQ(text(&form, "pnStatus"), "Drive not ready");
    EXPECT_EQ(text(&form, "lbFree"), "0");
    EXPECT_FALSE(child<QToolButton>(&form, "bbCopy")->isEnabled());
    EXPECT_FALSE(QFileInfo::exists(m_stick + "/Quillery")) << "nothing written beside the stick";
}
