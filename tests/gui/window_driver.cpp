// Shows one of Quillery's windows on its own, for X-session tests and screenshots:
//   qly-window-driver about                 the about box (its Help looks beside this program)
//   qly-window-driver help <chm> <topic>    the help viewer on a topic
//   qly-window-driver options               the options dialog; prints what Always on top offers
//   qly-window-driver launcher-script       prints the launcher script Go Mobile leaves on a stick
// Prints "topic <path>" whenever the help viewer shows another page, and "box <caption>|<text>"
// for each message box that comes up, so a test can follow what the user sees.
#include "dialogs/aboutform.h"
#include "dialogs/optionsform.h"
#include "help/helpviewer.h"
#include "mobile/launcher.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPointer>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <string_view>

int main(int argc, char* argv[]) {
    if (argc == 2 && std::string_view(argv[1]) == "launcher-script") {
        const QByteArray script = qly::launcherScriptText();
        std::fwrite(script.constData(), 1, size_t(script.size()), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillery"));
    const QStringList args = QApplication::arguments();
    const QString mode = args.value(1);

    QString lastTopic;
    QPointer<QMessageBox> lastBox;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&lastTopic, &lastBox] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && box != lastBox && box->isVisible()) {
            lastBox = box;
            std::printf("box %s|%s\n", qPrintable(box->windowTitle()), qPrintable(box->text()));
            std::fflush(stdout);
        }
        const qly::HelpViewer* viewer = qly::HelpViewer::existing();
        const QString topic = viewer && viewer->isVisible() ? viewer->currentTopic() : QString();
        if (topic != lastTopic) {
            lastTopic = topic;
            std::printf("topic %s\n", qPrintable(topic.isEmpty() ? QStringLiteral("-") : topic));
            std::fflush(stdout);
        }
    });
    watch.start(50);

    if (mode == QLatin1String("about")) {
        QApplication::setQuitOnLastWindowClosed(false);
        qly::AboutForm about;
        about.exec();
        std::printf("about closed\n");
        return 0;
    }
    if (mode == QLatin1String("options")) {
        qly::OptionsForm options;
        options.show();
        const auto* onTop = options.findChild<QCheckBox*>(QStringLiteral("cbAlwaysOnTop"));
        std::printf("platform %s\nalways on top %s|%s\n",
                    qPrintable(QGuiApplication::platformName()),
                    onTop->isEnabled() ? "available" : "unavailable", qPrintable(onTop->toolTip()));
        std::fflush(stdout);
        return QApplication::exec();
    }
    if (mode == QLatin1String("help") && args.size() == 4) {
        if (!qly::HelpViewer::showTopic(args[2], args[3]))
            return 3;
        return QApplication::exec();
    }
    std::fprintf(stderr, "usage: %s about | help <chm> <topic> | options | launcher-script\n",
                 argv[0]);
    return 2;
}
