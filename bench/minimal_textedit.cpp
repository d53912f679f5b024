// The yardstick for start-up time: the least a Qt 6 program can do to show a 400x368
// rich-text editor.
#include <QApplication>
#include <QTextEdit>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QTextEdit edit;
    edit.resize(400, 368);
    edit.show();
    return QApplication::exec();
}
