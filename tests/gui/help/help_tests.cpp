// The help file built from the sources as the build does, listed with chmls, and read through
// the help viewer: every page the program opens, every contents entry, every link, pictures
// and style sheets, and a missing, damaged or foreign help file. Runs on the offscreen platform.
#include "help/chmarchive.h"
#include "help/helpoperations.h"
#include "help/helpsitemap.h"
#include "help/helpviewer.h"
#include "settings/programpaths.h"
#include "support/tempdir.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <random>

using namespace qly;
using qlytest::TempDir;

namespace {

const QString HelpSources = QStringLiteral(QLY_SOURCE_DIR "/help");

QString sourceFile(const QString& topic) {
    return HelpSources + QLatin1Char('/') + topic;
}

// The <title> of a page as written in the help sources.
QString sourceTitle(const QString& topic) {
    QFile f(sourceFile(topic));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("(no source for %1)").arg(topic);
    static const QRegularExpression rx(QStringLiteral("<title>(.*?)</title>"),
                                       QRegularExpression::CaseInsensitiveOption |
                                           QRegularExpression::DotMatchesEverythingOption);
    return rx.match(QString::fromUtf8(f.readAll())).captured(1).trimmed();
}

// The files the project file lists under [FILES].
QStringList projectFiles() {
    QFile f(sourceFile(QStringLiteral("qly.hhp")));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QStringList files;
    bool inFiles = false;
    for (const QString& raw : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inFiles = line.compare(QLatin1String("[FILES]"), Qt::CaseInsensitive) == 0;
        else if (inFiles && !line.isEmpty())
            files << line;
    }
    return files;
}

QStringList pageFiles() {
    QStringList pages;
    for (const QString& f : projectFiles())
        if (f.endsWith(QLatin1String(".htm")))
            pages << f;
    return pages;
}

QString run(const QString& program, const QStringList& args, int* exitCode = nullptr,
            const QString& workDir = QString()) {
    QProcess p;
    p.setWorkingDirectory(workDir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.waitForFinished(120000);
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromLocal8Bit(p.readAll());
}

// Every top-level widget that is shown, the viewer aside.
QStringList otherWindowsShown() {
    QStringList shown;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w != HelpViewer::existing())
            shown << w->objectName() + QLatin1Char('/') + w->windowTitle();
    return shown;
}

class HelpFile : public ::testing::Test {
protected:
    // The help file compiled once for the suite, the way the build compiles it.
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        s_chm = s_dir->path(QStringLiteral("out/qly.chm"));
        int code = 0;
        s_buildLog = run(QStringLiteral(QLY_CMAKE_COMMAND),
                         {QStringLiteral("-DCHMCMD=" QLY_CHMCMD),
                          QStringLiteral("-DSOURCE_DIR=") + HelpSources,
                          QStringLiteral("-DWORK_DIR=") + s_dir->path(QStringLiteral("work")),
                          QStringLiteral("-DOUTPUT=") + s_chm, QStringLiteral("-P"),
                          HelpSources + QStringLiteral("/compile.cmake")},
                         &code);
        s_built = code == 0 && QFile::exists(s_chm);
    }
    static void TearDownTestSuite() {
        if (HelpViewer* v = HelpViewer::existing())
            v->hide();
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_built) << s_buildLog.toStdString(); }

    static QString titleShown() { return HelpViewer::existing()->browser()->documentTitle(); }

    static inline TempDir* s_dir = nullptr;
    static inline QString s_chm;
    static inline QString s_buildLog;
    static inline bool s_built = false;
};

TEST_F(HelpFile, ChmlsListsEveryFileOfTheProject) {
    const QString chmls = QStandardPaths::findExecutable(QStringLiteral("chmls"));
    ASSERT_FALSE(chmls.isEmpty()) << "chmls (fp-utils) is not installed";
    int code = 0;
    const QString listing = run(chmls, {QStringLiteral("list"), s_chm}, &code);
    ASSERT_EQ(code, 0) << listing.toStdString();
    QStringList listed;
    static const QRegularExpression row(QStringLiteral("^\\s*\\d+\\s+\\d+\\s+\\d+\\s+/(\\S.*)$"),
                                        QRegularExpression::MultilineOption);
    for (auto it = row.globalMatch(listing); it.hasNext();)
        listed << it.next().captured(1).trimmed();
    for (const QString& file : projectFiles())
        EXPECT_TRUE(listed.contains(file)) << file.toStdString() << " not in\n"
                                           << listing.toStdString();
    EXPECT_TRUE(listed.contains(QStringLiteral("qly.hhc")));
    for (const char* topic : {OptionsHelpTopic, PrintPreviewHelpTopic, GoMobileHelpTopic})
        EXPECT_TRUE(listed.contains(QLatin1String(topic))) << topic;

    // chmlib sees the same files, and the project settings the viewer starts from.
    const ChmArchive archive(s_chm);
    ASSERT_TRUE(archive.isOpen());
    QStringList files = archive.files();
    for (const QString& file : projectFiles())
        EXPECT_TRUE(files.contains(file)) << file.toStdString();
    EXPECT_EQ(archive.title(), QStringLiteral("Quillery Help"));
    EXPECT_EQ(archive.contentsFile(), QStringLiteral("qly.hhc"));
    EXPECT_EQ(archive.defaultTopic(), QStringLiteral("HTML/welcome.htm"));
    EXPECT_EQ(archive.read(QStringLiteral("HTML/qly.css")).value_or(QByteArray()), [] {
        QFile f(sourceFile(QStringLiteral("HTML/qly.css")));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }());
}

TEST_F(HelpFile, EveryTopicTheProgramNamesOpensWithItsTitle) {
    for (const char* topic : {OptionsHelpTopic, PrintPreviewHelpTopic, GoMobileHelpTopic}) {
        ASSERT_TRUE(HelpViewer::showTopic(s_chm, QLatin1String(topic))) << topic;
        HelpViewer* viewer = HelpViewer::existing();
        ASSERT_NE(viewer, nullptr);
        EXPECT_TRUE(viewer->isVisible());
        EXPECT_EQ(viewer->currentTopic(), QLatin1String(topic));
        EXPECT_EQ(titleShown(), sourceTitle(QLatin1String(topic))) << topic;
        // The contents show where the page stands.
        ASSERT_NE(viewer->contentsTree()->currentItem(), nullptr) << topic;
        EXPECT_EQ(viewer->contentsTree()->currentItem()->data(0, Qt::UserRole).toString(),
                  QLatin1String(topic));
    }
    EXPECT_EQ(sourceTitle(QLatin1String(OptionsHelpTopic)), QStringLiteral("Options"));
    EXPECT_EQ(sourceTitle(QLatin1String(PrintPreviewHelpTopic)),
              QStringLiteral("Printing and the print preview"));
    EXPECT_EQ(sourceTitle(QLatin1String(GoMobileHelpTopic)),
              QStringLiteral("Go Mobile: notes on a USB stick"));

    // The contents operation opens the contents page, in the same window.
    HelpViewer* viewer = HelpViewer::existing();
    ASSERT_TRUE(HelpViewer::showContents(s_chm));
    EXPECT_EQ(HelpViewer::existing(), viewer);
    EXPECT_EQ(viewer->currentTopic(), QStringLiteral("HTML/welcome.htm"));
    EXPECT_EQ(titleShown(), QStringLiteral("Quillery Help"));
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Quillery Help"));
}

TEST_F(HelpFile, EveryContentsEntryOpensItsPage) {
    ASSERT_TRUE(HelpViewer::showContents(s_chm));
    HelpViewer* viewer = HelpViewer::existing();
    QTreeWidget* tree = viewer->contentsTree();
    tree->expandAll();
    QStringList reached;
    int entries = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        ++entries;
        const QString topic = (*it)->data(0, Qt::UserRole).toString();
        if (topic.isEmpty())
            continue; // a heading
        tree->scrollToItem(*it);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(*it).center());
        EXPECT_EQ(viewer->currentTopic(), topic);
        EXPECT_EQ(titleShown(), sourceTitle(topic)) << topic.toStdString();
        reached << topic;
    }
    EXPECT_GE(entries, 13);
    // Every page of the project can be reached from the contents.
    for (const QString& page : pageFiles())
        EXPECT_TRUE(reached.contains(page)) << page.toStdString();
}

TEST_F(HelpFile, EveryLinkBetweenPagesLeadsToAPage) {
    for (const QString& page : pageFiles()) {
        ASSERT_TRUE(HelpViewer::showTopic(s_chm, page));
        QTextBrowser* browser = HelpViewer::existing()->browser();
        QStringList hrefs;
        for (QTextBlock b = browser->document()->begin(); b.isValid(); b = b.next())
            for (auto f = b.begin(); !f.atEnd(); ++f)
                if (f.fragment().charFormat().isAnchor())
                    hrefs << f.fragment().charFormat().anchorHref();
        EXPECT_FALSE(hrefs.isEmpty()) << page.toStdString() << " links nowhere";
        for (const QString& href : hrefs) {
            ASSERT_TRUE(HelpViewer::showTopic(s_chm, page));
            const QUrl target = browser->source().resolved(QUrl(href));
            browser->setSource(QUrl(href));
            EXPECT_EQ(browser->source().path(), target.path())
                << page.toStdString() << " -> " << href.toStdString();
            EXPECT_EQ(titleShown(), sourceTitle(target.path().mid(1)))
                << page.toStdString() << " -> " << href.toStdString();
        }
    }
}

TEST_F(HelpFile, ALinkClickedInThePageOpensItsTarget) {
    ASSERT_TRUE(HelpViewer::showContents(s_chm));
    HelpViewer* viewer = HelpViewer::existing();
    QTextBrowser* browser = viewer->browser();
    viewer->resize(780, 560);
    // Find the link to the options page and click in the middle of its text.
    QTextCursor cursor;
    for (QTextBlock b = browser->document()->begin(); b.isValid() && cursor.isNull(); b = b.next())
        for (auto f = b.begin(); !f.atEnd(); ++f)
            if (f.fragment().charFormat().anchorHref() == QLatin1String("qly5a40.htm")) {
                cursor = QTextCursor(browser->document());
                cursor.setPosition(f.fragment().position() + 2);
                break;
            }
    ASSERT_FALSE(cursor.isNull());
    browser->setTextCursor(cursor);
    browser->ensureCursorVisible();
    QTest::mouseClick(browser->viewport(), Qt::LeftButton, {},
                      browser->cursorRect(cursor).center());
    EXPECT_EQ(viewer->currentTopic(), QLatin1String(OptionsHelpTopic));
    EXPECT_EQ(titleShown(), QStringLiteral("Options"));
    // Back returns to the contents page.
    browser->backward();
    EXPECT_EQ(viewer->currentTopic(), QStringLiteral("HTML/welcome.htm"));
}

// The page has a caret that the arrows move, line by line, as a screen reader reads it.
TEST_F(HelpFile, TheArrowsMoveACaretThroughThePage) {
    ASSERT_TRUE(HelpViewer::showContents(s_chm));
    QTextBrowser* browser = HelpViewer::existing()->browser();
    browser->setFocus();
    browser->moveCursor(QTextCursor::Start);
    QTest::keyClick(browser, Qt::Key_Down);
    EXPECT_GT(browser->textCursor().position(), 0);
    EXPECT_TRUE(browser->isReadOnly());
}

TEST_F(HelpFile, PicturesAndStyleSheetsComeOutOfTheHelpFile) {
    ASSERT_TRUE(HelpViewer::showTopic(s_chm, QStringLiteral("HTML/mainwindow.htm")));
    QTextBrowser* browser = HelpViewer::existing()->browser();
    const QVariant picture = browser->document()->resource(
        QTextDocument::ImageResource, QUrl(QStringLiteral("../images/titlebar.png")));
    QImage image;
    if (picture.userType() == QMetaType::QImage)
        image = picture.value<QImage>();
    else if (picture.userType() == QMetaType::QPixmap)
        image = picture.value<QPixmap>().toImage();
    else
        image.loadFromData(picture.toByteArray());
    EXPECT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QImage(sourceFile(QStringLiteral("images/titlebar.png"))).size());

    // The style sheet colours the heading.
    const QTextBlock heading = browser->document()->begin();
    EXPECT_EQ(heading.text(), QStringLiteral("The Quillery window"));
    EXPECT_EQ(heading.charFormat().foreground().color(), QColor(0x1b, 0x6b, 0x2a));
}

TEST_F(HelpFile, AMissingTopicOrHelpFileShowsNothingAndSaysNothing) {
    ASSERT_TRUE(HelpViewer::showTopic(s_chm, QLatin1String(GoMobileHelpTopic)));
    HelpViewer* viewer = HelpViewer::existing();
    viewer->hide();

    EXPECT_FALSE(HelpViewer::showTopic(s_chm, QStringLiteral("HTML/nosuchpage.htm")));
    EXPECT_FALSE(viewer->isVisible());
    EXPECT_EQ(viewer->currentTopic(), QLatin1String(GoMobileHelpTopic));

    EXPECT_FALSE(HelpViewer::showContents(s_dir->path(QStringLiteral("missing/qly.chm"))));
    EXPECT_FALSE(HelpViewer::showTopic(s_dir->path(QStringLiteral("missing/qly.chm")),
                                       QLatin1String(OptionsHelpTopic)));
    EXPECT_FALSE(viewer->isVisible());

    // The program's own operations look beside the program, where this suite puts no help.
    ASSERT_FALSE(QFile::exists(helpFilePath()));
    showHelpContents();
    showHelpTopic(QLatin1String(OptionsHelpTopic));
    EXPECT_FALSE(viewer->isVisible());
    EXPECT_TRUE(otherWindowsShown().isEmpty()) << otherWindowsShown().join(", ").toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(HelpFile, ADamagedOrForeignHelpFileShowsNothing) {
    QFile good(s_chm);
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    TempDir dir;
    std::mt19937 random(7);
    QList<QPair<QString, QByteArray>> damaged{
        {QStringLiteral("empty"), QByteArray()},
        {QStringLiteral("text"), QByteArray("<html><title>not a help file</title></html>")},
        {QStringLiteral("header only"), bytes.left(0x60)},
        {QStringLiteral("first half"), bytes.left(bytes.size() / 2)},
        {QStringLiteral("all but the end"), bytes.left(bytes.size() - 100)},
    };
    // Damaged help files that made the help library free memory twice and read through a
    // wild pointer.
    const QStringList crashing{QStringLiteral("double-free.chm"),
                               QStringLiteral("bad-pointer.chm")};
    for (const QString& name : crashing) {
        QFile f(QStringLiteral(QLY_SOURCE_DIR "/tests/gui/help/data/") + name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
        damaged.append({name, f.readAll()});
    }
    for (int i = 0; i < 40; ++i) {
        QByteArray b = bytes;
        for (int k = 0; k < 8; ++k)
            b[static_cast<qsizetype>(random() % b.size())] = static_cast<char>(random());
        damaged.append({QStringLiteral("flipped %1").arg(i), b});
    }
    // A folder where the file should be.
    ASSERT_TRUE(QDir().mkpath(dir.path(QStringLiteral("folder/qly.chm"))));
    EXPECT_FALSE(HelpViewer::showContents(dir.path(QStringLiteral("folder/qly.chm"))));

    for (const auto& [name, content] : damaged) {
        const QString file = dir.path(QStringLiteral("qly.chm"));
        QFile::remove(file);
        dir.write(QStringLiteral("qly.chm"), content);
        if (HelpViewer* v = HelpViewer::existing())
            v->hide();
        // Nothing may crash or hang; a page that still reads may show (damaged text is not
        // detectable), one that does not shows nothing.
        const bool shown = HelpViewer::showContents(file);
        if (HelpViewer* v = HelpViewer::existing()) {
            EXPECT_EQ(v->isVisible(), shown) << name.toStdString();
        }
        HelpViewer::showTopic(file, QLatin1String(OptionsHelpTopic));
    }
    for (const QString& n : QStringList{QStringLiteral("empty"), QStringLiteral("text"),
                                        QStringLiteral("header only")} +
                                crashing) {
        for (const auto& [name, content] : damaged)
            if (name == n) {
                dir.write(QStringLiteral("bad.chm"), content);
                EXPECT_FALSE(ChmArchive(dir.path(QStringLiteral("bad.chm"))).isOpen())
                    << name.toStdString();
            }
    }
}

TEST_F(HelpFile, AHelpFileReplacedWhileTheViewerIsOpenIsReadAgain) {
    TempDir dir;
    const QString file = dir.path(QStringLiteral("qly.chm"));
    ASSERT_TRUE(QFile::copy(s_chm, file));
    ASSERT_TRUE(HelpViewer::showTopic(file, QLatin1String(OptionsHelpTopic)));
    // An older help file without the Go Mobile page takes its place.
    TempDir sources;
    for (const QString& f :
         projectFiles() + QStringList{QStringLiteral("qly.hhc"), QStringLiteral("qly.hhp")}) {
        QDir().mkpath(QFileInfo(sources.path(f)).path());
        QFile::copy(sourceFile(f), sources.path(f));
    }
    QFile hhp(sources.path(QStringLiteral("qly.hhp")));
    ASSERT_TRUE(hhp.open(QIODevice::ReadOnly));
    QByteArray project = hhp.readAll();
    hhp.close();
    project.replace("HTML/qly0k1c.htm\n", "");
    project.replace("Title=Quillery Help", "Title=Old Quillery Help");
    QFile::remove(hhp.fileName());
    sources.write(QStringLiteral("qly.hhp"), project);
    int code = 0;
    const QString log =
        run(QStringLiteral(QLY_CHMCMD),
            {QStringLiteral("--no-html-scan"), QStringLiteral("qly.hhp")}, &code, sources.path());
    ASSERT_EQ(code, 0) << log.toStdString();
    QFile::remove(file);
    ASSERT_TRUE(QFile::copy(sources.path(QStringLiteral("qly.chm")), file));

    EXPECT_FALSE(HelpViewer::showTopic(file, QLatin1String(GoMobileHelpTopic)));
    ASSERT_TRUE(HelpViewer::showTopic(file, QLatin1String(PrintPreviewHelpTopic)));
    EXPECT_EQ(HelpViewer::existing()->windowTitle(), QStringLiteral("Old Quillery Help"));
}

TEST(HelpSitemap, ReadsNestedEntriesHeadingsAndEntities) {
    const QByteArray hhc = R"(<HTML><BODY>
<OBJECT type="text/site properties"><param name="ImageType" value="Folder"></OBJECT>
<UL>
 <LI> <OBJECT type="text/sitemap"><param name="Name" value="Start &amp; finish">
      <param name="Local" value="HTML/a.htm"></OBJECT>
 <UL>
   <LI><object TYPE='text/sitemap'><PARAM NAME=Name VALUE="Caf&#233;"><param name="Local" value="HTML/b.htm#part"></object>
 </UL>
 <!-- <LI><OBJECT type="text/sitemap"><param name="Name" value="commented out"></OBJECT> -->
 <LI><OBJECT type="text/sitemap"><param name="Name" value="Heading"></OBJECT>
 <UL><LI><OBJECT type="text/sitemap"><param name="Name" value="Leaf"><param name="Local" value="c.htm"></OBJECT></UL>
</UL></BODY></HTML>)";
    const QList<HelpContentsEntry> entries = HelpSitemap::parse(hhc);
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].name, QStringLiteral("Start & finish"));
    EXPECT_EQ(entries[0].local, QStringLiteral("HTML/a.htm"));
    ASSERT_EQ(entries[0].children.size(), 1);
    EXPECT_EQ(entries[0].children[0].name, QStringLiteral("Caf\u00e9"));
    EXPECT_EQ(entries[0].children[0].local, QStringLiteral("HTML/b.htm#part"));
    EXPECT_EQ(entries[1].name, QStringLiteral("Heading"));
    EXPECT_TRUE(entries[1].local.isEmpty());
    ASSERT_EQ(entries[1].children.size(), 1);
    EXPECT_EQ(entries[1].children[0].local, QStringLiteral("c.htm"));
}

TEST(HelpSitemap, DamagedInputIsCappedAndNeverFails) {
    // Unbalanced lists, a tag that never ends, an object never closed.
    EXPECT_TRUE(
        HelpSitemap::parse("</UL></UL><UL><LI><OBJECT type=\"text/sitemap\"><param").isEmpty());
    const QList<HelpContentsEntry> orphan = HelpSitemap::parse(
        "<UL><UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"x\"></OBJECT>");
    ASSERT_EQ(orphan.size(), 1);

    QByteArray deep;
    for (int i = 0; i < 10000; ++i)
        deep += "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"d\"></OBJECT>";
    QList<HelpContentsEntry> level = HelpSitemap::parse(deep);
    int depth = 0;
    int total = 0;
    while (!level.isEmpty()) {
        ++depth;
        total += level.size();
        level = QList<HelpContentsEntry>(level.last().children);
    }
    EXPECT_LE(depth, HelpSitemap::MaxDepth);
    EXPECT_EQ(total, HelpSitemap::MaxEntries);
}

TEST(HelpStyle, PointSizesGrowWithTheDesktopFont) {
    const QString css =
        QStringLiteral("body { font-size: 10pt; margin: 4px; } h1 { font-size: 7.5pt; }");
    EXPECT_EQ(grownStyleSheet(css, 1), css);
    EXPECT_EQ(grownStyleSheet(css, 1.6),
              QStringLiteral("body { font-size: 16.0pt; margin: 4px; } h1 { font-size: 12.0pt; }"));
}

TEST(ChmArchive, NormalizesPathsAsTheFileStoresThem) {
    EXPECT_EQ(ChmArchive::normalizedPath(QStringLiteral("HTML/qly5a40.htm")),
              QStringLiteral("/HTML/qly5a40.htm"));
    EXPECT_EQ(ChmArchive::normalizedPath(QStringLiteral("/HTML/../images/a.png")),
              QStringLiteral("/images/a.png"));
    EXPECT_EQ(ChmArchive::normalizedPath(QStringLiteral("HTML\\b.htm#top")),
              QStringLiteral("/HTML/b.htm"));
    EXPECT_EQ(ChmArchive::normalizedPath(QStringLiteral("./a.htm?x=1")), QStringLiteral("/a.htm"));
    EXPECT_FALSE(ChmArchive(QStringLiteral("/nonexistent/qly.chm")).isOpen());
}

} // namespace
