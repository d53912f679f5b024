#include "editor/pagepieces.h"

#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace qly {

namespace {
// What a block the page does not hold, or one inside a table, is.
// Never destroyed: pages are still saved from an exit handler (see realFamily).
const std::shared_ptr<const BlockPiece>& emptyPiece() {
    static const auto& empty =
        *new std::shared_ptr<const BlockPiece>(std::make_shared<BlockPiece>());
    return empty;
}
} // namespace

PagePieces::PagePieces(QTextDocument* document, QObject* parent)
    : QObject(parent), m_document(document) {
    document->documentLayout(); // a document tells its changes only once it has a layout
    connect(document, &QTextDocument::contentsChange, this, &PagePieces::changed);
}

void PagePieces::start() {
    if (m_started)
        return;
    m_started = true;
    markAll();
}

void PagePieces::stop() {
    m_started = false;
    Pieces().swap(m_pieces);
    m_unconverted = 0;
    m_scan = 0;
}

void PagePieces::markAll() {
    m_font = m_document->defaultFont();
    m_pieces.assign(size_t(m_document->blockCount()), nullptr);
    m_unconverted = m_pieces.size();
    m_scan = 0;
}

void PagePieces::set(size_t index, std::shared_ptr<const BlockPiece> piece) {
    if (!m_pieces[index])
        --m_unconverted;
    m_pieces[index] = std::move(piece);
}

// The blocks before the change are as they were, and so are those after it, one for one:
// the blocks between, in the document as it is now, take the place of the old ones.
void PagePieces::changed(int position, int /*removed*/, int added) {
    if (!m_started)
        return;
    const int count = m_document->blockCount();
    const auto blockAt = [this, count](int at) {
        const QTextBlock b = m_document->findBlock(at);
        return b.isValid() ? b.blockNumber() : count - 1;
    };
    const int first = blockAt(position);
    const int last = blockAt(position + added);
    const int lastBefore = last - (count - int(m_pieces.size()));
    if (first < 0 || last < first || lastBefore < first - 1 || lastBefore >= int(m_pieces.size())) {
        markAll(); // not a change this can follow: everything again
        return;
    }
    const auto from = m_pieces.begin() + first;
    const auto to = m_pieces.begin() + lastBefore + 1;
    m_unconverted -= size_t(std::count(from, to, nullptr));
    const auto kept = m_pieces.erase(from, to);
    m_pieces.insert(kept, size_t(last - first + 1), nullptr);
    m_unconverted += size_t(last - first + 1);
    m_scan = std::min(m_scan, size_t(first));
}

bool PagePieces::convert(qint64 budgetNs) {
    if (!m_started)
        return false;
    if (m_document->defaultFont() != m_font || m_pieces.size() != size_t(m_document->blockCount()))
        markAll(); // every part names the default font; a count that drifted is a change missed
    QElapsedTimer clock;
    clock.start();
    // Formats are converted once a slice: the document does not change within one.
    BlockConverter converter(m_document);
    QTextBlock block;
    while (m_unconverted > 0) {
        while (m_pieces[m_scan])
            ++m_scan;
        block = block.isValid() && block.blockNumber() == int(m_scan) - 1
                    ? block.next()
                    : m_document->findBlockByNumber(int(m_scan));
        const QTextBlock start = converter.partStart(block);
        auto piece = std::make_shared<BlockPiece>();
        const QTextBlock last = converter.convert(start, *piece);
        const size_t first = size_t(start.blockNumber());
        set(first, std::move(piece));
        for (size_t i = first + 1; i <= size_t(last.blockNumber()); ++i)
            set(i, emptyPiece());
        if (!m_pieces[m_scan]) // in a table's frame but none of its cells: no paragraph
            set(m_scan, emptyPiece());
        block = last;
        if (clock.nsecsElapsed() >= budgetNs)
            break;
    }
    return m_unconverted == 0;
}

Document PagePieces::page(const Pieces& pieces) {
    PageBuilder page;
    for (const std::shared_ptr<const BlockPiece>& piece : pieces)
        page.add(*piece);
    return page.finish();
}

} // namespace qly
