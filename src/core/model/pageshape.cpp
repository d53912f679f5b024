#include "model/pageshape.h"

namespace qly {

namespace {

// A run that carries text and its format and nothing else.
bool isPlainText(const TextRun& run) {
    return run == TextRun{run.text, run.format};
}

// Estimated nanoseconds to break a stretch of `chars` characters holding `formats` format
// changes into lines at word boundaries: each line walks the characters and format runs
// left in the stretch (about 50 characters a line in a narrow window; measured on Qt 6.4
// at about 28 ns a character and 350 ns a format run visited).
double stretchCost(double chars, double formats) {
    constexpr double CharsPerLine = 50;
    return chars / CharsPerLine * (chars * 28 + formats * 350) / 2;
}

} // namespace

void mergeAlikeRuns(Document& doc) {
    for (Paragraph& p : doc.paragraphs) {
        if (p.runs.size() < 2)
            continue;
        std::size_t kept = 0;
        for (std::size_t i = 1; i < p.runs.size(); ++i) {
            TextRun& last = p.runs[kept];
            TextRun& run = p.runs[i];
            if (run.format == last.format && isPlainText(run) && isPlainText(last)) {
                last.text += run.text;
            } else if (++kept != i) {
                p.runs[kept] = std::move(run);
            }
        }
        p.runs.resize(kept + 1);
    }
}

bool hasUniformParagraphs(const Document& doc) {
    if (doc.paragraphs.empty() || doc.paragraphs.front().runs.size() != 1 || !doc.rows.empty())
        return false;
    const Paragraph& first = doc.paragraphs.front();
    const TextRun& run = first.runs.front();
    for (const Paragraph& p : doc.paragraphs) {
        if (p.runs.size() > 1)
            return false;
        if (!p.runs.empty() &&
            (!isPlainText(p.runs.front()) || p.runs.front().format != run.format))
            return false;
        // Nothing else of the paragraph may differ: its alignment, and whatever else it holds.
        Paragraph same = p;
        same.runs = first.runs;
        if (!(same == first))
            return false;
    }
    return true;
}

bool wantsWrapAnywhere(const Document& doc) {
    // A quarter of a second in all: more would show as a frozen window.
    constexpr double Budget = 250e6;
    double cost = 0;
    for (const Paragraph& p : doc.paragraphs) {
        double chars = 0;
        double formats = 0;
        for (const TextRun& run : p.runs) {
            if (chars > 0)
                ++formats;
            for (const QChar c : run.text) {
                if (c.isSpace()) {
                    cost += stretchCost(chars, formats);
                    chars = 0;
                    formats = 0;
                } else {
                    ++chars;
                }
            }
        }
        cost += stretchCost(chars, formats);
        if (cost > Budget)
            return true;
    }
    return false;
}

} // namespace qly
