#pragma once
// Lists in RTF: the rich-edit numbering of paragraphs (\pn), Word's list table
// (\listtable, \listoverridetable), and the number text of list items.

#include "model/document.h"
#include "rtf/codepage.h"
#include "rtf/rtfkeywords.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <array>

#include <optional>
#include <string_view>
#include <vector>

namespace qly::rtf {

// What a list style is in each form lists take: Word's list table, the rich-edit \pn
// numbering, the editor's lists; and how its numbers read.
struct ListStyleForm {
    ListStyle style;
    int levelNfc;            // Word's \levelnfc
    std::string_view pnWord; // the \pn word; the other styles write \pnlvlbody before theirs
    int qtStyle;             // QTextListFormat::Style (of a bulleted list: its disc)
    QString (*number)(int);  // the number of an item: "3", "c", "III"
};

// The form of a style.
const ListStyleForm& listStyleForm(ListStyle style);
// The style of Word's \levelnfc: anything not known numbers with digits; 255 (no number)
// is a bulleted level without a mark.
ListStyle listStyleOfNfc(int nfc);
// The style of a \pn word (pndec, pnucrm, pnlvlblt, ...), if it is one.
std::optional<ListStyle> listStyleOfPnWord(std::string_view word);
// The style of an editor's list style; a bullet for any other.
ListStyle listStyleOfQt(int qtStyle);

// The text of a list mark as the model keeps it: no control characters, at most 8 units.
QString markText(const QString& text);

// Counts a document's list items as word processors number them: a level counts on until an
// item of a higher level of its list comes, which starts it again.
class ListCounters {
public:
    explicit ListCounters(size_t lists) : m_counts(lists) {}
    // Counts an item of lists[index] at `level`; its numbers at each level are then counts().
    void next(const List& list, size_t index, int level);
    const std::array<int, kListLevels>& counts(size_t index) const { return m_counts[index]; }

private:
    std::vector<std::array<int, kListLevels>> m_counts;
};

// The label of an item at `level` whose list has counted `counts` ("2.1.", "c)", "•"); the
// numbers of the levels it shows in their own styles.
QString listLabel(const List& list, const std::array<int, kListLevels>& counts, int level);
// What a numbered item's label shows before its own number ("2." of "2.1."): its prefix and
// the numbers of the higher levels it shows.
QString listLabelLead(const List& list, const std::array<int, kListLevels>& counts, int level);
// The lists a user makes: numbered "1.", "1.1.", "1.1.1." ... or bulleted •, ◦, ▪ by level.
List newList(ListStyle style);

// The list item a paragraph is: 0 no list.
struct ListItem {
    int list = 0; // Document::lists, 1-based
    int level = 0;
    bool fromPn = false;
};

// The rich-edit numbering (\pn groups). A \pn group describes the numbering of the paragraph
// it is in; paragraphs with the same numbering one after another count on, in one list.
class PnNumbering {
public:
    // \pn: a group starts.
    void begin();
    // A word of the group (others are ignored).
    void word(Keyword k, std::string_view name, int param);
    // Text of \pntxtb and \pntxta.
    void textBefore(const char16_t* s, qsizetype n);
    void textAfter(const char16_t* s, qsizetype n);
    // The group has ended; `paraNumbered`: the paragraph has shown its number already.
    void finish(bool paraNumbered);
    // \pard: the paragraph has no numbering.
    void clear() { m_kind = Kind{}; }

    // Whether the paragraph is numbered (a continuation, \pnlvlcont, shows no number).
    bool numbered() const { return m_kind.what != Kind::What::None; }
    bool showsNumber() const { return m_kind.what == Kind::What::Style; }
    // The paragraph's number as text, with its tab; counts it.
    QString label();
    // Counts the number that a list shows instead.
    void count() { ++m_number; }
    // The list item the paragraph is, making its list (into lists) on first use.
    ListItem item(std::vector<List>& lists);
    // A paragraph has ended: whether it showed a number, and the item it was.
    void paragraphEnded(bool showedNumber, const ListItem& item) {
        m_prevNumbered = showedNumber && numbered();
        m_prevList = item.fromPn ? item.list : 0;
    }

private:
    // What a group numbers with: nothing, a continuation (no number), or a style.
    struct Kind {
        enum class What : std::uint8_t { None, Cont, Style } what = What::None;
        ListStyle style = ListStyle::Decimal;
        bool operator==(const Kind&) const = default;
    };

    Kind m_kind;     // of the paragraph (until \pard)
    Kind m_readKind; // of the group being read
    int m_readLevel = 0;
    int m_readStart = 1;
    QString m_readBefore, m_readAfter;
    int m_list = 0;         // the model list (1-based) of the numbering in force; 0 none
    int m_prevList = 0;     // the \pn list of the paragraph before
    bool m_newList = false; // the numbering read starts a list of its own
    ListLevel m_definition; // its level
    int m_level = 0;
    QString m_before, m_after;
    int m_number = 0;
    bool m_prevNumbered = false;
};

// Word's list table: lists by \listid, \ls numbers to list ids, \ls to model lists.
class WordListTable {
public:
    // A word in \listtable at group depth `depth` (others are ignored).
    void listWord(Keyword k, int param, int depth);
    // A word in \listoverridetable.
    void overrideWord(Keyword k, int param, int depth);
    // \leveltext: whether it belongs to a level (it is then read).
    bool beginLevelText();
    // \f in the table: the level's text is in that font.
    void setLevelFont() { m_levelFont = m_levelDepth > 0; }
    bool levelHasFont() const { return m_levelFont; }
    // Units and bytes of the level's text; bytes below 0x20 are its number placeholders.
    void levelUnits(const char16_t* s, qsizetype n);
    void levelBytes(const unsigned char* s, qsizetype n, const CodePage& cp);
    // A group has closed, leaving `depth` groups open.
    void groupEnd(size_t depth);
    // The model list of a paragraph's \ls, made (into lists) on first use; 0 when the
    // document has no such list.
    int modelList(int ls, std::vector<List>& lists);

private:
    struct WordList {
        int id = 0;
        List list;
    };
    void commitLevel();
    void commitList();

    std::vector<WordList> m_lists;
    QHash<int, int> m_overrides;
    QHash<int, int> m_lsModel;
    QHash<int, int> m_idModel; // the model list of a list id, for overrides that change nothing
    QSet<int> m_changing;      // the \ls of overrides that change levels (a restart)
    WordList m_list;
    int m_listDepth = 0; // the depth of the \list group being read; 0 none
    ListLevel m_level;
    int m_levelNfc = 0;
    int m_levelIndex = 0;
    int m_levelDepth = 0;
    QString m_levelText;
    bool m_levelFont = false; // the level names its font
    int m_overrideId = 0, m_overrideLs = 0, m_overrideDepth = 0, m_overrideCount = 0;
};

} // namespace qly::rtf
