#include "support/mainwindowfixture.h"

#include "mainwindow/mainform.h"
#include "settings/programpaths.h"

#include <QSignalSpy>
#include <QTest>

namespace qlytest {

void MainWindowTest::SetUp() {
    qly::setProgramPathForTesting(m_dir.path(QStringLiteral("qly")));
}

void MainWindowTest::TearDown() {
    qly::setProgramPathForTesting(QString());
}

std::unique_ptr<qly::MainForm> MainWindowTest::startMainWindow(const QByteArray& settings) {
    if (!settings.isEmpty())
        m_dir.write(QStringLiteral("qly.ini"), settings);
    auto form = std::make_unique<qly::MainForm>();
    QSignalSpy painted(form.get(), &qly::MainForm::firstPainted);
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    // The work that follows the first picture (the paste items among it) is done too.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !painted.isEmpty(); }));
    form->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    return form;
}

} // namespace qlytest
