// The page history window as the main window runs it, and the marks and notice of conflict
// copies. Runs on the offscreen platform.
#include "history/copynotice.h"
#include "history/historyform.h"
#include "mainwindow/mainform.h"
#include "mainwindow/mainmenu.h"
#include "mainwindow/titlebar.h"
#include "support/mainwindowfixture.h"
#include "support/modaldialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

using namespace qly;

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {
QByteArray rtfPage(const QString& text) {
    return "{\\rtf1\\ansi " + text.toUtf8() + "\\par}";
}

class PageHistory : public qlytest::MainWindowTest {
protected:
    // A page file (or copy) with its text, written `age` seconds ago.
    void writeCopy(const QString& name, const QString& text, int age) {
        QDir().mkpath(QFileInfo(folder().path(name)).path());
        folder().write(name, rtfPage(text));
        const time_t t = time(nullptr) - age;
        const utimbuf times{t, t};
        ::utime(QFile::encodeName(folder().path(name)).constData(), &times);
    }
    std::unique_ptr<MainForm> startOnPage(int page) {
        return startMainWindow(QStringLiteral("[Main]\nActivePage=%1\n").arg(page).toUtf8());
    }
    // Opens the history from the menu and runs act on it once its list is filled.
    static void inHistory(MainForm& main, const std::function<void(HistoryForm&)>& act) {
        const bool ran = qlytest::actOnModal(
            HistoryForm::staticMetaObject, [&] { main.mainMenu()->noteHistoryItem()->trigger(); },
            [&](QWidget& w) {
                auto& form = static_cast<HistoryForm&>(w);
                EXPECT_TRUE(QTest::qWaitFor([&] { return !form.copies().isEmpty(); }, 20000));
                act(form);
                form.reject();
            });
        EXPECT_TRUE(ran);
    }
    static QStringList column(const HistoryForm& form, int c) {
        QStringList texts;
        for (int i = 0; i < form.copyList()->topLevelItemCount(); ++i)
            texts << form.copyList()->topLevelItem(i)->text(c);
        return texts;
    }
    static void choose(HistoryForm& form, int row) {
        form.copyList()->setCurrentItem(form.copyList()->topLevelItem(row));
        const QString path = form.copies()[row].path;
        EXPECT_TRUE(QTest::qWaitFor([&] { return form.previewedPath() == path; }, 20000));
    }
    static QString previewText(const HistoryForm& form) {
        return form.preview()->document()->toPlainText().trimmed();
    }
};

// Answers the next question box with Yes.
void answerYes() {
    QTimer::singleShot(50, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Yes)->click();
        else
            answerYes();
    });
}
} // namespace

TEST_F(PageHistory, ListsEveryCopyNewestFirstAndRestoresOneUndoably) {
    writeCopy("rtf/C.rtf", "Shopping at home", 1000);
    writeCopy("backup/C.1.rtf", "Shopping older", 2000);
    writeCopy("backup/C.conflict-20261210-101010.rtf", "Shopping from an editor", 1500);
    writeCopy("rtf/C.sync-conflict-20261210-101010-LAPTOP7.rtf", "Shopping on the laptop", 500);
    writeCopy("rtf/C (conflicted copy 2026-12-10 101010).rtf", "Shopping in the cloud", 3000);
    writeCopy("rtf/C (Anna's conflicted copy 2026-12-10).rtf", "Shopping in the box", 4000);
    auto main = startOnPage(2);
    inHistory(*main, [&](HistoryForm& form) {
        EXPECT_EQ(form.windowTitle(), "Page history");
        EXPECT_EQ(column(form, 3), QStringList({"Shopping at home", "Shopping on the laptop",
                                                "Shopping from an editor", "Shopping older",
                                                "Shopping in the cloud", "Shopping in the box"}));
        EXPECT_EQ(
            column(form, 0),
            QStringList({"Page now", "Syncthing conflict copy (LAPTOP7)", "Conflict copy",
                         "Version 1", "Nextcloud conflict copy", "Dropbox conflict copy (Anna)"}));
        // The newest copy is chosen and previewed as the editor shows a page.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form.previewedPath().isEmpty(); }, 20000));
        EXPECT_EQ(previewText(form), "Shopping on the laptop");
        EXPECT_TRUE(form.preview()->isReadOnly());
        EXPECT_TRUE(form.deleteButton()->isEnabled());
        choose(form, 3);
        EXPECT_FALSE(form.deleteButton()->isEnabled()); // versions rotate; they are not deleted
        choose(form, 0);
        EXPECT_FALSE(form.restoreButton()->isEnabled());

        choose(form, 1);
        QSignalSpy listed(&form, &HistoryForm::listed);
        form.restoreButton()->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !listed.isEmpty(); }, 20000));
        EXPECT_EQ(main->editor()->toPlainText(), "Shopping on the laptop");
        EXPECT_EQ(folder().read("rtf/C.rtf"), rtfPage("Shopping on the laptop"));
        // The page before the restore is the newest version (listed by the time of its text):
        // restoring it undoes the restore.
        int newest = -1;
        for (int i = 0; i < form.copies().size(); ++i)
            if (form.copies()[i].version == 1)
                newest = i;
        ASSERT_GE(newest, 0);
        EXPECT_EQ(form.copies()[newest].firstLine, "Shopping at home");
        choose(form, newest);
        listed.clear();
        form.restoreButton()->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !listed.isEmpty(); }, 20000));
        EXPECT_EQ(main->editor()->toPlainText(), "Shopping at home");
        // The sync tool's copy is still there until the user deletes it.
        EXPECT_TRUE(
            QFile::exists(folder().path("rtf/C.sync-conflict-20261210-101010-LAPTOP7.rtf")));
    });
}

TEST_F(PageHistory, ComparesWordByWordAndDeletesConflictCopiesAfterAQuestion) {
    writeCopy("rtf/B.rtf", "Buy milk and bread today", 100);
    writeCopy("rtf/B.sync-conflict-20261210-101010-LAPTOP7.rtf", "Buy oat milk and bread", 50);
    auto main = startOnPage(1);
    inHistory(*main, [&](HistoryForm& form) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form.previewedPath().isEmpty(); }, 20000));
        QSignalSpy shown(&form, &HistoryForm::previewShown);
        QTest::keyClick(&form, Qt::Key_M, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !shown.isEmpty(); }, 20000));
        EXPECT_TRUE(form.comparing());
        EXPECT_TRUE(form.legend()->isVisible());
        QStringList added, removed;
        for (QTextBlock b = form.preview()->document()->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                if (f.fontUnderline())
                    added << it.fragment().text();
                if (f.fontStrikeOut())
                    removed << it.fragment().text();
            }
        EXPECT_EQ(added, QStringList({"oat "}));
        EXPECT_EQ(removed, QStringList({" today"}));
        EXPECT_EQ(form.preview()->accessibleName(), "Comparison with the page now");

        // Delete asks first; No keeps the copy, Yes removes it.
        QTimer::singleShot(50, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->button(QMessageBox::No)->click();
        });
        form.deleteClicked();
        EXPECT_EQ(form.copies().size(), 2);
        QSignalSpy listed(&form, &HistoryForm::listed);
        answerYes();
        QTest::keyClick(form.copyList(), Qt::Key_Delete);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !listed.isEmpty(); }, 20000));
        EXPECT_EQ(form.copies().size(), 1);
        EXPECT_FALSE(
            QFile::exists(folder().path("rtf/B.sync-conflict-20261210-101010-LAPTOP7.rtf")));
    });
    EXPECT_EQ(folder().read("rtf/B.rtf"), rtfPage("Buy milk and bread today"));
}

TEST_F(PageHistory, MarksPagesWithConflictCopiesAndNamesNewOnesInANotice) {
    writeCopy("backup/D.conflict-20261210-101010.rtf", "kept before", 100);
    auto main = startOnPage(0);
    // Copies that were there at the start are named once the window is up.
    EXPECT_TRUE(QTest::qWaitFor([&] { return main->copyNotice()->isVisible(); }, 20000));
    EXPECT_EQ(main->conflictCopyCount(3), 1);
    EXPECT_TRUE(main->copyNotice()->textLabel()->text().contains("Page D"));
    main->copyNotice()->closeButton()->click();

    // A sync tool's copy arriving while the program runs.
    writeCopy("rtf/A.sync-conflict-20261210-101010-LAPTOP7.rtf", "theirs", 10);
    EXPECT_TRUE(QTest::qWaitFor([&] { return main->copyNotice()->isVisible(); }, 20000));
    EXPECT_TRUE(main->copyNotice()->textLabel()->text().contains("Page A"));
    EXPECT_TRUE(main->copyNotice()->textLabel()->text().contains("Syncthing"));
    EXPECT_EQ(main->conflictCopyCount(0), 1);
    QComboBox* notes = main->titleBar()->cbNotes();
    notes->showPopup();
    EXPECT_TRUE(notes->itemData(0, Qt::AccessibleTextRole).toString().contains("conflict copy"));
    EXPECT_TRUE(notes->itemData(0, Qt::FontRole).value<QFont>().bold());
    EXPECT_FALSE(notes->itemData(1, Qt::AccessibleTextRole).toString().contains("conflict"));
    notes->hidePopup();
    // The sync tool's copy is no page: page A shows its own file.
    EXPECT_EQ(main->editor()->toPlainText(), "");

    // History from the notice opens the page it names.
    bool opened = false;
    qlytest::actOnModal(
        HistoryForm::staticMetaObject, [&] { main->copyNotice()->historyButton()->click(); },
        [&](QWidget& w) {
            opened = true;
            w.close();
        });
    EXPECT_TRUE(opened);
}
