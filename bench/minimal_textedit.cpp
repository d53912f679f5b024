// The yardstick for start-up time: the least a Qt 6 program can do to show a 400x368
// rich-text editor, empty or with the text of a file (UTF-8) given as its argument.
#include <QApplication>
#include <QFile>
#include <QTextEdit>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QTextEdit edit;
    if (argc > 1) {
        QFile file(QString::fromLocal8Bit(argv[1]));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        edit.setPlainText(QString::fromUtf8(file.readAll()));
    }
    edit.resize(400, 368);
    edit.show();
    return QApplication::exec();
}
