#pragma once

#include "support/tempdir.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <memory>

namespace qly {
class MainForm;
}

namespace qlytest {

// A test whose main window lives in a program folder of its own: for the test's duration the
// program file is folder()/qly, so the settings and the pages are read and written there.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes settings to qly.ini unless empty, then makes, shows and activates the main window,
    // and waits for what follows its first paint.
    std::unique_ptr<qly::MainForm> startMainWindow(const QByteArray& settings = QByteArray());
    const TempDir& folder() const { return m_dir; }

private:
    TempDir m_dir;
};

} // namespace qlytest
