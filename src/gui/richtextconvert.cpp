// Placeholder: plain text only, until the rich-text conversion lands.
#include "richtextconvert.h"

#include <QTextBlock>
#include <QTextDocument>

namespace qly {

void setEditorDocument(QTextDocument* target, const Document& doc) {
    QStringList lines;
    for (const Paragraph& p : doc.paragraphs) {
        QString line;
        for (const TextRun& r : p.runs)
            line += r.text;
        lines << line;
    }
    target->setPlainText(lines.join(QLatin1Char('\n')));
}

Document editorDocument(const QTextDocument* source) {
    Document doc;
    for (QTextBlock b = source->begin(); b.isValid(); b = b.next()) {
        Paragraph p;
        if (!b.text().isEmpty())
            p.runs.push_back(TextRun{b.text(), {}});
        doc.paragraphs.push_back(std::move(p));
    }
    return doc;
}

} // namespace qly
