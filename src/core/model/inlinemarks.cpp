#include "model/inlinemarks.h"

#include <QRegularExpression>

namespace qly {

std::optional<bool> boxTicked(const QString& paragraph) {
    if (paragraph.isEmpty())
        return std::nullopt;
    const char16_t c = paragraph.at(0).unicode();
    if (c == kBoxOpen || c == kBoxTicked)
        return c == kBoxTicked;
    return std::nullopt;
}

namespace {

bool endsWord(QChar c) {
    return c.isSpace() || c == QChar::LineSeparator || c == QChar::ObjectReplacementCharacter ||
           c.unicode() == kBoxOpen || c.unicode() == kBoxTicked || c.unicode() < 0x20;
}

bool startsWithNoCase(const QString& word, const char* prefix) {
    return word.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}

} // namespace

std::optional<FoundLink> linkEndingAt(const QString& text, qsizetype end) {
    end = std::clamp<qsizetype>(end, 0, text.size());
    qsizetype start = end;
    while (start > 0 && !endsWord(text.at(start - 1)) && end - start < 2048)
        --start;
    // Punctuation around an address belongs to the sentence.
    static const QString leading = QStringLiteral("([{<\"'");
    static const QString trailing = QStringLiteral(".,;:!?)]}>\"'");
    while (start < end && leading.contains(text.at(start)))
        ++start;
    while (end > start && trailing.contains(text.at(end - 1))) {
        // A closing bracket that the address opened is its own (wiki addresses).
        const QChar c = text.at(end - 1);
        const QChar open = c == u')' ? u'(' : c == u']' ? u'[' : QChar();
        if (!open.isNull() && QStringView(text).mid(start, end - start).count(open) >
                                  QStringView(text).mid(start, end - start - 1).count(c))
            break;
        --end;
    }
    const QString word = text.mid(start, end - start);
    QString url;
    if ((startsWithNoCase(word, "http://") && word.size() > 7) ||
        (startsWithNoCase(word, "https://") && word.size() > 8) ||
        (startsWithNoCase(word, "file://") && word.size() > 7)) {
        url = word;
    } else if (startsWithNoCase(word, "www.") && word.indexOf(u'.', 4) > 4 &&
               !word.endsWith(u'.')) {
        url = QStringLiteral("http://") + word;
    } else {
        static const QRegularExpression mail(
            QStringLiteral("^[A-Za-z0-9._%+-]+@[A-Za-z0-9-]+(\\.[A-Za-z0-9-]+)+$"));
        if (word.contains(u'@') && mail.match(word).hasMatch())
            url = QStringLiteral("mailto:") + word;
    }
    if (url.isEmpty())
        return std::nullopt;
    return FoundLink{start, end - start, url};
}

} // namespace qly
