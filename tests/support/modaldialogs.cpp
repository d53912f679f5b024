#include "modaldialogs.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace qlytest {

bool actOnModal(const QMetaObject& type, const std::function<void()>& open,
                const std::function<void(QWidget&)>& act) {
    bool acted = false;
    QTimer timer;
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (acted || !dialog || !type.cast(dialog) || !dialog->isActiveWindow())
            return;
        acted = true;
        // Let the window manager settle the focus before acting as the user.
        QTest::qWait(100);
        act(*dialog);
    });
    timer.start();
    open();
    return acted;
}

} // namespace qlytest
