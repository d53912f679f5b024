#include "errorbox.h"

#include "error.h"

#include <QApplication>
#include <QMessageBox>

namespace qly {

void showErrorBox(QWidget* parent, const QString& message) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), errorBoxText(message),
                    QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}

void showMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                    parent);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.exec();
}

bool runGuarded(QWidget* parent, const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const Error& e) {
        showErrorBox(parent, e.message());
    } catch (const std::exception& e) {
        showErrorBox(parent, QString::fromLocal8Bit(e.what()));
    }
    return false;
}

} // namespace qly
