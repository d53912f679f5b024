#pragma once

#include "editor/richtextconvert.h"

#include <QFont>
#include <QObject>

#include <memory>
#include <vector>

class QTextDocument;

namespace qly {

// The editor's document kept converted to a page, part by part: a change marks the blocks it
// touched, and only those are converted again, a few milliseconds at a time between events.
// A copy of a long page then costs the GUI thread little more than the typing since the last
// one, and it is always of one moment: it is taken only while every part is of the document
// as it stands.
class PagePieces : public QObject {
    Q_OBJECT
public:
    // A part for each block, in order (a table's part at its first block, its other blocks
    // empty parts). Parts are never changed once made: a copy may be read on any thread.
    using Pieces = std::vector<std::shared_ptr<const BlockPiece>>;

    explicit PagePieces(QTextDocument* document, QObject* parent = nullptr);

    // Starts keeping the document converted, all of it still to be converted; nothing when
    // already started.
    void start();
    // Stops, and lets go of what was converted.
    void stop();
    bool started() const { return m_started; }

    // Converts changed blocks until none is left or `budgetNs` has passed (a table goes whole);
    // true when every block of the document as it stands is converted.
    bool convert(qint64 budgetNs);
    // The parts of the document as it stands; only after convert() returned true with no
    // change since.
    const Pieces& pieces() const { return m_pieces; }

    // The page that the parts make.
    static Document page(const Pieces& pieces);

private:
    void changed(int position, int removed, int added);
    void markAll();
    void set(size_t index, std::shared_ptr<const BlockPiece> piece);

    QTextDocument* m_document;
    QFont m_font;    // the document's default font the parts were converted in
    Pieces m_pieces; // by block number; null: still to be converted
    size_t m_unconverted = 0;
    size_t m_scan = 0; // no block before it is still to be converted
    bool m_started = false;
};

} // namespace qly
