// Find across pages: the search of 26 page files, and what it spends its time on.
// QLY_FIND_PAGES names a page folder (bench/find-vs-unrtf.sh passes LibreOffice's files);
// without it the pages are written here by the program's own RTF writer, about 1.3 MB each.
#include "model/document.h"
#include "model/pageletters.h"
#include "pages/pagesearch.h"
#include "pages/pagestore.h"
#include "rtf/rtf.h"
#include "rtf/rtftext.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

qly::Document generatedPage(quint32 seed) {
    static const char* const words[] = {"meeting", "agenda",  "budget", "garden", "café",
                                        "résumé",  "заметки", "σελίδα", "会議",   "straße",
                                        "notes",   "plan",    "ticket", "letter", "flour"};
    QRandomGenerator rnd(seed);
    qly::Document doc;
    qly::CharFormat bold;
    bold.bold = true;
    qly::CharFormat coloured;
    coloured.color = 0xC00000;
    while (true) {
        qly::Paragraph p;
        p.align = qly::Alignment(rnd.bounded(3));
        for (int run = 0; run < 12; ++run) {
            QString text;
            for (int w = 0; w < 8; ++w)
                text += QString::fromUtf8(words[rnd.bounded(15)]) + QLatin1Char(' ');
            p.runs.push_back({text, run % 3 == 0   ? bold
                                    : run % 3 == 1 ? coloured
                                                   : qly::CharFormat{}});
        }
        doc.paragraphs.push_back(std::move(p));
        if (doc.paragraphs.size() % 50 == 0 && qly::rtf::writeDocument(doc).size() > 1300000)
            return doc;
    }
}

// The page folder: the named one, or 26 pages written once into a temporary folder.
const QString& pageFolder() {
    static std::unique_ptr<QTemporaryDir> made;
    static const QString folder = [] {
        const QString named = qEnvironmentVariable("QLY_FIND_PAGES");
        if (!named.isEmpty())
            return named.endsWith(QLatin1Char('/')) ? named : named + QLatin1Char('/');
        made = std::make_unique<QTemporaryDir>();
        for (int i = 0; i < qly::PageCount; ++i) {
            qly::Document page = generatedPage(quint32(i + 1));
            if (i == qly::PageCount - 1)
                page.paragraphs.push_back(
                    {qly::Alignment::Left, {{QStringLiteral("Zanzibarquill"), {}}}});
            QFile f(made->path() + QLatin1Char('/') + qly::pageLetter(i) + ".rtf");
            if (f.open(QIODevice::WriteOnly))
                f.write(qly::rtf::writeDocument(page));
        }
        return made->path() + QLatin1Char('/');
    }();
    return folder;
}

qint64 folderBytes() {
    qint64 total = 0;
    for (int i = 0; i < qly::PageCount; ++i)
        total += QFile(pageFolder() + qly::pageLetter(i) + ".rtf").size();
    return total;
}

void BM_SearchAllPages(benchmark::State& state) {
    const bool caseSensitive = state.range(0) != 0;
    const bool cached = state.range(1) != 0;
    const QString word =
        caseSensitive ? QStringLiteral("Zanzibarquill") : QStringLiteral("zanzibarquill");
    qly::PageTextCache cache;
    if (cached) // the first search fills it
        qly::searchPages(pageFolder(), word, caseSensitive, &cache);
    for (auto _ : state) {
        const qly::PageSearchResult r =
            qly::searchPages(pageFolder(), word, caseSensitive, cached ? &cache : nullptr);
        if (r.pages != QList<int>{25})
            state.SkipWithError("the word is not found on page Z alone");
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(state.iterations() * folderBytes());
    if (cached)
        state.counters["text_kept_MB"] = double(cache.bytesKept()) / 1e6;
}
BENCHMARK(BM_SearchAllPages)
    ->ArgNames({"case_sensitive", "cached"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// The parts of one page's search: reading, the reader's plain text, the scanner's text, the
// upper case of the whole text (as the search once did), matching while folding case.
void BM_OnePage(benchmark::State& state) {
    const QString file = pageFolder() + QStringLiteral("M.rtf");
    const QByteArray bytes = qly::readPageFile(file).bytes;
    const QString text = qly::rtf::plainText(bytes);
    const QLocale locale = QLocale::system();
    const qly::TextMatcher matcher(QStringLiteral("zanzibarquill"), false);
    qly::rtf::TextScanner scanner;
    for (auto _ : state) {
        switch (state.range(0)) {
        case 0:
            benchmark::DoNotOptimize(qly::readPageFile(file).bytes);
            break;
        case 1:
            benchmark::DoNotOptimize(qly::rtf::plainText(bytes));
            break;
        case 2:
            benchmark::DoNotOptimize(scanner.scan(bytes));
            break;
        case 3:
            benchmark::DoNotOptimize(locale.toUpper(text));
            break;
        case 4:
            benchmark::DoNotOptimize(matcher.matches(text));
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_OnePage)
    ->ArgName("read_reader_scanner_upper_fold")
    ->DenseRange(0, 4)
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
