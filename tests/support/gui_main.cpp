// The main of GoogleTest suites that need widgets: one QApplication for the whole run.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillery"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
