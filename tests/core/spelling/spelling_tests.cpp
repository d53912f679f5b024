#include "mobile/mobilecopy.h"
#include "mobile/mobilesizes.h"
#include "settings/profile.h"
#include "spelling/carriedfiles.h"
#include "spelling/dictionaryfinder.h"
#include "spelling/personalwords.h"
#include "spelling/speller.h"
#include "spelling/spellingsettings.h"
#include "spelling/wordsplitter.h"
#include "support/spellingfixture.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace qly;
using qlytest::TempDir;
using qlytest::writeLatin1Dictionary;

namespace {
QStringList wordsOf(const QString& text, SplitOptions options = {}) {
    QStringList out;
    for (const WordSpan& w : splitWords(text, options))
        out << text.mid(w.start, w.length);
    return out;
}

Speller& withLatin1(Speller& speller, const TempDir& dir) {
    writeLatin1Dictionary(dir, "xx_XX");
    speller.loadDictionaries({"xx_XX"}, findDictionaries({dir.path()}));
    return speller;
}
} // namespace

TEST(WordSplitter, WordsJoinedByApostrophesAndHyphensStayWhole) {
    EXPECT_EQ(wordsOf("Don't stop, l'homme! well-known -dash- it's\u2019"),
              QStringList({"Don't", "stop", "l'homme", "well-known", "dash", "it's"}));
}

TEST(WordSplitter, SkipsAddressesNumbersAndWordsWithDigits) {
    EXPECT_EQ(wordsOf("see https://exmple.org/pth and www.foo.bar, mail bob@exmple.com "
                      "now 42 mp3 3rd 1,000 x"),
              QStringList({"see", "and", "mail", "now", "x"}));
}

TEST(WordSplitter, CapitalsSkippedOnlyWhenAsked) {
    EXPECT_EQ(wordsOf("NASA Rover IT"), QStringList({"NASA", "Rover", "IT"}));
    EXPECT_EQ(wordsOf("NASA Rover IT", {true}), QStringList({"Rover"}));
}

TEST(WordSplitter, WordAtFindsTheWordHoldingOrEndingAtAPosition) {
    const QString text = "teh quick, brwon";
    EXPECT_EQ(wordAt(text, 0), (WordSpan{0, 3}));
    EXPECT_EQ(wordAt(text, 3), (WordSpan{0, 3}));   // just after the word
    EXPECT_EQ(wordAt(text, 16), (WordSpan{11, 5})); // at the end of the text
    EXPECT_EQ(wordAt(text, 10).length, 0);          // between ", " and the next word
}

TEST(DictionaryFinder, FirstFolderWinsAndHalfDictionariesAreIgnored) {
    TempDir dir;
    QDir().mkpath(dir.path("dict"));
    QDir().mkpath(dir.path("sys"));
    dir.write("dict/en_US.aff", "SET UTF-8\n");
    dir.write("dict/en_US.dic", "1\nword\n");
    dir.write("sys/en_US.aff", "SET UTF-8\n");
    dir.write("sys/en_US.dic", "1\nword\n");
    dir.write("sys/de_DE.aff", "SET UTF-8\n"); // no .dic
    dir.write("sys/fr_FR.aff", "SET UTF-8\n");
    dir.write("sys/fr_FR.dic", "1\nmot\n");
    const QStringList folders = dictionaryFolders(dir.path(), dir.path("sys") + ":");
    ASSERT_EQ(folders.mid(0, 2), QStringList({dir.path("dict"), dir.path("sys")}));
    EXPECT_EQ(folders.mid(2), QStringList({"/usr/share/hunspell", "/usr/share/myspell"}));
    const QList<DictionaryFile> found = findDictionaries(folders.mid(0, 2));
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(found[0].code, "en_US");
    EXPECT_EQ(found[0].folder(), dir.path("dict"));
    EXPECT_EQ(found[1].code, "fr_FR");
}

TEST(DictionaryFinder, LanguageNamesAndTheLocalesDefault) {
    EXPECT_EQ(languageName("en_US"), "English (United States)");
    EXPECT_EQ(languageName("de_DE"), "German (Germany)");
    EXPECT_EQ(languageName("de"), "German");
    EXPECT_EQ(languageName("zz_personal"), "zz_personal");
    const QList<DictionaryFile> available{{"de_AT", {}, {}}, {"de_DE", {}, {}}, {"en_GB", {}, {}}};
    EXPECT_EQ(defaultLanguage(available, QLocale("de_DE")), "de_DE");
    EXPECT_EQ(defaultLanguage(available, QLocale("de_CH")), "de_AT");
    EXPECT_EQ(defaultLanguage(available, QLocale("en_US")), "en_GB");
    EXPECT_EQ(defaultLanguage(available, QLocale("fr_FR")), "");
}

TEST(Speller, WordsReachTheDictionaryInItsOwnEncoding) {
    TempDir dir;
    Speller speller;
    withLatin1(speller, dir);
    ASSERT_TRUE(speller.hasDictionaries());
    EXPECT_TRUE(speller.isCorrect(u"caf\u00e9"));
    EXPECT_TRUE(speller.isCorrect(u"caf\u00e9s"));
    EXPECT_TRUE(speller.isCorrect(u"na\u00efve"));
    EXPECT_FALSE(speller.isCorrect(u"cafe"));
    EXPECT_FALSE(speller.isCorrect(u"\u0441\u0430\u0444\u0435")); // not in Latin-1 at all
    EXPECT_TRUE(speller.isCorrect(u"don\u2019t"));                // typographic apostrophe
    EXPECT_EQ(speller.suggestions(u"cafe").value(0), QString::fromUtf16(u"caf\u00e9"));
}

TEST(Speller, AnyLanguageHyphenPartsPersonalAndIgnoredWords) {
    TempDir dir;
    writeLatin1Dictionary(dir, "xx_XX");
    dir.write("yy_YY.aff", "SET UTF-8\n");
    dir.write("yy_YY.dic", "2\nschnell\nfuchs\n");
    Speller speller;
    const QStringList failed =
        speller.loadDictionaries({"xx_XX", "yy_YY", "zz_ZZ"}, findDictionaries({dir.path()}));
    EXPECT_EQ(failed, QStringList({"zz_ZZ"}));
    const QString text = "the schnell quick-fuchs teh brwon";
    std::vector<WordSpan> wrong = speller.misspellings(text);
    ASSERT_EQ(wrong.size(), 2u);
    EXPECT_EQ(text.mid(wrong[0].start, wrong[0].length), "teh");

    const quint64 before = speller.generation();
    speller.personalWords() = PersonalWords(dir.path("qly.dic"));
    EXPECT_EQ(speller.addToPersonal("teh"), "");
    speller.ignoreAll("brwon");
    EXPECT_GT(speller.generation(), before);
    EXPECT_TRUE(speller.misspellings(text).empty());
    EXPECT_EQ(dir.read("qly.dic"), "teh\n");
}

TEST(PersonalWords, AddedWordsSurviveAndAnUnreadableListIsNeverWrittenOver) {
    TempDir dir;
    PersonalWords words(dir.path("qly.dic"));
    EXPECT_EQ(words.load(), ""); // missing: empty
    EXPECT_EQ(words.add("Quillerya"), "");
    EXPECT_EQ(words.add("Quillerya"), "");
    EXPECT_EQ(words.add("M\u00fcsli"), "");
    PersonalWords again(dir.path("qly.dic"));
    EXPECT_EQ(again.load(), "");
    EXPECT_TRUE(again.contains(u"Quillerya"));
    EXPECT_TRUE(again.contains(u"M\u00fcsli"));
    EXPECT_EQ(again.size(), 2);

    // A list too large to read whole is refused and kept as it is.
    const QByteArray huge(PersonalWords::MaxFileSize + 1, 'a');
    dir.write("big.dic", huge);
    PersonalWords big(dir.path("big.dic"));
    EXPECT_TRUE(big.load().contains("big.dic"));
    EXPECT_FALSE(big.add("more").isEmpty());
    EXPECT_EQ(dir.read("big.dic").size(), huge.size());
}

TEST(SpellingSettings, RoundTripAndUnsetLanguages) {
    TempDir dir;
    Profile p(dir.path("qly.ini"));
    SpellingSettings fresh = SpellingSettings::read(p);
    EXPECT_TRUE(fresh.checkAsYouType);
    EXPECT_FALSE(fresh.languagesSet);
    SpellingSettings s;
    s.checkAsYouType = false;
    s.skipCapitals = true;
    s.languages = {"en_US", "de_DE"};
    s.write(p);
    const SpellingSettings back = SpellingSettings::read(Profile(dir.path("qly.ini")));
    EXPECT_FALSE(back.checkAsYouType);
    EXPECT_TRUE(back.skipCapitals);
    EXPECT_TRUE(back.languagesSet);
    EXPECT_EQ(back.languages, QStringList({"en_US", "de_DE"}));
    EXPECT_TRUE(dir.read("qly.ini").contains("[Spelling]"));
}

TEST(SpellingOnTheStick, GoMobileCarriesTheDictionariesInUseAndJoinsThePersonalLists) {
    TempDir dir;
    QDir().mkpath(dir.path("home/dict"));
    QDir().mkpath(dir.path("home/rtf"));
    QDir().mkpath(dir.path("stick"));
    writeLatin1Dictionary(dir, "home/dict/xx_XX");
    writeLatin1Dictionary(dir, "home/dict/yy_YY"); // found, but not in use
    dir.write("home/qly.ini", "[Spelling]\nLanguages=xx_XX\n");
    dir.write("home/qly", "program");
    dir.write("home/qly.dic", "alpha\n");
    dir.write("stick/qly.dic", "beta\nalpha\n");
    const QString home = dir.path("home");
    const QList<CarriedFile> files =
        spellingFilesToCarry(home, dir.path("home/qly.ini"), dir.path("home/qly.dic"));
    QStringList targets;
    for (const CarriedFile& f : files)
        targets << f.target;
    EXPECT_EQ(targets, QStringList({"dict/xx_XX.aff", "dict/xx_XX.dic", "qly.dic"}));

    MobileSource source{dir.path("home/qly"), dir.path("home/qly.ini"), {}, home + "/rtf/", files};
    const qint64 carried = QFileInfo(dir.path("home/dict/xx_XX.aff")).size() +
                           QFileInfo(dir.path("home/dict/xx_XX.dic")).size() + 6;
    EXPECT_EQ(measureMobileSizes(source).ConfigSize,
              QFileInfo(dir.path("home/qly.ini")).size() + carried);

    MobileCopyPlan plan;
    plan.settingsFile = dir.path("home/qly.ini");
    plan.programFile = dir.path("home/qly");
    plan.pageFolder = home + "/rtf/";
    plan.targetDir = dir.path("stick") + "/";
    plan.withShell = false;
    plan.spellingFiles = files;
    QStringList steps;
    MobileCopyReport report;
    report.step = [&](const QString& text) { steps << text; };
    MobileCopy(plan).run(report);
    EXPECT_EQ(steps, QStringList({"Configuration: File 1 of 4", "Configuration: File 2 of 4",
                                  "Configuration: File 3 of 4", "Configuration: File 4 of 4"}));
    EXPECT_EQ(dir.read("stick/dict/xx_XX.dic"), dir.read("home/dict/xx_XX.dic"));
    EXPECT_FALSE(QFileInfo::exists(dir.path("stick/dict/yy_YY.dic")));
    EXPECT_EQ(dir.read("stick/qly.dic"), "beta\nalpha\n"); // nothing new from home: unwritten
    dir.write("home/qly.dic", "alpha\ngamma\n");
    MobileCopy(plan).run({});
    EXPECT_EQ(dir.read("stick/qly.dic"), "beta\nalpha\ngamma\n");

    // With spelling off only the personal list goes.
    dir.write("home/qly.ini", "[Spelling]\nCheckAsYouType=0\n");
    EXPECT_EQ(spellingFilesToCarry(home, dir.path("home/qly.ini"), dir.path("home/qly.dic")).size(),
              1);
}
