// qly-find FOLDER TEXT: one search of the page files in FOLDER, as the find dialog runs it
// without "Case sensitive"; prints the letters of the pages found. For timing whole runs.
#include "model/pageletters.h"
#include "pages/pagesearch.h"

#include <QString>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: qly-find FOLDER TEXT\n");
        return 2;
    }
    QString folder = QString::fromLocal8Bit(argv[1]);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const qly::PageSearchResult result =
        qly::searchPages(folder, QString::fromLocal8Bit(argv[2]), false);
    QString letters;
    for (int index : result.pages)
        letters += qly::pageLetter(index);
    std::printf("%s\n", qPrintable(letters));
    if (result.stoppedEarly()) {
        std::fprintf(stderr, "%s\n", qPrintable(result.error));
        return 1;
    }
    return 0;
}
