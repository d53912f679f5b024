// The editor's document kept converted part by part, while it is edited between the parts:
// whenever every part is converted, the parts make the page a whole conversion makes.
#include "editor/pagepieces.h"
#include "editor/richtextpictures.h"
#include "rtf/rtf.h"

#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

#include <gtest/gtest.h>

#include <limits>

using namespace qly;

namespace {

Document sample(const char* name) {
    QFile f(QStringLiteral(QLY_SOURCE_DIR "/tests/rtf/samples/") + QLatin1String(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return rtf::readDocument(f.readAll());
}

// A page with a list of its own, two levels, between plain paragraphs.
Document listPage() {
    Document d;
    List list;
    list.levels[0].style = ListStyle::Decimal;
    list.levels[0].start = 3;
    list.levels[1].bullet = QStringLiteral("o");
    d.lists.push_back(list);
    for (int i = 0; i < 6; ++i) {
        Paragraph p(Alignment::Left, {TextRun{QStringLiteral("item %1").arg(i), CharFormat{}}});
        p.list = i % 3 ? 1 : 0;
        p.listLevel = i % 2;
        d.paragraphs.push_back(p);
    }
    return d;
}

// One edit a user or a command could make, somewhere in the document.
void edit(QTextDocument& doc, QRandomGenerator& random) {
    QTextCursor c(&doc);
    c.setPosition(random.bounded(doc.characterCount()));
    switch (random.bounded(10)) {
    case 0:
        c.insertText(QStringLiteral("ab"));
        break;
    case 1:
        c.insertText(QStringLiteral("\n"));
        break;
    case 2: // may take in a whole cell, row or table
        c.setPosition(std::min(c.position() + random.bounded(40), doc.characterCount() - 1),
                      QTextCursor::KeepAnchor);
        c.removeSelectedText();
        break;
    case 3:
        if (QTextList* list = c.currentList()) {
            QTextListFormat f = list->format();
            f.setStyle(QTextListFormat::ListUpperRoman);
            list->setFormat(f);
        } else {
            c.createList(QTextListFormat::ListDecimal);
        }
        break;
    case 4:
        if (QTextTable* table = c.currentTable(); table && table->columns() > 1)
            table->mergeCells(0, 0, 1, 2);
        else
            c.insertTable(2, 2);
        break;
    case 5: {
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(Qt::red);
        c.insertImage(pictureImageFormat(&doc, pictureFromImage(image), c.charFormat()));
        break;
    }
    case 6: {
        c.setPosition(std::min(c.position() + 5, doc.characterCount() - 1),
                      QTextCursor::KeepAnchor);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        c.mergeCharFormat(bold);
        break;
    }
    case 7: {
        QTextBlockFormat centred;
        centred.setAlignment(Qt::AlignHCenter);
        c.mergeBlockFormat(centred);
        break;
    }
    default:
        doc.undo();
        break;
    }
}

} // namespace

TEST(PagePieces, PartsConvertedBetweenEditsMakeTheWholeConversion) {
    for (const Document& start :
         {sample("libreoffice_table.rtf"), sample("pictures_richedit.rtf"), listPage()}) {
        QTextDocument doc;
        setEditorDocument(&doc, start);
        PagePieces pieces(&doc);
        pieces.start();
        QRandomGenerator random(7);
        int compared = 0;
        for (int i = 0; i < 400; ++i) {
            edit(doc, random);
            if (i == 200) // every part names the default font
                doc.setDefaultFont(QFont(QStringLiteral("DejaVu Serif"), 13));
            if (i == 300) // a page put in whole, as a restored copy is
                setEditorDocument(&doc, start);
            for (int slice = random.bounded(4); slice > 0; --slice)
                if (pieces.convert(0)) { // a part a slice
                    ASSERT_EQ(PagePieces::page(pieces.pieces()), editorDocument(&doc)) << i;
                    ++compared;
                    break;
                }
        }
        ASSERT_TRUE(pieces.convert(std::numeric_limits<qint64>::max()));
        EXPECT_EQ(PagePieces::page(pieces.pieces()), editorDocument(&doc));
        EXPECT_GT(compared, 20);
    }
}
