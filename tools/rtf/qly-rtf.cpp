// qly-rtf: the RTF codec from the command line.
//   qly-rtf text FILE...     each file's plain text exactly as find sees it
//   qly-rtf dump FILE        the document model as JSON
//   qly-rtf convert IN OUT   read RTF (or plain text) and write it again through the model
//   qly-rtf roundtrip IN OUT read a page into the editor's document and write it as leaving
//                            the page does (runs qly-rtf-view beside this program)
// Exit status 1 with a message on an unreadable or unwritable file, 2 on wrong usage.
#include "pages/pagestore.h"
#include "rtf/rtf.h"
#include "rtf/rtftext.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// Reads a file as the program reads a page, with the same limits.
bool readFile(const char* path, QByteArray& out) {
    qly::PageFileRead file = qly::readPageFile(QFile::decodeName(path));
    if (!file.isRead()) {
        std::fprintf(stderr, "qly-rtf: cannot read %s: %s\n", path, qPrintable(file.reason));
        return false;
    }
    out = std::move(file.bytes);
    return true;
}

void writeOut(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

// The file being scanned, named if another program cuts it short while it is mapped: a read
// past its new end raises SIGBUS, which ends this program with a message instead.
const char* volatile g_scanned = nullptr;

void cutShort(int) {
    const auto say = [](const char* s) { (void)!::write(STDERR_FILENO, s, std::strlen(s)); };
    say("qly-rtf: cannot read ");
    say(g_scanned ? g_scanned : "a file");
    say(": it was cut short while it was read\n");
    ::_exit(1);
}

// Text as UTF-8, piece by piece (the scanner's pieces keep a character of two units whole),
// through one buffer. Encoded here rather than by QString::toUtf8, which takes twice as long
// on text in other scripts; a unit of a pair that stands alone is written '?', as it writes it.
class Utf8Out final : public qly::rtf::TextSink {
public:
    bool take(QStringView piece) override {
        if (m_bytes.size() < piece.size() * 3)
            m_bytes.resize(piece.size() * 3);
        const char* end =
            encode(reinterpret_cast<const char16_t*>(piece.utf16()), piece.size(), m_bytes.data());
        std::fwrite(m_bytes.constData(), 1, size_t(end - m_bytes.constData()), stdout);
        return true;
    }

private:
    static char* encode(const char16_t* s, qsizetype n, char* d) {
        const char16_t* const end = s + n;
        while (s < end) {
            const char16_t c = *s++;
            if (c < 0x80) {
                *d++ = char(c);
            } else if (c < 0x800) {
                *d++ = char(0xC0 | c >> 6);
                *d++ = char(0x80 | (c & 0x3F));
            } else if (!QChar::isSurrogate(c)) {
                *d++ = char(0xE0 | c >> 12);
                *d++ = char(0x80 | (c >> 6 & 0x3F));
                *d++ = char(0x80 | (c & 0x3F));
            } else if (QChar::isHighSurrogate(c) && s < end && QChar::isLowSurrogate(*s)) {
                const char32_t u = QChar::surrogateToUcs4(c, *s++);
                *d++ = char(0xF0 | u >> 18);
                *d++ = char(0x80 | (u >> 12 & 0x3F));
                *d++ = char(0x80 | (u >> 6 & 0x3F));
                *d++ = char(0x80 | (u & 0x3F));
            } else {
                *d++ = '?';
            }
        }
        return d;
    }

    QByteArray m_bytes;
};

QJsonValue color(const std::optional<std::uint32_t>& c) {
    if (!c)
        return QJsonValue::Null;
    return QString::asprintf("#%06x", unsigned(*c & 0xFFFFFF));
}

// A table row's definition: its edges and gap in twips, its cells' right edges, merges,
// borders (top, left, bottom, right: [width, colour]) and shading.
QJsonObject toJson(const qly::TableRow& row) {
    QJsonArray cells;
    for (const qly::TableCell& c : row.cells) {
        QJsonObject o;
        o.insert("right", c.right);
        if (c.merge != qly::CellMerge::None)
            o.insert("merge", c.merge == qly::CellMerge::First ? "first" : "continue");
        if (c.vmerge != qly::CellMerge::None)
            o.insert("vmerge", c.vmerge == qly::CellMerge::First ? "first" : "continue");
        QJsonArray borders;
        bool any = false;
        for (const qly::Border& b : c.borders) {
            borders.append(b.width ? QJsonValue(QJsonArray{b.width, color(b.color)})
                                   : QJsonValue());
            any = any || b.width;
        }
        if (any)
            o.insert("borders", borders);
        if (c.shading)
            o.insert("shading", color(c.shading));
        cells.append(o);
    }
    return QJsonObject{
        {"left", row.left}, {"gap", row.gap}, {"align", int(row.align)}, {"cells", cells}};
}

QJsonArray toJson(const qly::Document& doc) {
    QJsonArray paragraphs;
    int lastRow = 0;
    for (const qly::Paragraph& p : doc.paragraphs) {
        QJsonArray runs;
        for (const qly::TextRun& r : p.runs) {
            QJsonObject o;
            o.insert("text", r.text);
            o.insert("font", r.format.font);
            o.insert("size", r.format.size);
            o.insert("bold", r.format.bold);
            o.insert("italic", r.format.italic);
            o.insert("underline", r.format.underline);
            o.insert("strike", r.format.strike);
            o.insert("color", color(r.format.color));
            o.insert("background", color(r.format.background));
            if (r.picture > 0 && size_t(r.picture) <= doc.pictures.size()) {
                const qly::Picture& pic = doc.pictures[size_t(r.picture) - 1];
                QJsonObject po;
                po.insert("format", pic.format == qly::PictureFormat::Png    ? "png"
                                    : pic.format == qly::PictureFormat::Jpeg ? "jpeg"
                                                                             : "none");
                po.insert("width", pic.width);
                po.insert("height", pic.height);
                po.insert("bytes", pic.data.size());
                if (!pic.rtf.isEmpty())
                    po.insert("keptRtfBytes", pic.rtf.size());
                o.insert("picture", po);
            }
            runs.append(o);
        }
        QJsonObject po;
        po.insert("align", int(p.align));
        const int lengths[] = {p.leftIndent,  p.rightIndent, p.firstIndent,
                               p.spaceBefore, p.spaceAfter,  p.lineSpacing};
        const char* names[] = {"leftIndent",  "rightIndent", "firstIndent",
                               "spaceBefore", "spaceAfter",  "lineSpacing"};
        for (int i = 0; i < 6; ++i)
            if (lengths[i])
                po.insert(names[i], lengths[i]);
        if (p.lineMultiple)
            po.insert("lineMultiple", true);
        if (p.keepTogether)
            po.insert("keepTogether", true);
        if (p.keepWithNext)
            po.insert("keepWithNext", true);
        if (p.list) {
            po.insert("list", p.list);
            po.insert("listLevel", p.listLevel);
        }
        if (!p.tabs.empty()) {
            QJsonArray tabs;
            for (const qly::TabStop& t : p.tabs)
                tabs.append(QJsonArray{t.position, int(t.kind)});
            po.insert("tabs", tabs);
        }
        if (p.row > 0) {
            po.insert("row", p.row);
            po.insert("cell", p.cell);
            if (p.row != lastRow && size_t(p.row) <= doc.rows.size())
                po.insert("tableRow", toJson(doc.rows[size_t(p.row) - 1]));
        }
        lastRow = p.row;
        po.insert("runs", runs);
        paragraphs.append(po);
    }
    return paragraphs;
}

int usage() {
    std::fprintf(
        stderr,
        "usage: qly-rtf text FILE...\n       qly-rtf dump FILE\n       qly-rtf convert IN OUT\n"
        "       qly-rtf roundtrip IN OUT\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return usage();
    const QByteArray cmd = argv[1];
    if (cmd == "text") {
        int status = 0;
        qly::rtf::TextScanner scanner; // find's own text pass, buffers kept from file to file
        Utf8Out out;
        struct sigaction action = {};
        action.sa_handler = cutShort;
        ::sigaction(SIGBUS, &action, nullptr);
        for (int i = 2; i < argc; ++i) {
            // Mapped, not read: a 1 MB page in a fifth of the time, nearly all of it page
            // faults of memory of this program's own.
            const qly::IoResult<qly::MappedFile> mapped =
                qly::mapRegularFile(QFile::decodeName(argv[i]), qly::MaxPageFileSize);
            if (!mapped) {
                std::fprintf(stderr, "qly-rtf: cannot read %s: %s\n", argv[i],
                             qPrintable(mapped.reason()));
                status = 1;
                continue;
            }
            g_scanned = argv[i];
            scanner.scan(mapped.value().bytes(), out);
            g_scanned = nullptr;
            writeOut("\n");
        }
        std::fflush(stdout);
        return status;
    }
    if (cmd == "dump" && argc == 3) {
        QByteArray bytes;
        if (!readFile(argv[2], bytes))
            return 1;
        writeOut(
            QJsonDocument(toJson(qly::rtf::readDocument(bytes))).toJson(QJsonDocument::Indented));
        return 0;
    }
    if (cmd == "convert" && argc == 4) {
        QByteArray bytes;
        if (!readFile(argv[2], bytes))
            return 1;
        qly::Document doc = qly::rtf::readDocument(bytes);
        bytes = QByteArray(); // not needed while writing: less memory at the peak
        const QByteArray out = qly::rtf::writeDocument(doc);
        QFile f(QString::fromLocal8Bit(argv[3]));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(out) != out.size() ||
            !f.flush()) {
            std::fprintf(stderr, "qly-rtf: cannot write %s: %s\n", argv[3],
                         qPrintable(f.errorString()));
            return 1;
        }
        return 0;
    }
    if (cmd == "roundtrip" && argc == 4) {
        char self[4096];
        const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        QByteArray view = n > 0 ? QByteArray(self, n) : QByteArray(argv[0]);
        view = view.left(view.lastIndexOf('/') + 1) + "qly-rtf-view";
        char* args[] = {view.data(), argv[2], argv[3], nullptr};
        execv(view.constData(), args);
        std::fprintf(stderr, "qly-rtf: cannot run %s\n", view.constData());
        return 1;
    }
    return usage();
}
