#include "dialogs/errorbox.h"

#include "art/pagestackpicture.h"
#include "settings/error.h"

#include <QApplication>
#include <QMessageBox>

namespace qly {

namespace {
bool g_noDisplay = false;
} // namespace

void reportToConsoleOnly() {
    g_noDisplay = true;
}

void showErrorBox(QWidget* parent, const QString& message) {
    if (g_noDisplay) {
        qWarning("%s", qPrintable(errorBoxText(message)));
        return;
    }
    useProgramIcon();
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), errorBoxText(message),
                    QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}

void showMessage(QWidget* parent, const QString& text) {
    if (g_noDisplay) {
        qWarning("%s", qPrintable(text));
        return;
    }
    useProgramIcon();
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
