#include "art/pagestackpicture.h"
#include "dialogs/errorbox.h"
#include "mainwindow/mainform.h"
#include "mobile/mobilecopy.h"
#include "mobile/runtime.h"
#include "platform/displaychoice.h"
#include "platform/singleinstance.h"
#include "platform/termination.h"
#include "settings/programpaths.h"

#include <QApplication>
#include <QDir>
#include <QPointer>

int main(int argc, char* argv[]) {
    qly::preferX11UnderWayland();
    qly::usePrivateRuntime(argc > 0 ? QString::fromLocal8Bit(argv[0]) : QString());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillery"));
    // Taskbars and docks match the windows to the launcher by this name, and show its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("quillery"));
    QApplication::setQuitOnLastWindowClosed(false);

    QPointer<qly::MainForm> mainForm;
    qly::SingleInstance instance;
    if (instance.activateRunningOrListen(qly::programDir(), [&mainForm] {
            if (mainForm)
                mainForm->bringForward();
        }))
        return 0;

    mainForm = new qly::MainForm;
    // A copy on a stick beside the home one: the title (and so the taskbar) says whose notes.
    if (const QString place = qly::notesPlaceName(qly::programDir(), QDir::homePath());
        !place.isEmpty())
        mainForm->setWindowTitle(QApplication::applicationName() + QStringLiteral(" - ") + place);
    // The icon (for the taskbar and the window list) is drawn after the first picture.
    QObject::connect(mainForm, &qly::MainForm::firstPainted, &app, &qly::useProgramIcon);
    QObject::connect(mainForm, &qly::MainForm::closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    // Logout, shutdown and termination signals shut down as a close does.
    // A Go Mobile copy is stopped first (it ends within one block): nothing saves while it
    // reads the same files.
    qly::installTerminationHandler([&mainForm] {
        qly::stopMobileCopy();
        if (mainForm)
            mainForm->close();
    });
    // The session manager asks for a save at logout and at checkpoints; a cancelled logout
    // leaves the program running, so this is the repeatable save, not the shut-down.
    QObject::connect(&app, &QApplication::commitDataRequest, [&mainForm] {
        qly::stopMobileCopy();
        if (mainForm)
            mainForm->saveSession();
    });
    // A display connection that breaks ends the process from inside the toolkit: the page
    // and the settings are still in memory, and are saved on the way out.
    qly::installExitSave(mainForm, [&mainForm] {
        qly::reportToConsoleOnly();
        qly::stopMobileCopy();
        mainForm->keepReportsForNextStart();
        mainForm->saveSession();
    });
    mainForm->show();
    const int status = QApplication::exec();
    delete mainForm.data();
    return status;
}
