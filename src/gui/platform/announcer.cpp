#include "platform/announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include <utility>

namespace qly {

namespace {
QAccessibleInterface* notificationRole(const QString& className, QObject* object) {
    auto* widget = qobject_cast<Announcer*>(object);
    if (!widget || className != QLatin1String("qly::Announcer"))
        return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Notification);
}
} // namespace

Announcer::Announcer(QWidget* parent) : QWidget(parent) {
    static bool installed = false;
    if (!std::exchange(installed, true))
        QAccessible::installFactory(notificationRole);
    setObjectName(QStringLiteral("announcer"));
    // Nothing to see or click: no size, no mouse, never the focus.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(0, 0, 0, 0);
    hide();
}

void Announcer::announce(const QString& text) {
    hide();
    setAccessibleName(text);
    // Shown only inside a shown window: a hidden one tells nobody.
    if (window()->isVisible())
        show();
}

} // namespace qly
