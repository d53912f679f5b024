#include "pages/pagenames.h"

#include "pages/pagestore.h"
#include "rtf/rtftext.h"

#include <utility>

namespace qly {

namespace {
bool isLineEnd(QChar c) {
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

// Takes the start of a page's text, up to the end of its first line with more than blanks.
class FirstLineSink final : public rtf::TextSink {
public:
    bool take(QStringView piece) override {
        m_text += piece;
        if (m_text.size() >= 4096) // blank lines, or one long line: enough to name the page
            return false;
        bool text = false;
        for (QChar c : std::as_const(m_text)) {
            if (isLineEnd(c) && text)
                return false;
            text = text || !c.isSpace();
        }
        return true;
    }
    const QString& text() const { return m_text; }

private:
    QString m_text;
};
} // namespace

QString pageFirstLine(QStringView text, int length) {
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && !isLineEnd(text[end]))
            ++end;
        QString line = text.mid(start, end - start).toString();
        // Objects (pictures) and tabs are not part of a name.
        line.remove(QChar::ObjectReplacementCharacter);
        line.replace(u'\t', u' ');
        line = line.simplified();
        if (!line.isEmpty()) {
            if (line.size() > length)
                line = line.left(length - 1).trimmed() + QChar(0x2026);
            return line;
        }
        start = end + 1;
    }
    return QString();
}

QString pageBytesFirstLine(QByteArrayView bytes, int length) {
    FirstLineSink sink;
    rtf::TextScanner().scan(bytes, sink, 256);
    return pageFirstLine(sink.text(), length);
}

QString pageListName(int index, const QString& firstLine) {
    return firstLine.isEmpty() ? pageLetter(index)
                               : pageLetter(index) + QStringLiteral("  ") + firstLine;
}

PageNames::PageNames(QString pageFolder) : m_pageFolder(std::move(pageFolder)) {}

QString PageNames::firstLine(int index) {
    Kept& kept = m_kept[validPageIndex(index)];
    const QString path = pageFilePath(m_pageFolder, index);
    const std::optional<FileIdentity> file = fileIdentity(path);
    if (kept.known && kept.file == file)
        return kept.name;
    kept = Kept{file, true, QString()};
    if (!file)
        return kept.name;
    const PageFileRead read = readPageFile(path);
    if (!read.isRead())
        return kept.name;
    kept.name = pageBytesFirstLine(read.bytes);
    return kept.name;
}

} // namespace qly
