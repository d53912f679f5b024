#include "help/helpsitemap.h"
#include "help/replacematches.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace qly {

namespace {

QString decodeEntities(QString text) {
    static const QRegularExpression numeric(QStringLiteral("&#(x[0-9a-fA-F]{1,6}|[0-9]{1,7});"));
    QString out = replaceMatches(text, numeric, [](const QRegularExpressionMatch& m) {
        const QString num = m.captured(1);
        bool ok = false;
        const uint code =
            num.startsWith(QLatin1Char('x')) ? num.mid(1).toUInt(&ok, 16) : num.toUInt(&ok, 10);
        return ok && code > 0 && code <= 0x10FFFF
                   ? QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1)
                   : QString();
    });
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

// The next tag from pos on, without its angle brackets; comments are passed over. False at
// the end of the text or of what can be read.
bool nextTag(const QString& text, qsizetype& pos, QString& tag) {
    while ((pos = text.indexOf(QLatin1Char('<'), pos)) >= 0) {
        if (QStringView(text).mid(pos, 4) == QLatin1String("<!--")) {
            const qsizetype close = text.indexOf(QLatin1String("-->"), pos + 4);
            if (close < 0)
                return false;
            pos = close + 3;
            continue;
        }
        const qsizetype end = text.indexOf(QLatin1Char('>'), pos);
        if (end < 0)
            return false;
        tag = text.mid(pos + 1, end - pos - 1);
        pos = end + 1;
        return true;
    }
    return false;
}

// Builds the contents, one tag at a time.
class SitemapBuilder {
public:
    SitemapBuilder() = default;
    SitemapBuilder(const SitemapBuilder&) = delete;
    SitemapBuilder& operator=(const SitemapBuilder&) = delete;

    void add(const QString& tag) {
        static const QRegularExpression nameRx(QStringLiteral("^\\s*(/?)\\s*([A-Za-z]+)"));
        const QRegularExpressionMatch m = nameRx.match(tag);
        if (!m.hasMatch())
            return;
        const bool closing = !m.captured(1).isEmpty();
        const QString name = m.captured(2).toLower();
        if (name == QLatin1String("ul"))
            list(closing);
        else if (name == QLatin1String("object"))
            object(closing, tag);
        else if (name == QLatin1String("param") && m_inItem && !closing)
            param(tag);
    }
    QList<HelpContentsEntry> take() { return std::move(m_root); }

private:
    void list(bool closing) {
        if (closing) {
            if (m_lists.size() > 1)
                m_lists.removeLast();
        } else if (m_lists.last()->isEmpty() || m_lists.size() >= HelpSitemap::MaxDepth) {
            // A list with no entry to hang under, or too deep: its entries join this level.
            m_lists.append(m_lists.last());
        } else {
            m_lists.append(&m_lists.last()->last().children);
        }
    }
    void object(bool closing, const QString& tag) {
        if (!closing) {
            if (attribute(tag, QStringLiteral("type"))
                    .compare(QLatin1String("text/sitemap"), Qt::CaseInsensitive) == 0) {
                m_inItem = true;
                m_item = HelpContentsEntry();
            }
            return;
        }
        const bool named = !(m_item.name.isEmpty() && m_item.local.isEmpty());
        if (m_inItem && m_entries < HelpSitemap::MaxEntries && named) {
            m_lists.last()->append(m_item);
            ++m_entries;
        }
        m_inItem = false;
    }
    void param(const QString& tag) {
        const QString key = attribute(tag, QStringLiteral("name"));
        const QString value = attribute(tag, QStringLiteral("value")).trimmed();
        if (key.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0 && m_item.name.isEmpty())
            m_item.name = value;
        else if (key.compare(QLatin1String("Local"), Qt::CaseInsensitive) == 0 &&
                 m_item.local.isEmpty())
            m_item.local = value;
    }

    QList<HelpContentsEntry> m_root;
    // The lists being filled, innermost last. An entry's list is only appended to while it
    // is the innermost, so the pointers stay valid.
    QList<QList<HelpContentsEntry>*> m_lists{&m_root};
    int m_entries = 0;
    bool m_inItem = false;
    HelpContentsEntry m_item;
};

} // namespace

QList<HelpContentsEntry> HelpSitemap::parse(const QByteArray& hhc) {
    const QString text = decode(hhc);
    SitemapBuilder builder;
    qsizetype pos = 0;
    QString tag;
    while (nextTag(text, pos, tag))
        builder.add(tag);
    return builder.take();
}

} // namespace qly
