// The RTF codec's public face: the plain-text fallback for pages that are not RTF, and the
// two builders.
#include "rtf/rtf.h"

#include "rtf/codepage.h"
#include "rtf/rtfreader.h"

#include <QStringDecoder>

namespace qly::rtf {
namespace {

QByteArrayView stripBom(QByteArrayView bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    return bytes;
}

// Plain-text pages: UTF-8 when valid, else Windows-1252.
QString decodePlain(QByteArrayView bytes) {
    bytes = stripBom(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    CodePages pages;
    const CodePage& cp = pages.get(1252);
    text.resize(bytes.size());
    QChar* d = text.data();
    for (char c : bytes)
        *d++ = QChar(cp.single(static_cast<unsigned char>(c)));
    return text;
}

// Splits plain text into lines at CR LF, CR or LF.
template <typename F> void forEachLine(const QString& text, F&& f) {
    const QChar* s = text.constData();
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i].unicode();
        if (c == '\r' || c == '\n') {
            f(QStringView(s + start, i - start));
            if (c == '\r' && i + 1 < n && s[i + 1] == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        }
    }
    f(QStringView(s + start, n - start));
}

QString cleanLine(QStringView line) {
    QString out;
    out.reserve(line.size());
    for (QChar c : line) {
        const char16_t u = c.unicode();
        if (u >= 0x20 || u == '\t')
            out += c;
        else if (u == 0x0B || u == 0x0C)
            out += QChar(0x2028);
    }
    return out;
}

class PlainTextBuilder final : public Builder {
public:
    bool wantsFormat() const override { return false; }
    void text(const QChar* s, qsizetype n) override { out.append(s, n); }
    void paragraphEnd(const Paragraph&) override { out += QLatin1String("\r\n"); }
    QString out;
};

class DocumentBuilder final : public Builder {
public:
    void setFormat(const CharFormat& f) override {
        if (f != m_format) {
            m_format = f;
            m_newRun = true;
        }
    }
    void text(const QChar* s, qsizetype n) override {
        if (m_newRun && !m_paragraph.runs.empty() && m_paragraph.runs.back().format == m_format &&
            m_paragraph.runs.back().picture == 0)
            m_newRun = false; // formats came and went without text
        if (m_newRun || m_paragraph.runs.empty()) {
            m_paragraph.runs.push_back(TextRun{QString(s, n), m_format});
            m_newRun = false;
        } else {
            m_paragraph.runs.back().text.append(s, n);
        }
    }
    void paragraphEnd(const Paragraph& format) override {
        std::vector<TextRun> runs = std::move(m_paragraph.runs);
        m_paragraph = format;
        m_paragraph.runs = std::move(runs);
        doc.paragraphs.push_back(std::move(m_paragraph));
        m_paragraph = Paragraph{};
        m_newRun = true;
    }
    void setLists(std::vector<List> lists) override { doc.lists = std::move(lists); }
    void rowEnd(TableRow row) override { doc.rows.push_back(std::move(row)); }
    void picture(int index) override {
        m_paragraph.runs.push_back(
            TextRun{QString(QChar::ObjectReplacementCharacter), m_format, index});
        m_newRun = true;
    }
    void setPictures(std::vector<Picture> pictures) override { doc.pictures = std::move(pictures); }
    Document doc;

private:
    Paragraph m_paragraph;
    CharFormat m_format;
    bool m_newRun = true;
};

} // namespace

bool isRtf(QByteArrayView bytes) {
    bytes = stripBom(bytes);
    while (!bytes.isEmpty() && (bytes.front() == ' ' || bytes.front() == '\t' ||
                                bytes.front() == '\r' || bytes.front() == '\n'))
        bytes = bytes.sliced(1);
    return bytes.startsWith("{\\rtf");
}

Document readDocument(QByteArrayView bytes) {
    if (isRtf(bytes)) {
        DocumentBuilder builder;
        parseRtf(bytes, builder);
        return std::move(builder.doc);
    }
    Document doc;
    forEachLine(decodePlain(bytes), [&](QStringView line) {
        Paragraph p;
        QString text = cleanLine(line);
        if (!text.isEmpty())
            p.runs.push_back(TextRun{std::move(text), {}});
        doc.paragraphs.push_back(std::move(p));
    });
    return doc;
}

QString documentText(const Document& document) {
    QString out;
    int gaps = 0; // cells ended, their tab not yet written (dropped when the line ends)
    const Paragraph* before = nullptr;
    for (const Paragraph& p : document.paragraphs) {
        if (before && p.row > 0 && p.row == before->row && p.cell != before->cell) {
            gaps += 1;
        } else if (before) {
            out += QLatin1String("\r\n");
            gaps = 0;
        }
        for (const TextRun& r : p.runs) {
            if (r.text.isEmpty())
                continue;
            out += QString(gaps, QLatin1Char('\t'));
            gaps = 0;
            if (r.picture == 0) // a picture is no text
                out += r.text;
        }
        before = &p;
    }
    return out;
}

QString plainText(QByteArrayView bytes) {
    if (isRtf(bytes)) {
        PlainTextBuilder builder;
        builder.out.reserve(bytes.size() / 4);
        parseRtf(bytes, builder);
        builder.out.chop(2); // paragraphs are joined, not ended, by CR LF
        return std::move(builder.out);
    }
    QString out;
    bool first = true;
    forEachLine(decodePlain(bytes), [&](QStringView line) {
        if (!first)
            out += QLatin1String("\r\n");
        first = false;
        out += cleanLine(line);
    });
    return out;
}

} // namespace qly::rtf
