// A program that links Qt Core and does nothing with it: the floor of a command-line tool's
// start (loading Qt Core and ICU), timed beside `qly-rtf text` by bench/find-vs-unrtf.sh.
#include <QString>

int main(int argc, char**) {
    return QString::number(argc).isEmpty() ? 1 : 0;
}
