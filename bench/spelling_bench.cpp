// Spell checking: the engine's choice and the checker's cost.
//   BM_Engine/<hunspell|nuspell>/check   10,000 words of a page, each asked of the engine
//   BM_Engine/<hunspell|nuspell>/suggest 20 misspelt words, suggestions for each
//   BM_CheckPage10KB/cold|warm           the misspellings of a whole 10 KB page through the
//                                        checker, without and with its word cache
//   BM_LoadDictionary/<code>             loading one dictionary; counter rss_kb: its memory
// The dictionaries are the system's (hunspell-en-us, hunspell-de-de); a case without its
// dictionary is skipped. Usage: bench/spelling.sh, or build/bin/bench_spelling.
#include "spelling/dictionaryfinder.h"
#include "spelling/speller.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTextStream>

#include <benchmark/benchmark.h>
#include <hunspell/hunspell.hxx>
#ifdef QLY_HAVE_NUSPELL
#include <nuspell/dictionary.hxx>
#endif

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using namespace qly;

namespace {
const QString Folder = QStringLiteral("/usr/share/hunspell/");

long residentKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4;
}

// Words of the English dictionary in a fixed random order, every twentieth with two letters
// swapped: a page with a misspelling in about every other line.
const std::vector<std::string>& pageWords() {
    static const std::vector<std::string> words = [] {
        std::vector<std::string> dic, out;
        std::ifstream in((Folder + "en_US.dic").toStdString());
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line))
            dic.push_back(line.substr(0, line.find('/')));
        if (dic.empty())
            return out;
        QRandomGenerator rnd(7);
        for (int i = 0; i < 10000; ++i) {
            std::string w = dic[rnd.bounded(int(dic.size()))];
            if (i % 20 == 0 && w.size() > 3)
                std::swap(w[1], w[2]);
            out.push_back(w);
        }
        return out;
    }();
    return words;
}

std::vector<std::string> misspelt(Hunspell& h, size_t count) {
    std::vector<std::string> out;
    for (const std::string& w : pageWords())
        if (out.size() < count && !h.spell(w))
            out.push_back(w);
    return out;
}

bool haveDictionary(benchmark::State& state, const char* code) {
    if (QFile::exists(Folder + code + ".dic"))
        return true;
    state.SkipWithError("dictionary not installed");
    return false;
}

void BM_HunspellCheck(benchmark::State& state) {
    if (!haveDictionary(state, "en_US"))
        return;
    Hunspell h((Folder + "en_US.aff").toLocal8Bit(), (Folder + "en_US.dic").toLocal8Bit());
    for (auto _ : state)
        for (const std::string& w : pageWords())
            benchmark::DoNotOptimize(h.spell(w));
}
BENCHMARK(BM_HunspellCheck)->Name("BM_Engine/hunspell/check")->Unit(benchmark::kMillisecond);

void BM_HunspellSuggest(benchmark::State& state) {
    if (!haveDictionary(state, "en_US"))
        return;
    Hunspell h((Folder + "en_US.aff").toLocal8Bit(), (Folder + "en_US.dic").toLocal8Bit());
    const std::vector<std::string> wrong = misspelt(h, 20);
    for (auto _ : state)
        for (const std::string& w : wrong)
            benchmark::DoNotOptimize(h.suggest(w));
}
BENCHMARK(BM_HunspellSuggest)->Name("BM_Engine/hunspell/suggest")->Unit(benchmark::kMillisecond);

#ifdef QLY_HAVE_NUSPELL
void BM_NuspellCheck(benchmark::State& state) {
    if (!haveDictionary(state, "en_US"))
        return;
    nuspell::Dictionary n;
    n.load_aff_dic((Folder + "en_US.aff").toStdString());
    for (auto _ : state)
        for (const std::string& w : pageWords())
            benchmark::DoNotOptimize(n.spell(w));
}
BENCHMARK(BM_NuspellCheck)->Name("BM_Engine/nuspell/check")->Unit(benchmark::kMillisecond);

void BM_NuspellSuggest(benchmark::State& state) {
    if (!haveDictionary(state, "en_US"))
        return;
    nuspell::Dictionary n;
    n.load_aff_dic((Folder + "en_US.aff").toStdString());
    Hunspell h((Folder + "en_US.aff").toLocal8Bit(), (Folder + "en_US.dic").toLocal8Bit());
    const std::vector<std::string> wrong = misspelt(h, 20);
    std::vector<std::string> out;
    for (auto _ : state)
        for (const std::string& w : wrong) {
            n.suggest(w, out);
            benchmark::DoNotOptimize(out);
        }
}
BENCHMARK(BM_NuspellSuggest)->Name("BM_Engine/nuspell/suggest")->Unit(benchmark::kMillisecond);
#endif

// About 10 KB of text: the page's words in lines of eight.
QString tenKilobytePage() {
    QString text;
    int n = 0;
    for (const std::string& w : pageWords()) {
        if (text.size() >= 10 * 1024)
            break;
        text += QString::fromStdString(w) + (++n % 8 ? QLatin1Char(' ') : QLatin1Char('\n'));
    }
    return text;
}

void checkPage(benchmark::State& state, bool cold) {
    if (!haveDictionary(state, "en_US"))
        return;
    Speller speller;
    speller.loadDictionaries({"en_US"}, findDictionaries({Folder}));
    const QString page = tenKilobytePage();
    const QStringList lines = page.split(QLatin1Char('\n'));
    size_t wrong = 0;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            speller.setSplitOptions({}); // forgets every answer
            state.ResumeTiming();
        }
        wrong = 0;
        for (const QString& line : lines) // one block after another, as the editor checks
            wrong += speller.misspellings(line).size();
    }
    state.counters["bytes"] = double(page.toUtf8().size());
    state.counters["misspelt"] = double(wrong);
}
void BM_CheckPage10KBCold(benchmark::State& state) {
    checkPage(state, true);
}
void BM_CheckPage10KBWarm(benchmark::State& state) {
    checkPage(state, false);
}
BENCHMARK(BM_CheckPage10KBCold)->Name("BM_CheckPage10KB/cold")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckPage10KBWarm)->Name("BM_CheckPage10KB/warm")->Unit(benchmark::kMillisecond);

void loadDictionary(benchmark::State& state, const char* code) {
    if (!haveDictionary(state, code))
        return;
    long grown = 0;
    for (auto _ : state) {
        const long before = residentKb();
        std::unique_ptr<SpellDictionary> d =
            loadHunspellDictionary(Folder + code + ".aff", Folder + code + ".dic");
        grown = std::max(grown, residentKb() - before);
        benchmark::DoNotOptimize(d);
    }
    state.counters["rss_kb"] = double(grown);
}
void BM_LoadEnglish(benchmark::State& state) {
    loadDictionary(state, "en_US");
}
void BM_LoadGerman(benchmark::State& state) {
    loadDictionary(state, "de_DE");
}
BENCHMARK(BM_LoadEnglish)
    ->Name("BM_LoadDictionary/en_US")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_LoadGerman)
    ->Name("BM_LoadDictionary/de_DE")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
} // namespace

BENCHMARK_MAIN();
