#include "settings/error.h"
#include "settings/mainsettings.h"
#include "settings/profile.h"
#include "support/settingsinvariants.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace qly;
using qlytest::TempDir;

TEST(ProfileRead, NamesMatchWithoutCaseAndTheFirstDuplicateWins) {
    TempDir dir;
    dir.write("q.ini", "[main]\r\n  WIDTH  =  500 \r\nwidth=600\r\n[Other]\r\nx=1\r\n");
    const Profile p(dir.path("q.ini"));
    EXPECT_EQ(p.readInteger("Main", "Width", 1), 500);
    EXPECT_EQ(p.readInteger("OTHER", "X", 0), 1);
    EXPECT_EQ(p.readInteger("Main", "x", 7), 7); // keys belong to their own section
}

TEST(ProfileRead, IntegerEncodings) {
    EXPECT_EQ(Profile::parseInteger(u"-42"), -42);
    EXPECT_EQ(Profile::parseInteger(u"0x1F"), 31);
    EXPECT_EQ(Profile::parseInteger(u"0X1f"), 31);
    EXPECT_EQ(Profile::parseInteger(u"$FF"), 255);
    EXPECT_EQ(Profile::parseInteger(u"$FFFFFFFF"), -1);
    EXPECT_EQ(Profile::parseInteger(u"0x1"), 1);
    EXPECT_FALSE(Profile::parseInteger(u"0x").has_value());
    EXPECT_FALSE(Profile::parseInteger(u"$").has_value());
    EXPECT_FALSE(Profile::parseInteger(u"yes").has_value());
    EXPECT_FALSE(Profile::parseInteger(u"12abc").has_value());
    EXPECT_FALSE(Profile::parseInteger(u"99999999999").has_value());
    EXPECT_FALSE(Profile::parseInteger(u"").has_value());
}

TEST(ProfileRead, BooleansAreIntegersWithTheirDefault) {
    TempDir dir;
    dir.write("q.ini", "[Main]\nStayOnTop=0x1\nShowHint=yes\nA=0\nB=-3\n");
    const Profile p(dir.path("q.ini"));
    EXPECT_TRUE(p.readBool("Main", "StayOnTop", false));
    EXPECT_TRUE(p.readBool("Main", "ShowHint", true));
    EXPECT_FALSE(p.readBool("Main", "ShowHint", false));
    EXPECT_FALSE(p.readBool("Main", "A", true));
    EXPECT_TRUE(p.readBool("Main", "B", false));
}

TEST(ProfileRead, DamagedFilesReadWithoutFailing) {
    TempDir dir;
    QByteArray junk("\xEF\xBB\xBF[Main]\nWidth=321\n");
    junk += QByteArray(5000, 'x') + "\n";
    junk += QByteArray("\x00\x01\xff[\n=\n]]]\n=novalue\n", 20);
    junk += "Height=" + QByteArray(5000, '7') + "\n";
    junk += "[Colors\nB = 255\n";
    dir.write("q.ini", junk);
    const Profile p(dir.path("q.ini"));
    EXPECT_EQ(p.readInteger("Main", "Width", 0), 321);
    EXPECT_EQ(p.readInteger("Main", "Height", 9), 9); // over-long: not an integer
    EXPECT_EQ(p.readString("Main", "Height", "").size(), Profile::MaxValueLength);
    EXPECT_EQ(p.readInteger("Colors", "B", 0), 255);
    EXPECT_EQ(Profile(dir.path("missing.ini")).readInteger("Main", "Width", 400), 400);
}

TEST(ProfileWrite, KeepsEveryOtherLineInItsPlace) {
    TempDir dir;
    const QByteArray before = "; my notes\r\n[Print]\r\nZoom=3\r\n\r\n[main]\r\nwidth=1\r\n"
                              "junk line\r\n\r\n[CurrentState]\r\nHomeDir=/home/x\r\n";
    dir.write("q.ini", before);
    Profile p(dir.path("q.ini"));
    p.writeInteger("Main", "Width", 640);
    p.writeInteger("Main", "Height", 480);
    p.writeInteger("Colors", "A", 255);
    EXPECT_EQ(dir.read("q.ini"),
              "; my notes\r\n[Print]\r\nZoom=3\r\n\r\n[main]\r\nWidth=640\r\njunk line\r\n"
              "Height=480\r\n\r\n[CurrentState]\r\nHomeDir=/home/x\r\n\r\n[Colors]\r\nA=255\r\n");
    // A new group sees what the last one wrote.
    EXPECT_EQ(Profile(dir.path("q.ini")).readInteger("main", "height", 0), 480);
}

TEST(ProfileWrite, CreatesTheFileAndKeepsAByteOrderMark) {
    TempDir dir;
    Profile p(dir.path("new.ini"));
    p.writeBool("Main", "ShowHint", false);
    EXPECT_EQ(dir.read("new.ini"), "[Main]\nShowHint=0\n");
    dir.write("bom.ini", "\xEF\xBB\xBF[Main]\nA=1");
    Profile b(dir.path("bom.ini"));
    b.writeInteger("Main", "A", 2);
    EXPECT_EQ(dir.read("bom.ini"), "\xEF\xBB\xBF[Main]\nA=2");
}

TEST(ProfileWrite, ARefusedWriteRaisesAndLeavesTheFile) {
    TempDir dir;
    dir.write("f", "not a folder");
    Profile p(dir.path("f/q.ini")); // a file where the folder should be: no root can write it
    try {
        p.writeInteger("Main", "Width", 1);
        FAIL() << "expected an error";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Unable to write to " + dir.path("f/q.ini") + ": Not a directory");
    }
    EXPECT_EQ(dir.read("f"), "not a folder");
}

TEST(MainSettings, DefaultsFollowTheScreen) {
    TempDir dir;
    MainSettings s = MainSettings::read(Profile(dir.path("q.ini")), 1024, 768);
    EXPECT_EQ(s.width, 400);
    EXPECT_EQ(s.height, 368);
    EXPECT_EQ(s.left, 312);
    EXPECT_EQ(s.top, 200);
    EXPECT_EQ(s.minimizedLeft, 678);
    EXPECT_EQ(s.minimizedTop, 200);
    EXPECT_EQ(s.titleHeight, 25);
    EXPECT_TRUE(s.showHint);
    EXPECT_TRUE(s.stayOnTop);
    EXPECT_EQ(s.minimizeTo, 0);
    EXPECT_EQ(s.activePage, 0);

    dir.write("w.ini", "[Main]\nWidth=1300\n");
    s = MainSettings::read(Profile(dir.path("w.ini")), 1024, 768);
    EXPECT_EQ(s.left, -138); // -276 / 2, truncated toward zero
    EXPECT_EQ(s.minimizedLeft, -138 + 1300 - 34);
}

TEST(MainSettings, DefaultsFromExtremeValuesAreClampedNotOverflowed) {
    TempDir dir;
    dir.write("x.ini", "[Main]\nWidth=-2147483648\nHeight=-2147483648\n");
    MainSettings s = MainSettings::read(Profile(dir.path("x.ini")), 1024, 768);
    EXPECT_EQ(s.left, (1024 + 2147483648LL) / 2);
    EXPECT_EQ(s.minimizedLeft, (1024 + 2147483648LL) / 2 - 2147483648LL - 34);
    dir.write("y.ini", "[Main]\nLeft=2147483647\nWidth=2147483647\n");
    s = MainSettings::read(Profile(dir.path("y.ini")), 1024, 768);
    EXPECT_EQ(s.minimizedLeft, INT_MAX);
}

TEST(ProfileWrite, AFileThatCannotBeReadWholeIsNeverWrittenOverAndSaidOnce) {
    TempDir dir;
    // Larger than the reader takes: sparse, so the test costs no disk.
    QFile big(dir.path("big.ini"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write("[Main]\nWidth=500\n");
    ASSERT_TRUE(big.resize(70 * 1000 * 1000));
    big.close();
    Profile p(dir.path("big.ini"));
    EXPECT_FALSE(p.readError().isEmpty());
    EXPECT_EQ(p.readInteger("Main", "Width", 400), 400);
    EXPECT_TRUE(p.takeReadErrorReport().contains(dir.path("big.ini")));
    EXPECT_NO_THROW(p.writeInteger("Main", "Width", 1)); // said already: silently refused
    EXPECT_NO_THROW(MainSettings().write(p));
    EXPECT_EQ(QFileInfo(dir.path("big.ini")).size(), 70 * 1000 * 1000);
    EXPECT_TRUE(dir.read("big.ini").startsWith("[Main]\nWidth=500\n"));
    // A settings file the program cannot know the place of is never written at all.
    Profile nowhere{QString()};
    EXPECT_NO_THROW(nowhere.writeInteger("Main", "Width", 1));
}

// A pipe would hold the start up forever; a link would be written through. Either is a file
// that cannot be read whole, which is never written (above).
TEST(ProfileRead, APipeOrALinkIsNotRead) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.path("pipe.ini")).constData(), 0600), 0);
    dir.write("target.ini", "[Main]\nWidth=500\n");
    ASSERT_TRUE(QFile::link(dir.path("target.ini"), dir.path("link.ini")));
    for (const char* name : {"pipe.ini", "link.ini"}) {
        Profile p(dir.path(name)); // returns at once
        EXPECT_FALSE(p.readError().isEmpty()) << name;
        EXPECT_EQ(p.readInteger("Main", "Width", 400), 400) << name;
    }
}

TEST(MainSettings, WritesTheTwelveKeysInOrder) {
    TempDir dir;
    MainSettings s;
    s.left = 5;
    s.activePage = 3;
    Profile p(dir.path("q.ini"));
    s.write(p);
    EXPECT_EQ(dir.read("q.ini"), "[Main]\nShowHint=1\nStayOnTop=1\nMinimizeTo=0\nLeft=5\nTop=0\n"
                                 "Width=400\nHeight=368\nPlimsa=0\nTitleHeight=25\n"
                                 "MinimizedLeft=0\nMinimizedTop=0\nActivePage=3\n");
}

TEST(MainSettings, ARefusedGroupWriteRaisesAndLeavesTheFile) {
    TempDir dir;
    dir.write("f", "x");
    MainSettings s;
    Profile p(dir.path("f/q.ini"));
    EXPECT_THROW(s.write(p), Error);
    // The object is back as it was too: a later single write sees no half group.
    dir.write("q.ini", "[Main]\nWidth=1\n");
    Profile ok(dir.path("q.ini"));
    ok.beginGroupWrite();
    ok.writeInteger("Main", "Width", 2);
    EXPECT_EQ(dir.read("q.ini"), "[Main]\nWidth=1\n"); // nothing written before the end
    ok.endGroupWrite();
    EXPECT_EQ(dir.read("q.ini"), "[Main]\nWidth=2\n");
}

TEST(PageColors, KeyElseDefault) {
    TempDir dir;
    dir.write("q.ini", "[Colors]\nB=255\n");
    EXPECT_EQ(readPageColor(Profile(dir.path("q.ini")), 1), 255);
    EXPECT_EQ(readPageColor(Profile(dir.path("q.ini")), 0), 0xFFC080);
    EXPECT_EQ(readPageColor(Profile(dir.path("q.ini")), 25), 0xFFFF80);
    EXPECT_EQ(settingsFilePath("/opt/q/qly"), "/opt/q/qly.ini");
    EXPECT_EQ(settingsFilePath("/opt/q/notes.exe"), "/opt/q/notes.ini");
    EXPECT_EQ(validPageIndex(26), 0);
    EXPECT_EQ(validPageIndex(-1), 0);
    EXPECT_EQ(validPageIndex(25), 25);
}

TEST(ErrorBox, FullStopRule) {
    EXPECT_EQ(errorBoxText("Cannot create file /x/A.rtf"), "Cannot create file /x/A.rtf.");
    EXPECT_EQ(errorBoxText("Done."), "Done.");
    EXPECT_EQ(errorBoxText("What?"), "What?.");
    EXPECT_EQ(errorBoxText("Sure!"), "Sure!");
    EXPECT_EQ(errorBoxText("(1)"), "(1)");
}

// Replays the settings fuzzer's corpus (fuzz/corpus/settings) with its invariants.
TEST(SettingsCorpus, EveryFileKeepsTheInvariants) {
    const QDir corpus(QStringLiteral(QLY_SOURCE_DIR "/fuzz/corpus/settings"));
    const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
    ASSERT_GE(names.size(), 3);
    qlytest::TempDir dir;
    for (const QString& name : names) {
        QFile f(corpus.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        const QStringList failed =
            qlytest::settingsInvariantFailures(f.readAll(), dir.path("qly.ini"));
        EXPECT_TRUE(failed.isEmpty())
            << name.toStdString() << ": " << failed.join(", ").toStdString();
    }
}
