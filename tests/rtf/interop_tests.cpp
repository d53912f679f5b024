// Interoperation with other programs' RTF, made by the test itself:
//  - LibreOffice, AbiWord and pandoc turn an HTML page into RTF; our reader must see the
//    text, styles, colours and alignment of the page;
//  - our writer's RTF goes to LibreOffice, which must see the same text (--convert-to txt)
//    and formatting (--convert-to html, and its own RTF read back by our reader).
// A converter that is not installed skips its part. LibreOffice takes seconds to start: the
// suite makes every file first, in four runs of it (HTML to RTF, then RTF to RTF, text and
// HTML), and the cases read the results.
#include "rtf/rtf.h"
#include "rtf/rtfpictures.h"

#include <QBuffer>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <cmath>

#include <functional>

using namespace qly;

namespace {

const char* kHtml =
    R"(<!DOCTYPE html><html><head><meta charset="utf-8"><title>t</title></head><body>
<p style="text-align:center"><b>Bold centre</b></p>
<p style="text-align:right"><i>Italic right</i></p>
<p style="text-align:justify"><u>Underlined justified</u> and <s>struck</s> text.</p>
<p><span style="color:#ff0000">Red</span> <span style="background:#ffff00">yellow back</span> <span style="font-family:'DejaVu Serif'; font-size:18pt">Serif 18</span></p>
<p>Кириллица Ελληνικά 日本語 中文 한국어 😀 café naïve</p>
<table><tr><td>A1</td><td>B1</td></tr><tr><td>A2</td><td>B2</td></tr></table>
<p>Last paragraph</p>
</body></html>
)";

bool have(const char* program) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty();
}

bool run(const QString& program, const QStringList& args, const QString& dir) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(180000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The HTML page as RTF made by AbiWord or pandoc, in a folder of the program's name under
// DIR; empty when the program failed.
QString convertedBy(const char* program, const QString& html, const QString& dir) {
    const QString folder = dir + "/" + program;
    QDir().mkpath(folder);
    const QString out = folder + "/" + QFileInfo(html).completeBaseName() + ".rtf";
    const QStringList args = qstrcmp(program, "abiword") == 0
                                 ? QStringList{"--to=rtf", "-o", out, html}
                                 : QStringList{"-s", html, "-o", out};
    return run(program, args, dir) ? out : QString();
}

// LibreOffice with a profile of its own, so that the test runs beside other instances.
class Office {
public:
    explicit Office(const QString& dir)
        : m_profile(QUrl::fromLocalFile(dir + "/profile").toString()) {}
    // All the files in one run, their results in outDir under their base names.
    bool convert(const QStringList& in, const QString& filter, const QString& outDir,
                 const QString& infilter = QString()) const {
        QDir().mkpath(outDir);
        QStringList args{"-env:UserInstallation=" + m_profile, "--headless"};
        if (!infilter.isEmpty())
            args << "--infilter=" + infilter;
        args << "--convert-to" << filter << "--outdir" << outDir << in;
        return run("soffice", args, outDir);
    }

private:
    QString m_profile;
};

QString paraText(const Paragraph& p) {
    QString s;
    for (const TextRun& r : p.runs)
        s += r.text;
    return s;
}

// The paragraph whose text contains the needle, or nullptr.
const Paragraph* find(const Document& d, const QString& needle) {
    for (const Paragraph& p : d.paragraphs)
        if (paraText(p).contains(needle))
            return &p;
    return nullptr;
}

// The format of the first character of the needle.
std::optional<CharFormat> formatAt(const Document& d, const QString& needle) {
    for (const Paragraph& p : d.paragraphs) {
        const qsizetype at = paraText(p).indexOf(needle);
        if (at < 0)
            continue;
        qsizetype pos = 0;
        for (const TextRun& r : p.runs) {
            if (at < pos + r.text.size())
                return r.format;
            pos += r.text.size();
        }
    }
    return std::nullopt;
}

struct Producer {
    const char* name;
    bool colours;   // keeps colours and fonts
    bool alignment; // keeps alignment
};

void checkOthersRtf(const Document& d, const Producer& pr) {
    SCOPED_TRACE(pr.name);
    const Paragraph* p = find(d, "Bold centre");
    ASSERT_TRUE(p);
    EXPECT_TRUE(formatAt(d, "Bold centre")->bold);
    if (pr.alignment) {
        EXPECT_EQ(p->align, Alignment::Center);
    }
    p = find(d, "Italic right");
    ASSERT_TRUE(p);
    EXPECT_TRUE(formatAt(d, "Italic right")->italic);
    if (pr.alignment) {
        EXPECT_EQ(p->align, Alignment::Right);
    }
    p = find(d, "Underlined justified");
    ASSERT_TRUE(p);
    EXPECT_TRUE(formatAt(d, "Underlined justified")->underline);
    EXPECT_FALSE(formatAt(d, " and ")->underline);
    EXPECT_TRUE(formatAt(d, "struck")->strike);
    if (pr.alignment) {
        EXPECT_EQ(p->align, Alignment::Justify);
    }
    if (pr.colours) {
        EXPECT_EQ(formatAt(d, "Red")->color, 0xFF0000u);
        EXPECT_EQ(formatAt(d, "yellow back")->background, 0xFFFF00u);
        EXPECT_EQ(formatAt(d, "Serif 18")->font, "DejaVu Serif");
        EXPECT_EQ(formatAt(d, "Serif 18")->size, 18.0);
    }
    // Non-Latin text, as pandoc and LibreOffice write it (\u) and AbiWord too.
    const Paragraph* intl = find(d, QString::fromUtf8("Кириллица"));
    ASSERT_TRUE(intl);
    const QString t = paraText(*intl).simplified();
    EXPECT_TRUE(t.contains(QString::fromUtf8("Кириллица Ελληνικά 日本語 中文 한국어")))
        << t.toStdString();
    EXPECT_TRUE(t.contains(QString::fromUtf8("😀"))) << t.toStdString();
    EXPECT_TRUE(t.contains(QString::fromUtf8("café naïve"))) << t.toStdString();
    // The table: two rows of two cells; find's text keeps a row's cells a tab apart.
    EXPECT_EQ(d.rows.size(), 2u);
    EXPECT_TRUE(rtf::documentText(d).contains("A1\tB1\r\nA2\tB2"))
        << rtf::documentText(d).toStdString();
    ASSERT_TRUE(find(d, "B2"));
    EXPECT_EQ(find(d, "B2")->cell, 1);
    EXPECT_TRUE(find(d, "Last paragraph"));
}

// A page with what Quillery's editor can express.
Document samplePage() {
    Document d;
    auto para = [&](Alignment align, std::initializer_list<TextRun> runs) {
        Paragraph p;
        p.align = align;
        p.runs = runs;
        d.paragraphs.push_back(p);
    };
    CharFormat base;
    base.font = "Liberation Sans";
    base.size = 12;
    CharFormat bold = base, red = base, yellow = base, serif = base, styled = base;
    bold.bold = true;
    red.color = 0xFF0000;
    yellow.background = 0xFFFF00;
    serif.font = "DejaVu Serif";
    serif.size = 18;
    styled.italic = styled.underline = styled.strike = true;
    styled.size = 10.5;
    para(Alignment::Center,
         {{"Bold", bold}, {" centre ", base}, {"red", red}, {" ", base}, {"yellow", yellow}});
    para(Alignment::Right, {{"Serif 18", serif}});
    para(Alignment::Justify, {{"styled", styled}, {" plain", base}});
    para(Alignment::Left,
         {{QString::fromUtf8("Кириллица Ελληνικά 日本語 中文 한국어 😀 café naïve €‚ œ"), base}});
    para(Alignment::Left, {});
    para(Alignment::Left, {{"tab\there {braces} \\backslash", base}});
    return d;
}

// One entry per character: the character and its format, as LibreOffice keeps them.
std::vector<std::pair<QChar, CharFormat>> flatten(const Paragraph& p) {
    std::vector<std::pair<QChar, CharFormat>> out;
    for (const TextRun& r : p.runs) {
        CharFormat f = r.format;
        f.charset = 0;
        if (!f.color)
            f.color = 0; // LibreOffice writes the automatic colour as black
        for (QChar c : r.text)
            out.emplace_back(c, f);
    }
    return out;
}

// What LibreOffice shows of each paragraph of a document it read and wrote again as RTF:
// text, list kind, start and level, indents, spacing and tab stops (all in twips).
// Without `trailing`, the space after and the tab stops are left out: pandoc sets them after
// a paragraph's text, where LibreOffice ignores them and we, as the RTF format defines it
// and Word does, apply them to the paragraph.
QStringList shownByOffice(const Document& d, bool trailing) {
    QStringList out;
    int rowBefore = 0;
    for (const Paragraph& p : d.paragraphs) {
        // A table row: its cells' right edges (to the nearest tenth of the row's width:
        // LibreOffice takes cell padding we do not keep into the widths) and merges, then its
        // cells' paragraphs but empty ones beside others (LibreOffice sees one more in each of
        // pandoc's cells, after the paragraph mark pandoc puts before the cell's end).
        if (p.row > 0 && p.row != rowBefore) {
            const TableRow& r = d.rows.at(size_t(p.row) - 1);
            const int left = r.left, width = std::max(r.cells.back().right - left, 1);
            QString row = QString("row %1:").arg(p.row);
            for (const TableCell& c : r.cells)
                row += QString(" %1%/%2/%3")
                           .arg(10 * std::lround((c.right - left) * 10.0 / width))
                           .arg(int(c.merge))
                           .arg(int(c.vmerge));
            out << row;
        }
        rowBefore = p.row;
        if (p.row > 0 && paraText(p).isEmpty() && &p != &d.paragraphs.front() &&
            ((&p)[-1].row == p.row && (&p)[-1].cell == p.cell))
            continue;
        QString kind = "-";
        if (p.list > 0) {
            const ListLevel& l = d.lists.at(size_t(p.list) - 1).levels[p.listLevel];
            kind = QString("%1/%2/%3")
                       .arg(int(l.style))
                       .arg(l.style == ListStyle::Bullet ? 1 : l.start)
                       .arg(p.listLevel);
        }
        QString tabs;
        for (const TabStop& t : p.tabs)
            tabs += QString(" t%1:%2").arg(int(t.kind)).arg(t.position);
        if (!trailing)
            tabs.clear();
        const QString cell = p.row > 0 ? QString("cell %1: ").arg(p.cell) : QString();
        out << cell + QString("%1 %2 li%3 ri%4 fi%5 sb%6 sa%7 sl%8%9")
                          .arg(paraText(p), kind)
                          .arg(p.leftIndent)
                          .arg(p.rightIndent)
                          .arg(p.firstIndent)
                          .arg(p.spaceBefore)
                          .arg(trailing ? p.spaceAfter : 0)
                          .arg(p.lineSpacing)
                          .arg(tabs);
    }
    return out;
}

// What a case compares of LibreOffice's reading of their file and of ours.
using Shown = std::function<QStringList(const Document&)>;

const char* kStructuredHtml =
    R"(<!DOCTYPE html><html><head><meta charset="utf-8"></head><body>
<p style="margin-left:1in; text-indent:-0.25in; margin-top:12pt; margin-bottom:6pt; line-height:150%">Indented and spaced</p>
<ul><li>bullet one<ul><li>inner</li></ul></li><li>bullet two</li></ul>
<ol start="3"><li>three</li><li>four<ol type="a"><li>a-item</li></ol></li></ol>
<table border="1"><tr><td>A1</td><td colspan="2">B1 wide</td></tr>
<tr><td rowspan="2">A2 tall</td><td>B2</td><td><p>C2 one</p><p>C2 two</p></td></tr>
<tr><td>B3</td><td>C3</td></tr></table>
<p>End</p></body></html>)";

// A page as the rich-edit control writes it: \pn bullets and numbering, indents, tab stops.
const char* kRichEditPage =
    R"({\rtf1\ansi\ansicpg1252\deff0\nouicompat\deflang1033{\fonttbl{\f0\fnil\fcharset0 Calibri;}{\f1\fnil\fcharset2 Symbol;}}
{\*\generator Riched20 10.0.19041}\viewkind4\uc1
\pard\sa200\sl276\slmult1\f0\fs22\lang9 Plain start\par
\pard{\pntext\f1\'B7\tab}{\*\pn\pnlvlblt\pnf1\pnindent0{\pntxtb\'B7}}\fi-360\li720\sa200\sl276\slmult1 first bullet\par
{\pntext\f1\'B7\tab}second bullet\par
\pard{\pntext\f0 1.\tab}{\*\pn\pnlvlbody\pnf0\pnindent0\pnstart1\pndec{\pntxta.}}\fi-360\li720\sa200\sl276\slmult1 one\par
{\pntext\f0 2.\tab}two\par
\pard\li1440\ri720\sb120\sa240\sl276\slmult1 indented both sides\par
\pard\tx1440\tqr\tx4320\tqc\tx6480\sa200\sl276\slmult1 a\tab right\tab centre\par
}
)";

// An image file made here: a gradient of w x h pixels.
QByteArray imageFile(int w, int h, const char* format) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(200, x * 5, y * 7));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// An HTML page with a PNG and a JPEG in it.
QByteArray picturesHtml() {
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>\n"
           "<p>Before <img src=\"data:image/png;base64," +
           imageFile(48, 32, "PNG").toBase64() +
           "\" width=\"96\" height=\"64\"> between <img src=\"data:image/jpeg;base64," +
           imageFile(40, 24, "JPEG").toBase64() + "\"> after</p>\n<p>End</p></body></html>\n";
}

// The pictures LibreOffice shows of a document it read and wrote again: their form, their
// pixels and the size they are shown at, in twips.
QStringList picturesShownByOffice(const Document& d) {
    QStringList out;
    for (const Paragraph& p : d.paragraphs)
        for (const TextRun& r : p.runs)
            if (r.picture > 0) {
                const Picture& pic = d.pictures.at(size_t(r.picture) - 1);
                int w = 0, h = 0;
                rtf::imagePixelSize(pic.format, pic.data, w, h);
                out << QString("%1 %2x%3 px %4x%5 twips")
                           .arg(int(pic.format))
                           .arg(w)
                           .arg(h)
                           .arg(pic.width)
                           .arg(pic.height);
            }
    return out;
}

// A minimal Windows metafile (header and end record) as a rich-edit page holds one.
const char* kRichEditPicturePage =
    R"({\rtf1\ansi\ansicpg1252\deff0\nouicompat{\fonttbl{\f0\fnil\fcharset0 Calibri;}}
{\*\generator Riched20 10.0.19041}\viewkind4\uc1
\pard\sa200\sl276\slmult1\f0\fs22\lang9 Before {\pict\wmetafile8\picw2540\pich1270\picwgoal1440\pichgoal720 
0100090000030c0000000000030000000000
030000000000
} after\par
}
)";

// A page as another program wrote it, and as Quillery wrote it again after a view
// (`qly-rtf roundtrip`: read into the editor's document and written back as leaving the page
// does): both go to LibreOffice, which must see in our file what it sees in theirs.
struct Viewed {
    QString producer;
    QString theirs; // their file
    QString name;   // the base name of the pair in the conversions' folders
    bool viewed;    // qly-rtf wrote ours
};

// Every file the cases look at, made once for all of them.
class Conversions {
public:
    Conversions() : m_office(m_dir.path()) {}

    void make() {
        m_haveOffice = have("soffice");
        writeFile(path("page.html"), kHtml);
        writeFile(path("structured.html"), kStructuredHtml);
        writeFile(path("pictures.html"), picturesHtml());
        QDir().mkpath(path("richedit"));
        writeFile(path("richedit/lists.rtf"), kRichEditPage);
        writeFile(path("richedit/pictures.rtf"), kRichEditPicturePage);
        QDir().mkpath(path("view"));
        writeFile(path("view/sample.rtf"), rtf::writeDocument(samplePage()));
        for (const char* program : {"abiword", "pandoc"})
            if (have(program))
                for (const char* page : {"page", "structured", "pictures"})
                    m_made[QString("%1/%2").arg(program, page)] =
                        convertedBy(program, path(page) + ".html", m_dir.path());
        if (!m_haveOffice)
            return;
        m_office.convert({path("page.html"), path("structured.html"), path("pictures.html")},
                         "rtf:Rich Text Format", path("lo"), "HTML (StarWriter)");
        // Their pages and ours after a view, side by side under unique names.
        QStringList toRead{path("view/sample.rtf")};
        for (const char* page : {"structured", "pictures"}) {
            view("LibreOffice", path("lo/") + page + ".rtf", page, toRead);
            view("AbiWord", made(QString("abiword/") + page), page, toRead);
            view("pandoc", made(QString("pandoc/") + page), page, toRead);
        }
        view("rich edit", path("richedit/lists.rtf"), "lists", toRead);
        view("rich edit", path("richedit/pictures.rtf"), "pictures", toRead);
        m_office.convert(toRead, "rtf:Rich Text Format", path("lo-rtf"));
        m_office.convert({path("view/sample.rtf")}, "txt:Text (encoded):UTF8", path("lo-txt"));
        m_office.convert({path("view/sample.rtf")}, "html:HTML (StarWriter)", path("lo-html"));
    }

    bool haveOffice() const { return m_haveOffice; }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    // What AbiWord or pandoc made of a page ("abiword/page"); empty when not installed or failed.
    QString made(const QString& key) const { return m_made.value(key); }
    bool installed(const QString& key) const { return m_made.contains(key); }
    const Viewed* viewed(const QString& producer, const QString& page) const {
        for (const Viewed& v : m_viewed)
            if (v.producer == producer && v.name.endsWith("-" + page))
                return &v;
        return nullptr;
    }

private:
    void view(const QString& producer, const QString& theirs, const QString& page,
              QStringList& toRead) {
        if (theirs.isEmpty() || !QFileInfo::exists(theirs))
            return;
        const QString name = QString(producer).replace(' ', '_') + "-" + page;
        const QString copy = path("view/theirs-" + name + ".rtf");
        const QString ours = path("view/ours-" + name + ".rtf");
        QFile::copy(theirs, copy);
        const bool viewed =
            run(QLY_BINARY_DIR "/bin/qly-rtf", {"roundtrip", theirs, ours}, m_dir.path());
        m_viewed.push_back({producer, theirs, name, viewed});
        toRead << copy << ours;
    }

    QTemporaryDir m_dir;
    Office m_office;
    bool m_haveOffice = false;
    QHash<QString, QString> m_made;
    std::vector<Viewed> m_viewed;
};

} // namespace

class RtfInterop : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_files = new Conversions;
        s_files->make();
    }
    static void TearDownTestSuite() {
        delete s_files;
        s_files = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(QFileInfo::exists(files().path("page.html"))); }
    static const Conversions& files() { return *s_files; }

    // LibreOffice sees the same in our file as in theirs.
    static void checkViewKeepsWhatOfficeSees(const char* producer, const char* page,
                                             const Shown& shown) {
        SCOPED_TRACE(producer);
        const Viewed* v = files().viewed(producer, page);
        ASSERT_TRUE(v) << producer << " made no " << page;
        ASSERT_TRUE(v->viewed) << "qly-rtf roundtrip failed on " << v->theirs.toStdString();
        const auto officeRead = [&](const char* side) {
            const QString file = files().path(QString("lo-rtf/%1-%2.rtf").arg(side, v->name));
            EXPECT_TRUE(QFileInfo::exists(file)) << file.toStdString();
            return rtf::readDocument(readFile(file));
        };
        const QStringList want = shown(officeRead("theirs"));
        ASSERT_FALSE(want.isEmpty());
        EXPECT_EQ(shown(officeRead("ours")).join('\n').toStdString(),
                  want.join('\n').toStdString());
    }

private:
    static inline Conversions* s_files = nullptr;
};

TEST_F(RtfInterop, ReadsWhatOthersWrite) {
    int tried = 0;
    if (files().haveOffice()) {
        const QString lo = files().path("lo/page.rtf");
        ASSERT_TRUE(QFileInfo::exists(lo)) << "LibreOffice made no " << lo.toStdString();
        checkOthersRtf(rtf::readDocument(readFile(lo)), {"LibreOffice", true, true});
        ++tried;
    }
    for (const Producer& pr : {Producer{"abiword", true, true}, Producer{"pandoc", false, false}}) {
        const QString key = QString(pr.name) + "/page";
        if (!files().installed(key))
            continue;
        ASSERT_FALSE(files().made(key).isEmpty()) << pr.name << " failed";
        checkOthersRtf(rtf::readDocument(readFile(files().made(key))), pr);
        ++tried;
    }
    if (tried == 0)
        GTEST_SKIP() << "no converter installed";
}

TEST_F(RtfInterop, LibreOfficeReadsWhatWeWrite) {
    if (!files().haveOffice())
        GTEST_SKIP() << "soffice is not installed";
    const Document page = samplePage();

    // The text, as LibreOffice's plain-text export sees it.
    QString text = QString::fromUtf8(readFile(files().path("lo-txt/sample.txt")));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace("\r\n", "\n");
    QStringList want;
    for (const Paragraph& p : page.paragraphs)
        want << paraText(p);
    EXPECT_EQ(text.split('\n').mid(0, want.size()), want);

    // The formatting, as LibreOffice writes it again in RTF and our reader sees it.
    const Document back = rtf::readDocument(readFile(files().path("lo-rtf/sample.rtf")));
    ASSERT_GE(back.paragraphs.size(), page.paragraphs.size());
    for (size_t i = 0; i < page.paragraphs.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(back.paragraphs[i].align, page.paragraphs[i].align);
        const auto a = flatten(page.paragraphs[i]);
        const auto b = flatten(back.paragraphs[i]);
        ASSERT_EQ(a.size(), b.size());
        for (size_t k = 0; k < a.size(); ++k) {
            EXPECT_EQ(a[k].first, b[k].first) << k;
            EXPECT_EQ(a[k].second, b[k].second) << "character " << k;
        }
    }

    // And its HTML export shows the same formatting.
    const QString html = QString::fromUtf8(readFile(files().path("lo-html/sample.html")));
    EXPECT_TRUE(html.contains("<b>Bold</b>"));
    EXPECT_TRUE(html.contains(R"(<font color="#ff0000">)"));
    EXPECT_TRUE(html.contains("background: #ffff00"));
    EXPECT_TRUE(html.contains("DejaVu Serif"));
    EXPECT_TRUE(html.contains("font-size: 18pt"));
    EXPECT_TRUE(html.contains(R"(align="center")"));
    EXPECT_TRUE(html.contains(R"(align="right")"));
    EXPECT_TRUE(html.contains(R"(align="justify")"));
    EXPECT_TRUE(html.contains("<strike>"));
    EXPECT_TRUE(html.contains("<i>"));
    EXPECT_TRUE(html.contains("<u>"));
    QString visible = html;
    visible.remove(QRegularExpression("<[^>]*>"));
    visible = visible.simplified();
    EXPECT_TRUE(
        visible.contains(QString::fromUtf8("Кириллица Ελληνικά 日本語 中文 한국어 😀 café naïve")))
        << visible.toStdString();
}

// Pages made by LibreOffice, AbiWord and pandoc from one HTML page with nested bullets and
// numbers, an indented, spaced paragraph and a table with cells merged across and down, and a
// rich-edit page with \pn lists and tab stops: after a view in Quillery, LibreOffice reads the
// same paragraphs, list items, indents, spacing, tab stops, table rows, cells, cell text and
// merges in our file as in theirs.
TEST_F(RtfInterop, OthersPagesSurviveAView) {
    if (!files().haveOffice())
        GTEST_SKIP() << "soffice is not installed";
    const Shown all = [](const Document& d) { return shownByOffice(d, true); };
    checkViewKeepsWhatOfficeSees("LibreOffice", "structured", all);
    const Document theirs = rtf::readDocument(readFile(files().path("lo/structured.rtf")));
    EXPECT_TRUE(find(theirs, "Indented and spaced"));
    EXPECT_EQ(find(theirs, "Indented and spaced")->leftIndent, 1440);
    EXPECT_GE(theirs.lists.size(), 2u);
    ASSERT_EQ(theirs.rows.size(), 3u); // the table, its tall cell merged down
    EXPECT_EQ(theirs.rows[2].cells.at(0).vmerge, CellMerge::Continue);

    if (files().installed("abiword/structured"))
        checkViewKeepsWhatOfficeSees("AbiWord", "structured", all);
    if (files().installed("pandoc/structured"))
        checkViewKeepsWhatOfficeSees("pandoc", "structured",
                                     [](const Document& d) { return shownByOffice(d, false); });
    checkViewKeepsWhatOfficeSees("rich edit", "lists", all);
}

// A PNG and a JPEG in an HTML page, made into RTF by LibreOffice, AbiWord and pandoc: after a
// view in Quillery, LibreOffice sees as many pictures in our file as in theirs, of the same
// pixels at the same size. A rich-edit page's metafile comes back byte for byte.
TEST_F(RtfInterop, PicturesSurviveAView) {
    if (!files().haveOffice())
        GTEST_SKIP() << "soffice is not installed";
    const Document theirs = rtf::readDocument(readFile(files().path("lo/pictures.rtf")));
    ASSERT_EQ(theirs.pictures.size(), 2u);
    EXPECT_EQ(theirs.pictures[0].format, PictureFormat::Png);
    EXPECT_EQ(theirs.pictures[1].format, PictureFormat::Jpeg);
    checkViewKeepsWhatOfficeSees("LibreOffice", "pictures", picturesShownByOffice);
    if (files().installed("abiword/pictures"))
        checkViewKeepsWhatOfficeSees("AbiWord", "pictures", picturesShownByOffice);
    if (files().installed("pandoc/pictures"))
        checkViewKeepsWhatOfficeSees("pandoc", "pictures", picturesShownByOffice);

    // The metafile: the same bytes after the view, and LibreOffice shows it as before.
    const QByteArray wmf = QByteArray(kRichEditPicturePage)
                               .mid(QByteArray(kRichEditPicturePage).indexOf("{\\pict"))
                               .chopped(QByteArray(" after\\par\n}\n").size());
    ASSERT_TRUE(wmf.endsWith("\n}"));
    EXPECT_TRUE(readFile(files().path("view/ours-rich_edit-pictures.rtf")).contains(wmf));
    checkViewKeepsWhatOfficeSees("rich edit", "pictures", picturesShownByOffice);
}
