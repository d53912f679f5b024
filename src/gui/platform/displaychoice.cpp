#include "platform/displaychoice.h"

#include <QFileInfo>
#include <QGuiApplication>

namespace qly {

namespace {

bool waylandReachable(const DisplayEnvironment& env) {
    if (env.waylandDisplay.isEmpty())
        return false;
    const QString name = QString::fromLocal8Bit(env.waylandDisplay);
    const QString socket =
        name.startsWith(u'/') ? name : QString::fromLocal8Bit(env.runtimeDir) + u'/' + name;
    return QFileInfo(socket).exists();
}

// A local display (":N" or ":N.S") listens on its socket in /tmp/.X11-unix; any other form (a
// host, a launchd path) is taken as reachable, and Qt's fallback covers a wrong guess.
bool x11Reachable(const QByteArray& display) {
    if (display.isEmpty())
        return false;
    if (!display.startsWith(':'))
        return true;
    QByteArray number = display.mid(1);
    if (const qsizetype dot = number.indexOf('.'); dot >= 0)
        number.truncate(dot);
    bool ok = false;
    number.toUInt(&ok);
    return ok &&
           QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X") + QString::fromLatin1(number));
}

} // namespace

QByteArray chooseQtPlatform(const DisplayEnvironment& env) {
    if (!env.qpaPlatform.isEmpty() || !waylandReachable(env))
        return {};
    if (!x11Reachable(env.x11Display))
        return QByteArrayLiteral("wayland");
    return QByteArrayLiteral("xcb;wayland");
}

void preferX11UnderWayland() {
    const QByteArray platform =
        chooseQtPlatform({qgetenv("QT_QPA_PLATFORM"), qgetenv("WAYLAND_DISPLAY"),
                          qgetenv("DISPLAY"), qgetenv("XDG_RUNTIME_DIR")});
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
}

bool compositorPlacesWindows() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace qly
