#include "messageboxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace qlytest {

QStringList answerMessageBoxes(const std::function<void()>& action) {
    return answerMessageBoxes(action, 0, 0);
}

QStringList answerMessageBoxes(const std::function<void()>& action, qsizetype count,
                               int timeoutMs) {
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
    (void)QTest::qWaitFor([&] { return texts.size() >= count; }, timeoutMs);
    return texts;
}

} // namespace qlytest
