#include "messageboxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace qlytest {

QStringList answerMessageBoxes(const std::function<void()>& action) {
    QStringList texts;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&texts] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            texts << box->text();
            box->accept();
        }
    });
    timer.start();
    action();
    return texts;
}

} // namespace qlytest
