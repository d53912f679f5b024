// qly-find FOLDER TEXT: one search of the page files in FOLDER, as the find dialog runs it
// without "Case sensitive"; prints the letters of the pages found. For timing whole runs.
// qly-find --serve FOLDER: searches for each line read from the standard input, the pages'
// text kept between searches as the find dialog keeps it; prints for each the letters found,
// the milliseconds the search took, the page files it read and the megabytes of text kept.
#include "model/pageletters.h"
#include "pages/pagesearch.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <iostream>
#include <string>

namespace {
QString lettersOf(const qly::PageSearchResult& result) {
    QString letters;
    for (int index : result.pages)
        letters += qly::pageLetter(index);
    return letters.isEmpty() ? QStringLiteral("-") : letters;
}
} // namespace

int main(int argc, char** argv) {
    const bool serve = argc == 3 && std::string(argv[1]) == "--serve";
    if (argc != 3) {
        std::fprintf(stderr, "usage: qly-find FOLDER TEXT | qly-find --serve FOLDER\n");
        return 2;
    }
    QString folder = QString::fromLocal8Bit(argv[serve ? 2 : 1]);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (!serve) {
        const qly::PageSearchResult result =
            qly::searchPages(folder, QString::fromLocal8Bit(argv[2]), false);
        std::printf("%s\n", qPrintable(lettersOf(result)));
        if (result.stoppedEarly()) {
            std::fprintf(stderr, "%s\n", qPrintable(result.error));
            return 1;
        }
        return 0;
    }
    qly::PageTextCache cache;
    std::string line;
    while (std::getline(std::cin, line)) {
        QElapsedTimer timer;
        timer.start();
        const int readBefore = cache.filesRead();
        const qly::PageSearchResult result =
            qly::searchPages(folder, QString::fromStdString(line), false, &cache);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        std::printf("%s %.3f %d %.1f\n", qPrintable(lettersOf(result)), ms,
                    cache.filesRead() - readBefore, double(cache.bytesKept()) / 1e6);
        std::fflush(stdout);
    }
    return 0;
}
