// qly-rtf-view IN OUT: the path that viewing a page takes. Reads the page into a
// QTextDocument exactly as the editor does (offscreen, with the editor's default font) and
// writes it as leaving the page does. Reached as `qly-rtf roundtrip IN OUT`; a program of its
// own so that the other qly-rtf commands start without the display libraries.
#include "editor/richtextconvert.h"
#include "pages/pagestore.h"
#include "rtf/rtf.h"

#include <QFile>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: qly-rtf roundtrip IN OUT\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    qly::PageFileRead in = qly::readPageFile(QFile::decodeName(argv[1]));
    if (!in.isRead()) {
        std::fprintf(stderr, "qly-rtf: cannot read %s: %s\n", argv[1], qPrintable(in.reason));
        return 1;
    }
    QTextDocument doc;
    doc.setDefaultFont(qly::editorDefaultFont());
    qly::setEditorDocument(&doc, qly::rtf::readDocument(in.bytes));
    const QByteArray out = qly::rtf::writeDocument(qly::editorDocument(&doc));
    QFile f(QString::fromLocal8Bit(argv[2]));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(out) != out.size() ||
        !f.flush()) {
        std::fprintf(stderr, "qly-rtf: cannot write %s: %s\n", argv[2],
                     qPrintable(f.errorString()));
        return 1;
    }
    return 0;
}
