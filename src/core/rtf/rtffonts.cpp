#include "rtf/rtffonts.h"

#include <algorithm>

namespace qly::rtf {

bool FontTable::beginEntry(int number, int depth, int ansiCodePage) {
    const bool open = readingName();
    if (open)
        commit(ansiCodePage);
    m_inEntry = true;
    m_depth = depth;
    m_number = number;
    m_charset = -1;
    m_codePage = -1;
    m_bytes.clear();
    m_name.clear();
    m_nameDone = false;
    return open;
}

void FontTable::setCharset(int charset) {
    if (m_inEntry)
        m_charset = std::clamp(charset, 0, 255);
}

void FontTable::setCodePage(int codePage) {
    if (m_inEntry && codePage > 0 && codePage < 100000)
        m_codePage = codePage;
}

bool FontTable::nameBytes(const unsigned char* s, qsizetype n, int ansiCodePage) {
    if (!readingName())
        return false;
    for (qsizetype i = 0; i < n; ++i) {
        if (s[i] == ';') {
            commit(ansiCodePage);
            return true;
        }
        if (m_bytes.size() < 2 * kMaxFontName)
            m_bytes.append(char(s[i]));
    }
    return false;
}

void FontTable::nameByte(char b) {
    if (readingName() && m_bytes.size() < 2 * kMaxFontName)
        m_bytes.append(b); // decoded at the end of the name
}

void FontTable::nameUnits(const char16_t* s, qsizetype n, int ansiCodePage) {
    if (!readingName())
        return;
    decodeName(ansiCodePage);
    if (m_name.size() < 2 * kMaxFontName)
        m_name.append(reinterpret_cast<const QChar*>(s), n);
}

bool FontTable::groupEnd(size_t depth, int ansiCodePage) {
    if (!m_inEntry || depth + 1 > size_t(m_depth))
        return false;
    const bool open = readingName();
    commit(ansiCodePage); // an entry without ';'
    m_inEntry = false;
    return open;
}

// The code page of the entry being read. A UTF-8 document's ANSI fonts are UTF-8, as the
// writers of such documents mean them.
int FontTable::entryCodePage(int ansiCodePage) const {
    if (m_codePage > 0)
        return m_codePage;
    if (m_charset == 0 && ansiCodePage == kUtf8CodePage)
        return kUtf8CodePage;
    return codePageForCharset(m_charset < 0 ? 1 : m_charset, ansiCodePage);
}

void FontTable::decodeName(int ansiCodePage) {
    if (m_bytes.isEmpty())
        return;
    int number = entryCodePage(ansiCodePage);
    if (number == kSymbolCodePage) // a symbol font's name is in the document's code page
        number = ansiCodePage;
    const CodePage& cp = m_codePages.get(number);
    if (cp.isUtf8())
        m_name += QString::fromUtf8(m_bytes);
    else if (cp.isDoubleByte())
        cp.appendDecoded(m_name, m_bytes.constData(), m_bytes.size());
    else
        for (char ch : std::as_const(m_bytes))
            m_name += QChar(cp.single(static_cast<unsigned char>(ch)));
    m_bytes.clear();
}

void FontTable::commit(int ansiCodePage) {
    if (!readingName())
        return;
    m_nameDone = true;
    decodeName(ansiCodePage);
    const int charset = m_charset < 0 ? 0 : m_charset;
    const int cp = entryCodePage(ansiCodePage);
    QString name;
    name.reserve(m_name.size());
    for (QChar c : std::as_const(m_name)) // no control characters, no separator
        if (c.unicode() >= 0x20)
            name += c == QLatin1Char(';') ? QLatin1Char(' ') : c;
    name.truncate(kMaxFontName);
    Font font{name.trimmed(), charset, cp};
    if (auto it = m_index.constFind(m_number); it != m_index.constEnd()) {
        m_fonts[size_t(*it)] = std::move(font);
    } else if (m_fonts.size() < size_t(kMaxFonts)) {
        m_index.insert(m_number, int(m_fonts.size()));
        m_fonts.push_back(std::move(font));
    }
    ++m_generation;
}

void ColorTable::word(Keyword k, int param) {
    const int value = std::clamp(param, 0, 255);
    switch (k) {
    case Keyword::Red:
        m_red = value;
        break;
    case Keyword::Green:
        m_green = value;
        break;
    case Keyword::Blue:
        m_blue = value;
        break;
    default:
        return;
    }
    m_set = true;
}

bool ColorTable::separators(const unsigned char* s, qsizetype n) {
    bool ended = false;
    for (qsizetype i = 0; i < n; ++i) {
        if (s[i] != ';')
            continue;
        if (m_colors.size() < size_t(kMaxColors)) {
            if (m_set)
                m_colors.push_back(std::uint32_t(m_red << 16 | m_green << 8 | m_blue));
            else
                m_colors.push_back(std::nullopt);
        }
        begin();
        ended = true;
    }
    return ended;
}

} // namespace qly::rtf
