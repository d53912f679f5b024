// The main of GoogleTest suites that need widgets: one QApplication for the whole run.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Widget suites draw offscreen unless told otherwise: they must run (and list their
    // tests at build time) without a display, and never open windows on a developer's desktop.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillery"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
