#include "help/helpsitemap.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace qly {

namespace {

QString decodeEntities(QString text) {
    static const QRegularExpression numeric(QStringLiteral("&#(x[0-9a-fA-F]{1,6}|[0-9]{1,7});"));
    QString out;
    qsizetype last = 0;
    for (auto it = numeric.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(text).mid(last, m.capturedStart() - last);
        const QString num = m.captured(1);
        bool ok = false;
        const uint code =
            num.startsWith(QLatin1Char('x')) ? num.mid(1).toUInt(&ok, 16) : num.toUInt(&ok, 10);
        if (ok && code > 0 && code <= 0x10FFFF)
            out += QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
        last = m.capturedEnd();
    }
    out += QStringView(text).mid(last);
    out.replace(QLatin1String("&quot;"), QLatin1String("\""));
    out.replace(QLatin1String("&lt;"), QLatin1String("<"));
    out.replace(QLatin1String("&gt;"), QLatin1String(">"));
    out.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return out;
}

// The attributes of one tag, names in lower case.
QString attribute(const QString& tag, const QString& name) {
    static const QRegularExpression attr(
        QStringLiteral("([A-Za-z_:][-A-Za-z0-9_:.]*)\\s*=\\s*(\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"));
    for (auto it = attr.globalMatch(tag); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(1).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        for (int group = 3; group <= 5; ++group)
            if (m.capturedStart(group) >= 0)
                return decodeEntities(m.captured(group));
    }
    return {};
}

QString decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

} // namespace

QList<HelpContentsEntry> HelpSitemap::parse(const QByteArray& hhc) {
    const QString text = decode(hhc);
    QList<HelpContentsEntry> root;
    // The lists being filled, innermost last. An entry's list is only appended to while it
    // is the innermost, so the pointers stay valid.
    QList<QList<HelpContentsEntry>*> lists{&root};
    int entries = 0;
    bool inItem = false;
    HelpContentsEntry item;

    qsizetype pos = 0;
    while ((pos = text.indexOf(QLatin1Char('<'), pos)) >= 0) {
        qsizetype end = text.indexOf(QLatin1Char('>'), pos);
        if (end < 0)
            break;
        if (text.mid(pos, 4) == QLatin1String("<!--")) {
            const qsizetype close = text.indexOf(QLatin1String("-->"), pos + 4);
            if (close < 0)
                break;
            pos = close + 3;
            continue;
        }
        const QString tag = text.mid(pos + 1, end - pos - 1);
        pos = end + 1;
        static const QRegularExpression nameRx(QStringLiteral("^\\s*(/?)\\s*([A-Za-z]+)"));
        const QRegularExpressionMatch m = nameRx.match(tag);
        if (!m.hasMatch())
            continue;
        const bool closing = !m.captured(1).isEmpty();
        const QString name = m.captured(2).toLower();

        if (name == QLatin1String("ul")) {
            if (closing) {
                if (lists.size() > 1)
                    lists.removeLast();
            } else if (lists.last()->isEmpty() || lists.size() >= MaxDepth) {
                // A list with no entry to hang under, or too deep: its entries join this level.
                lists.append(lists.last());
            } else {
                lists.append(&lists.last()->last().children);
            }
        } else if (name == QLatin1String("object")) {
            if (closing) {
                if (inItem && entries < MaxEntries &&
                    !(item.name.isEmpty() && item.local.isEmpty())) {
                    lists.last()->append(item);
                    ++entries;
                }
                inItem = false;
            } else if (attribute(tag, QStringLiteral("type"))
                           .compare(QLatin1String("text/sitemap"), Qt::CaseInsensitive) == 0) {
                inItem = true;
                item = HelpContentsEntry();
            }
        } else if (name == QLatin1String("param") && inItem && !closing) {
            const QString key = attribute(tag, QStringLiteral("name"));
            const QString value = attribute(tag, QStringLiteral("value")).trimmed();
            if (key.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0 && item.name.isEmpty())
                item.name = value;
            else if (key.compare(QLatin1String("Local"), Qt::CaseInsensitive) == 0 &&
                     item.local.isEmpty())
                item.local = value;
        }
    }
    return root;
}

} // namespace qly
