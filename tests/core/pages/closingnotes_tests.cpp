#include "pages/closingnotes.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace qly;

TEST(ClosingNotes, MessagesAndUnsavedPagesComeBackOnceInOrder) {
    qlytest::TempDir dir;
    const ClosingNotes notes(dir.path(QStringLiteral("recovery")));
    EXPECT_TRUE(notes.add(QStringLiteral("Another program changed page A.\nKept in C:\\x")));
    EXPECT_TRUE(notes.addUnsavedPage(3));
    EXPECT_TRUE(notes.add(QStringLiteral("Cannot save page D")));
    EXPECT_TRUE(notes.addUnsavedPage(3));
    const ClosingNotes::Taken taken = notes.take();
    EXPECT_EQ(taken.messages, QStringList({QStringLiteral("Another program changed page A.\n"
                                                          "Kept in C:\\x"),
                                           QStringLiteral("Cannot save page D")}));
    EXPECT_EQ(taken.unsavedPages, QList<int>{3});
    EXPECT_TRUE(notes.take().isEmpty());
    EXPECT_FALSE(QFile::exists(dir.path(QStringLiteral("recovery/closing-notes.txt"))));
}

TEST(ClosingNotes, AFolderThatCannotBeWrittenOrALinkIsRefused) {
    qlytest::TempDir dir;
    QDir().mkpath(dir.path(QStringLiteral("target")));
    QDir().mkpath(dir.path(QStringLiteral("r")));
    ASSERT_TRUE(QFile::link(dir.path(QStringLiteral("target")), dir.path(QStringLiteral("link"))));
    EXPECT_FALSE(ClosingNotes(dir.path(QStringLiteral("link"))).add(QStringLiteral("m")));
    dir.write(QStringLiteral("file"), "x");
    EXPECT_FALSE(ClosingNotes(dir.path(QStringLiteral("file"))).add(QStringLiteral("m")));
    // A hand-made file with lines of no meaning gives what it holds that has one.
    dir.write(QStringLiteral("r/closing-notes.txt"), "junk\nunsaved ZZ\nunsaved B\nmessage ok\\");
    const ClosingNotes::Taken taken = ClosingNotes(dir.path(QStringLiteral("r"))).take();
    EXPECT_EQ(taken.unsavedPages, QList<int>{1});
    EXPECT_EQ(taken.messages, QStringList{QStringLiteral("ok\\")});
}
