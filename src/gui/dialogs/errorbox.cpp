#include "dialogs/errorbox.h"

#include "art/pagestackpicture.h"
#include "settings/error.h"

#include <QApplication>
#include <QMessageBox>

namespace qly {

namespace {
bool g_noDisplay = false;
std::function<void(const QString&)> g_keep;

// True when the text went elsewhere than a box.
bool reportedElsewhere(const QString& text) {
    if (!g_noDisplay && !g_keep)
        return false;
    qWarning("%s", qPrintable(text));
    if (g_keep)
        g_keep(text);
    return true;
}
} // namespace

void reportToConsoleOnly() {
    g_noDisplay = true;
}

void keepReportsForLater(std::function<void(const QString& text)> keep) {
    if (!g_keep)
        g_keep = std::move(keep);
}

void showReportsAgain() {
    g_keep = nullptr;
}

bool keepingReportsForLater() {
    return bool(g_keep);
}

void showNotice(QWidget* parent, const QString& text) {
    if (g_noDisplay || g_keep || text.isEmpty())
        return;
    // Also on the console, for a start that nobody watches.
    qInfo("%s", qPrintable(text));
    useProgramIcon();
    auto* box = new QMessageBox(QMessageBox::Information, QApplication::applicationName(), text,
                                QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("NoticeBox"));
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

void showErrorBox(QWidget* parent, const QString& message) {
    if (reportedElsewhere(errorBoxText(message)))
        return;
    useProgramIcon();
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), errorBoxText(message),
                    QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}

void showMessage(QWidget* parent, const QString& text) {
    if (reportedElsewhere(text))
        return;
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
