#include "rtf/rtflists.h"

#include <algorithm>

namespace qly::rtf {
namespace {

QString roman(int n, bool upper) {
    static const struct {
        int v;
        const char* s;
    } parts[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"},
                 {90, "xc"},  {50, "l"},   {40, "xl"}, {10, "x"},   {9, "ix"},
                 {5, "v"},    {4, "iv"},   {1, "i"}};
    QString out;
    n = std::clamp(n, 1, 3999);
    for (const auto& p : parts)
        while (n >= p.v) {
            out += QLatin1String(p.s);
            n -= p.v;
        }
    return upper ? out.toUpper() : out;
}

QString letters(int n, bool upper) {
    QString out;
    n = std::max(n, 1);
    while (n > 0) {
        --n;
        out.prepend(QChar((upper ? 'A' : 'a') + n % 26));
        n /= 26;
    }
    return out;
}

QString decimal(int n) {
    return QString::number(n);
}
QString lowerLetters(int n) {
    return letters(n, false);
}
QString upperLetters(int n) {
    return letters(n, true);
}
QString lowerRoman(int n) {
    return roman(n, false);
}
QString upperRoman(int n) {
    return roman(n, true);
}

// By ListStyle.
constexpr ListStyleForm kForms[] = {
    {ListStyle::Bullet, 23, "pnlvlblt", -1 /* ListDisc */, decimal},
    {ListStyle::Decimal, 0, "pndec", -4 /* ListStyle::Decimal */, decimal},
    {ListStyle::LowerLetter, 4, "pnlcltr", -5 /* ListLowerAlpha */, lowerLetters},
    {ListStyle::UpperLetter, 3, "pnucltr", -6 /* ListUpperAlpha */, upperLetters},
    {ListStyle::LowerRoman, 2, "pnlcrm", -7 /* ListStyle::LowerRoman */, lowerRoman},
    {ListStyle::UpperRoman, 1, "pnucrm", -8 /* ListStyle::UpperRoman */, upperRoman},
};

} // namespace

const ListStyleForm& listStyleForm(ListStyle style) {
    const int i = int(style);
    return kForms[i >= 0 && i < int(std::size(kForms)) ? i : int(ListStyle::Decimal)];
}

ListStyle listStyleOfNfc(int nfc) {
    for (const ListStyleForm& f : kForms)
        if (f.levelNfc == nfc)
            return f.style;
    return nfc == 255 ? ListStyle::Bullet : ListStyle::Decimal;
}

std::optional<ListStyle> listStyleOfPnWord(std::string_view word) {
    for (const ListStyleForm& f : kForms)
        if (f.pnWord == word)
            return f.style;
    return std::nullopt;
}

ListStyle listStyleOfQt(int qtStyle) {
    for (const ListStyleForm& f : kForms)
        if (f.qtStyle == qtStyle)
            return f.style;
    return ListStyle::Bullet;
}

QString listNumberText(ListStyle style, int number) {
    return listStyleForm(style).number(number);
}

void ListCounters::next(const List& list, size_t index, int level) {
    auto& c = m_counts[index];
    for (int k = level + 1; k < kListLevels; ++k)
        c[size_t(k)] = 0;
    int& n = c[size_t(level)];
    n = n == 0 ? list.levels[level].start : n + 1;
    // A higher level with no item yet shows its start, as word processors number it.
    for (int k = 0; k < level; ++k)
        if (c[size_t(k)] == 0)
            c[size_t(k)] = list.levels[k].start;
}

QString listLabelLead(const List& list, const std::array<int, kListLevels>& counts, int level) {
    const ListLevel& l = list.levels[level];
    QString lead = l.prefix;
    const int first = std::max(0, level - std::clamp(l.numbers, 1, kListLevels) + 1);
    for (int k = first; k < level; ++k) {
        const ListLevel& higher = list.levels[k];
        // A bulleted level has no number: its count is shown as digits, as Word does.
        lead +=
            listNumberText(higher.style == ListStyle::Bullet ? ListStyle::Decimal : higher.style,
                           counts[size_t(k)]);
        lead += l.separator;
    }
    return lead;
}

QString listLabel(const List& list, const std::array<int, kListLevels>& counts, int level) {
    const ListLevel& l = list.levels[level];
    if (l.style == ListStyle::Bullet)
        return l.bullet;
    return listLabelLead(list, counts, level) + listNumberText(l.style, counts[size_t(level)]) +
           l.suffix;
}

List newList(ListStyle style) {
    static const char16_t kBullets[] = {0x2022, 0x25E6, 0x25AA};
    List list;
    for (int k = 0; k < kListLevels; ++k) {
        ListLevel& l = list.levels[k];
        l.style = style;
        if (style == ListStyle::Bullet) {
            l.bullet = QString(QChar(kBullets[k % 3]));
        } else {
            l.suffix = QStringLiteral(".");
            l.numbers = k + 1;
        }
    }
    return list;
}

QString markText(const QString& text) {
    QString out;
    for (QChar c : text)
        if (c.unicode() >= 0x20 && out.size() < 8)
            out += c;
    return out;
}

// ---------------------------------------------------------------------------------------
// \pn

void PnNumbering::begin() {
    m_readKind = Kind{};
    m_readLevel = 0;
    m_readStart = 1;
    m_readBefore.clear();
    m_readAfter.clear();
}

void PnNumbering::word(Keyword k, std::string_view name, int param) {
    switch (k) {
    case Keyword::PnLvl:
        m_readLevel = std::clamp(param - 1, 0, kListLevels - 1);
        if (m_readKind == Kind{})
            m_readKind = Kind{Kind::What::Style, ListStyle::Decimal};
        return;
    case Keyword::PnLvlCont:
        m_readKind = Kind{Kind::What::Cont};
        return;
    case Keyword::PnStyle:
        if (const std::optional<ListStyle> style = listStyleOfPnWord(name))
            m_readKind = Kind{Kind::What::Style, *style};
        return;
    case Keyword::PnStart:
        m_readStart = std::clamp(param, 0, 32767); // as \levelstartat, which writes it
        return;
    default:
        return;
    }
}

void PnNumbering::textBefore(const char16_t* s, qsizetype n) {
    if (m_readBefore.size() < 64)
        m_readBefore.append(reinterpret_cast<const QChar*>(s), n);
}

void PnNumbering::textAfter(const char16_t* s, qsizetype n) {
    if (m_readAfter.size() < 64)
        m_readAfter.append(reinterpret_cast<const QChar*>(s), n);
}

void PnNumbering::finish(bool paraNumbered) {
    if (m_readKind == Kind{})
        m_readKind = Kind{Kind::What::Style, ListStyle::Decimal};
    const bool sameText = m_readBefore == m_before && m_readAfter == m_after;
    const bool continues = m_prevNumbered && m_readKind == m_kind && sameText;
    const bool sameList = m_prevList > 0 && m_prevList == m_list && m_readKind == m_kind &&
                          m_readLevel == m_level && sameText;
    if (!sameList && m_readKind.what == Kind::What::Style) {
        m_newList = true; // made when a paragraph without \ls ends with it
        ListLevel& level = m_definition;
        level = ListLevel{};
        level.start = m_readStart;
        level.style = m_readKind.style;
        if (level.style == ListStyle::Bullet) {
            if (const QString mark = markText(m_readBefore); !mark.isEmpty())
                level.bullet = mark;
        } else {
            level.prefix = markText(m_readBefore);
            level.suffix = markText(m_readAfter);
        }
    }
    m_level = m_readLevel;
    m_kind = m_readKind;
    m_before = m_readBefore;
    m_after = m_readAfter;
    if (!continues && !paraNumbered)
        m_number = m_readStart;
}

QString PnNumbering::label() {
    QString label = m_before;
    if (m_kind.style != ListStyle::Bullet)
        label += listNumberText(m_kind.style, m_number);
    else if (label.isEmpty())
        label = QStringLiteral("\u2022");
    label += m_after;
    label += QLatin1Char('\t');
    ++m_number;
    return label;
}

ListItem PnNumbering::item(std::vector<List>& lists) {
    if (!showsNumber())
        return ListItem{};
    if ((m_newList || m_list == 0) && lists.size() < size_t(kMaxLists)) {
        lists.emplace_back();
        lists.back().levels[m_level] = m_definition;
        m_list = int(lists.size());
        m_newList = false;
    }
    return ListItem{m_list, m_level, true};
}

// ---------------------------------------------------------------------------------------
// Word's lists

void WordListTable::listWord(Keyword k, int param, int depth) {
    switch (k) {
    case Keyword::ListDef:
        m_list = WordList{};
        m_listDepth = depth;
        m_levelIndex = 0;
        return;
    case Keyword::ListLevelDef:
        m_level = ListLevel{};
        m_levelNfc = 0;
        m_levelText.clear();
        m_levelFont = false;
        m_levelDepth = depth;
        return;
    case Keyword::LevelNfc:
        m_levelNfc = param;
        return;
    case Keyword::LevelStartAt:
        m_level.start = std::clamp(param, 0, 32767);
        return;
    case Keyword::ListId:
        m_list.id = param;
        return;
    default:
        return;
    }
}

void WordListTable::overrideWord(Keyword k, int param, int depth) {
    switch (k) {
    case Keyword::ListOverride:
        m_overrideId = m_overrideLs = m_overrideCount = 0;
        m_overrideDepth = depth;
        return;
    case Keyword::ListOverrideCount:
        m_overrideCount = param;
        return;
    case Keyword::ListId:
        m_overrideId = param;
        return;
    case Keyword::Ls:
        m_overrideLs = param;
        return;
    default:
        return;
    }
}

bool WordListTable::beginLevelText() {
    if (m_levelDepth == 0)
        return false;
    m_levelText.clear();
    return true;
}

void WordListTable::levelUnits(const char16_t* s, qsizetype n) {
    if (m_levelText.size() < 64)
        m_levelText.append(reinterpret_cast<const QChar*>(s), n);
}

void WordListTable::levelBytes(const unsigned char* s, qsizetype n, const CodePage& cp) {
    const bool table = !cp.isDoubleByte() && !cp.isUtf8();
    for (qsizetype i = 0; i < n && m_levelText.size() < 64; ++i)
        m_levelText += QChar(s[i] < 0x20 || !table ? char16_t(s[i]) : cp.single(s[i]));
}

void WordListTable::groupEnd(size_t depth) {
    if (m_levelDepth > 0 && depth + 1 <= size_t(m_levelDepth))
        commitLevel();
    if (m_listDepth > 0 && depth + 1 <= size_t(m_listDepth))
        commitList();
    if (m_overrideDepth > 0 && depth + 1 <= size_t(m_overrideDepth)) {
        if (m_overrideLs > 0 && m_overrides.size() < kMaxLists) {
            m_overrides.insert(m_overrideLs, m_overrideId);
            if (m_overrideCount > 0)
                m_changing.insert(m_overrideLs);
        }
        m_overrideDepth = 0;
    }
}

int WordListTable::modelList(int ls, std::vector<List>& lists) {
    if (const auto it = m_lsModel.constFind(ls); it != m_lsModel.constEnd())
        return *it;
    const int id = m_overrides.value(ls, INT32_MIN);
    // Overrides that change no level are the same list: its items number on through them
    // (AbiWord writes a nested list's levels so), and its levels are one list to others.
    const bool same = !m_changing.contains(ls) && m_idModel.contains(id);
    int model = same ? m_idModel.value(id) : 0;
    for (const WordList& w : m_lists) {
        if (model)
            break;
        if (w.id == id && lists.size() < size_t(kMaxLists)) {
            lists.push_back(w.list);
            model = int(lists.size());
            if (!m_changing.contains(ls) && !m_idModel.contains(id))
                m_idModel.insert(id, model);
            break;
        }
    }
    if (m_lsModel.size() < kMaxLists)
        m_lsModel.insert(ls, model);
    return model;
}

namespace {

// A bullet level's mark: Symbol's bullets as Unicode's.
QString bulletMark(const QString& text) {
    QString bullet;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x20)
            bullet += u == 0xF0B7 ? QChar(0x2022) : u == 0xF0A7 ? QChar(0x25AA) : c;
    }
    return bullet.isEmpty() ? QString(QChar(0x2022)) : markText(bullet);
}

// A numbered level's text before its first level number and after its last. A level at
// `index` whose text shows the numbers of the levels above it, one after another ending
// with its own ("\'00.\'01." of "2.1."), shows that many numbers.
void setAffixes(ListLevel& level, const QString& text, int index) {
    qsizetype first = -1, last = -1, beforeLast = -1;
    int count = 0;
    bool consecutive = true;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (const int k = text.at(i).unicode(); k < kListLevels) {
            if (first < 0)
                first = i;
            else if (k != text.at(last).unicode() + 1)
                consecutive = false;
            beforeLast = last;
            last = i;
            ++count;
        }
    if (first < 0)
        return;
    level.prefix = markText(text.left(first));
    level.suffix = markText(text.mid(last + 1));
    if (count > 1 && consecutive && text.at(last).unicode() == index) {
        level.numbers = count;
        level.separator = markText(text.mid(beforeLast + 1, last - beforeLast - 1));
    }
}

} // namespace

// A \listlevel group has ended: its number format and text into the list being read.
void WordListTable::commitLevel() {
    m_levelDepth = 0;
    ListLevel& level = m_level;
    level.style = listStyleOfNfc(m_levelNfc);
    // The text: its length in the first unit, the level numbers as units 0 to 8.
    QString text;
    if (!m_levelText.isEmpty())
        text = m_levelText.mid(1, m_levelText.at(0).unicode());
    if (level.style == ListStyle::Bullet)
        level.bullet = m_levelNfc == 255 ? QString() : bulletMark(text);
    else
        setAffixes(level, text, m_levelIndex);
    if (m_levelIndex < kListLevels)
        m_list.list.levels[m_levelIndex++] = level;
}

void WordListTable::commitList() {
    m_listDepth = 0;
    if (m_levelDepth > 0)
        commitLevel();
    if (m_lists.size() < size_t(kMaxLists))
        m_lists.push_back(m_list);
}

} // namespace qly::rtf
