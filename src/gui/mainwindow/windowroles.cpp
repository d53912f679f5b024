#include "mainwindow/windowroles.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

#include <utility>

namespace qly {

namespace {
QAccessibleInterface* windowRole(const QString& className, QObject* object) {
    static const char* const Windows[] = {"qly::MainForm", "qly::FloatingButton",
                                          "qly::HelpViewer"};
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget || !widget->isWindow())
        return nullptr;
    for (const char* name : Windows)
        if (className == QLatin1String(name))
            return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}
} // namespace

void installWindowRoles() {
    static bool installed = false;
    if (std::exchange(installed, true))
        return;
    QAccessible::installFactory(windowRole);
}

} // namespace qly
