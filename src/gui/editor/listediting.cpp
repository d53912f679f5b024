#include "editor/listediting.h"

#include "editor/richtextconvert.h"
#include "rtf/rtflists.h"

#include <QKeyEvent>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextList>

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

namespace qly {

std::vector<QTextBlock> selectedBlocks(const QTextCursor& cursor) {
    std::vector<QTextBlock> out;
    const QTextDocument* doc = cursor.document();
    const QTextBlock last = doc->findBlock(cursor.selectionEnd());
    for (QTextBlock b = doc->findBlock(cursor.selectionStart()); b.isValid(); b = b.next()) {
        out.push_back(b);
        if (b == last)
            break;
    }
    return out;
}

namespace {

constexpr int kIndentStepTwips = 720; // half an inch, as the writer's levels step
constexpr double kIndentStepPixels = kIndentStepTwips / 15.0;

int listId(const QTextList* list) {
    return list ? list->format().intProperty(kListIdProperty) : 0;
}

int listLevel(const QTextList* list) {
    return std::clamp(list->format().indent() - 1, 0, kListLevels - 1);
}

int largestListId(const QTextDocument* doc) {
    int id = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        id = std::max(id, listId(b.textList()));
    return id;
}

// The block becomes an item of the list at the level, with the level's usual indents (the
// writer gives them to the level), in a list object of its own that renumbering regroups.
void makeItem(const QTextBlock& block, const List& list, int id, int level) {
    QTextCursor c(block);
    QTextBlockFormat bf = block.blockFormat();
    bf.setIndent(0);
    bf.setProperty(kListIndentProperty,
                   QVariant::fromValue(QList<int>{kIndentStepTwips * (level + 1), -360}));
    c.setBlockFormat(bf);
    c.createList(editorListFormat(list, id, level));
}

void removeItem(const QTextBlock& block) {
    if (QTextList* list = block.textList())
        list->remove(block);
    QTextCursor c(block);
    QTextBlockFormat bf = c.blockFormat();
    bf.setIndent(0); // which removing gives it: the list's
    bf.clearProperty(kListIndentProperty);
    c.setBlockFormat(bf);
}

bool numbered(const QTextList* list, int level) {
    return listOfEditorFormat(list->format()).levels[level].style != ListStyle::Bullet;
}

} // namespace

void renumberLists(QTextDocument* document) {
    struct Source {
        List list;
        rtf::ListCounters counters{1};
        std::array<int, kListLevels> runs{};
    };
    std::map<int, Source> sources;
    std::map<std::tuple<int, int, int>, QTextList*> runLists;
    QSet<QTextList*> claimed;
    QTextCursor edit(document);
    edit.beginEditBlock();
    for (QTextBlock b = document->begin(); b.isValid(); b = b.next()) {
        QTextList* list = b.textList();
        const int id = listId(list);
        if (id <= 0)
            continue;
        const int level = listLevel(list);
        auto found = sources.find(id);
        if (found == sources.end())
            found = sources.emplace(id, Source{listOfEditorFormat(list->format())}).first;
        Source& source = found->second;
        source.counters.next(source.list, 0, level);
        for (int k = level + 1; k < kListLevels; ++k)
            ++source.runs[size_t(k)];
        const auto key = std::make_tuple(id, level, source.runs[size_t(level)]);
        if (const auto it = runLists.find(key); it != runLists.end()) {
            if (it->second != list)
                it->second->add(b);
            continue;
        }
        QTextList* target = list;
        if (claimed.contains(list)) {
            QTextCursor c(b);
            target = c.createList(editorListFormat(source.list, id, level));
        }
        claimed.insert(target);
        runLists.emplace(key, target);
        const QString lead =
            source.list.levels[level].style == ListStyle::Bullet
                ? QString()
                : rtf::listLabelLead(source.list, source.counters.counts(0), level);
        if (target->format().numberPrefix() != lead) {
            QTextListFormat f = target->format();
            f.setNumberPrefix(lead);
            target->setFormat(f);
        }
    }
    edit.endEditBlock();
}

void toggleList(QTextCursor cursor, ListStyle style) {
    const std::vector<QTextBlock> blocks = selectedBlocks(cursor);
    const bool wantNumbers = style != ListStyle::Bullet;
    const bool all = std::all_of(blocks.begin(), blocks.end(), [&](const QTextBlock& b) {
        const QTextList* l = b.textList();
        return listId(l) > 0 && numbered(l, listLevel(l)) == wantNumbers;
    });
    cursor.beginEditBlock();
    if (all) {
        for (const QTextBlock& b : blocks)
            removeItem(b);
    } else {
        // A list just before the paragraphs, of the same kind, goes on through them.
        const QTextList* before = blocks.front().previous().textList();
        int id = listId(before);
        List list;
        if (id > 0 && numbered(before, 0) == wantNumbers) {
            list = listOfEditorFormat(before->format());
        } else {
            id = largestListId(cursor.document()) + 1;
            list = rtf::newList(style);
        }
        for (const QTextBlock& b : blocks) {
            const QTextList* own = b.textList();
            makeItem(b, list, id, listId(own) > 0 ? listLevel(own) : 0);
        }
    }
    renumberLists(cursor.document());
    cursor.endEditBlock();
}

void changeIndent(QTextCursor cursor, int delta) {
    cursor.beginEditBlock();
    for (const QTextBlock& b : selectedBlocks(cursor)) {
        const QTextList* list = b.textList();
        if (const int id = listId(list); id > 0) {
            const int level = std::clamp(listLevel(list) + delta, 0, kListLevels - 1);
            if (level != listLevel(list))
                makeItem(b, listOfEditorFormat(list->format()), id, level);
        } else if (!list) {
            QTextCursor c(b);
            QTextBlockFormat bf = b.blockFormat();
            bf.setLeftMargin(std::max(0.0, bf.leftMargin() + delta * kIndentStepPixels));
            c.setBlockFormat(bf);
        }
    }
    renumberLists(cursor.document());
    cursor.endEditBlock();
}

bool listKeyPressed(QTextEdit* editor, QKeyEvent* event) {
    QTextCursor cursor = editor->textCursor();
    const QTextList* list = cursor.currentList();
    if (!list || editor->isReadOnly())
        return false;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    const bool atStart = cursor.atBlockStart() && !cursor.hasSelection();
    if (((key == Qt::Key_Tab && mods == Qt::NoModifier) || key == Qt::Key_Backtab) && atStart &&
        listId(list) > 0) {
        changeIndent(cursor, key == Qt::Key_Tab ? 1 : -1);
        return true;
    }
    const bool enter = (key == Qt::Key_Return || key == Qt::Key_Enter) && mods == Qt::NoModifier;
    const bool empty = cursor.block().length() == 1;
    if ((enter && empty) || (key == Qt::Key_Backspace && mods == Qt::NoModifier && atStart)) {
        cursor.beginEditBlock();
        removeItem(cursor.block());
        renumberLists(editor->document());
        cursor.endEditBlock();
        return true;
    }
    if (enter && !cursor.hasSelection()) {
        // A new item, numbered on with the items after it.
        cursor.beginEditBlock();
        cursor.insertBlock();
        renumberLists(editor->document());
        cursor.endEditBlock();
        editor->setTextCursor(cursor);
        editor->ensureCursorVisible();
        return true;
    }
    return false;
}

} // namespace qly
