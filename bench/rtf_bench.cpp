// RTF codec benchmarks. The inputs come from scripts/bench-rtf.sh, which has
// LibreOffice make them:
//   QLY_BENCH_RTF_1MB   a 1 MB RTF file          QLY_BENCH_RTF_30MB  a 30 MB RTF file
//   QLY_BENCH_HTML_1MB  LibreOffice's HTML export of the 1 MB file
// Without them, synthetic pages from our own writer stand in.
#include "editor/richtextconvert.h"
#include "rtf/rtf.h"

#include <QFile>
#include <QTextDocument>
#include <QTextEdit>

#include <benchmark/benchmark.h>

namespace {

QByteArray synthetic(qsizetype bytes) {
    qly::Document d;
    qly::CharFormat a, b;
    a.font = "Liberation Sans";
    a.size = 11;
    b = a;
    b.bold = true;
    b.color = 0xFF0000;
    while (qly::rtf::writeDocument(d).size() < bytes) {
        for (int i = 0; i < 200; ++i) {
            qly::Paragraph p;
            p.align = qly::Alignment(i % 4);
            p.runs.push_back({QString::fromUtf8("Some text of a page, café, Привет, 日本語 "), a});
            p.runs.push_back({QStringLiteral("bold red words "), b});
            d.paragraphs.push_back(p);
        }
    }
    return qly::rtf::writeDocument(d);
}

const QByteArray& input(const char* env, qsizetype fallbackSize) {
    static std::map<std::string, QByteArray> cache;
    auto it = cache.find(env);
    if (it != cache.end())
        return it->second;
    QByteArray bytes;
    const QString path = qEnvironmentVariable(env);
    QFile f(path);
    if (!path.isEmpty() && f.open(QIODevice::ReadOnly))
        bytes = f.readAll();
    else
        bytes = synthetic(fallbackSize);
    return cache[env] = bytes;
}

const QByteArray& rtf1() {
    return input("QLY_BENCH_RTF_1MB", 1 << 20);
}
const QByteArray& rtf30() {
    return input("QLY_BENCH_RTF_30MB", 30 << 20);
}

void plainText(benchmark::State& state, const QByteArray& bytes) {
    for (auto _ : state)
        benchmark::DoNotOptimize(qly::rtf::plainText(bytes));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void readModel(benchmark::State& state, const QByteArray& bytes) {
    for (auto _ : state)
        benchmark::DoNotOptimize(qly::rtf::readDocument(bytes));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void writeModel(benchmark::State& state, const QByteArray& bytes) {
    const qly::Document doc = qly::rtf::readDocument(bytes);
    qsizetype out = 0;
    for (auto _ : state) {
        const QByteArray rtf = qly::rtf::writeDocument(doc);
        out = rtf.size();
        benchmark::DoNotOptimize(rtf);
    }
    state.SetBytesProcessed(state.iterations() * out); // RTF bytes written a second
}

void BM_PlainText_1MB(benchmark::State& s) {
    plainText(s, rtf1());
}
void BM_PlainText_30MB(benchmark::State& s) {
    plainText(s, rtf30());
}
void BM_ReadModel_1MB(benchmark::State& s) {
    readModel(s, rtf1());
}
void BM_ReadModel_30MB(benchmark::State& s) {
    readModel(s, rtf30());
}
void BM_WriteModel_1MB(benchmark::State& s) {
    writeModel(s, rtf1());
}
void BM_WriteModel_30MB(benchmark::State& s) {
    writeModel(s, rtf30());
}

// A 1 MB page into the editor: RTF -> model -> QTextDocument of a QTextEdit.
void BM_RtfIntoTextEdit_1MB(benchmark::State& state) {
    const QByteArray& bytes = rtf1();
    QTextEdit edit;
    for (auto _ : state) {
        qly::setEditorDocument(edit.document(), qly::rtf::readDocument(bytes));
        benchmark::DoNotOptimize(edit.document()->characterCount());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// Qt's own: QTextEdit::setHtml of LibreOffice's HTML export of the same file.
void BM_QTextEditSetHtml_1MB(benchmark::State& state) {
    const QString path = qEnvironmentVariable("QLY_BENCH_HTML_1MB");
    QFile f(path);
    if (path.isEmpty() || !f.open(QIODevice::ReadOnly)) {
        state.SkipWithError("QLY_BENCH_HTML_1MB is not set");
        return;
    }
    const QString html = QString::fromUtf8(f.readAll());
    QTextEdit edit;
    for (auto _ : state) {
        edit.setHtml(html);
        benchmark::DoNotOptimize(edit.document()->characterCount());
    }
    state.SetBytesProcessed(state.iterations() * rtf1().size());
}

// A 1 MB page of lines into a document that nothing lays out yet, as the page loader fills
// the editor, against Qt's own setPlainText of the same text. "Words" has a bold word in every
// tenth line, so that its paragraphs differ in more than their text.
qly::Document pageOfLines(bool boldWords) {
    qly::CharFormat plain;
    plain.font = QStringLiteral("DejaVu Sans");
    plain.size = 10;
    qly::CharFormat bold = plain;
    bold.bold = true;
    qly::Document d;
    for (int i = 0, size = 0; size < 1'000'000; ++i) {
        qly::Paragraph p;
        const QString line =
            QStringLiteral("line %1 of a page of notes, with a plan and a list").arg(i);
        p.runs.push_back({line, plain});
        if (boldWords && i % 10 == 0) {
            p.runs.push_back({QStringLiteral(" remember"), bold});
            p.runs.push_back({QStringLiteral(" and more"), plain});
        }
        size += int(line.size()) + 1;
        d.paragraphs.push_back(std::move(p));
    }
    return d;
}

QString textOf(const qly::Document& d) {
    QString text;
    for (const qly::Paragraph& p : d.paragraphs) {
        if (!text.isEmpty())
            text += QChar::ParagraphSeparator;
        for (const qly::TextRun& r : p.runs)
            text += r.text;
    }
    return text;
}

void fillEditor(benchmark::State& state, bool boldWords) {
    const qly::Document page = pageOfLines(boldWords);
    QTextDocument doc;
    doc.setPageSize(QSizeF(0, 0));
    for (auto _ : state) {
        qly::setEditorDocument(&doc, page);
        benchmark::DoNotOptimize(doc.characterCount());
    }
}
void BM_EditorFill_Lines_1MB(benchmark::State& s) {
    fillEditor(s, false);
}
void BM_EditorFill_Words_1MB(benchmark::State& s) {
    fillEditor(s, true);
}
// The editor's 1 MB page back into a page, as a save does.
void BM_EditorDocument_Words_1MB(benchmark::State& state) {
    QTextDocument doc;
    doc.setPageSize(QSizeF(0, 0));
    qly::setEditorDocument(&doc, pageOfLines(true));
    for (auto _ : state)
        benchmark::DoNotOptimize(qly::editorDocument(&doc));
}
void BM_QtSetPlainText_Words_1MB(benchmark::State& state) {
    const QString text = textOf(pageOfLines(true));
    QTextDocument doc;
    doc.setPageSize(QSizeF(0, 0));
    for (auto _ : state) {
        doc.setPlainText(text);
        benchmark::DoNotOptimize(doc.characterCount());
    }
}

BENCHMARK(BM_PlainText_1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainText_30MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadModel_1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadModel_30MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteModel_1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteModel_30MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RtfIntoTextEdit_1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QTextEditSetHtml_1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditorFill_Lines_1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditorFill_Words_1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtSetPlainText_Words_1MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditorDocument_Words_1MB)->Unit(benchmark::kMillisecond);

} // namespace
