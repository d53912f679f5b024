#include "mainwindow/recoverykeeper.h"

#include "dialogs/errorbox.h"
#include "model/pageletters.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>

#include <limits>

namespace qly {

RecoveryKeeper::RecoveryKeeper(QTextEdit* editor, const QString& settingsFolder, QObject* parent)
    : QObject(parent), m_editor(editor), m_store(settingsFolder),
      m_userStore(RecoveryStore::forUser(settingsFolder)), m_folderLock(settingsFolder),
      m_pieces(editor->document()) {
    m_idle.setSingleShot(true);
    m_idle.setInterval(IdleMs);
    m_longest.setSingleShot(true);
    m_longest.setInterval(LongestMs);
    m_slice.setSingleShot(true);
    m_slice.setInterval(0); // after the events waiting, a key press's among them
    m_writer.setMaxThreadCount(1);
    m_writer.setExpiryTimeout(-1);
    connect(&m_idle, &QTimer::timeout, this, &RecoveryKeeper::copyDue);
    connect(&m_longest, &QTimer::timeout, this, &RecoveryKeeper::copyDue);
    connect(&m_slice, &QTimer::timeout, this, &RecoveryKeeper::convertSlice);
    connect(editor->document(), &QTextDocument::contentsChanged, this,
            &RecoveryKeeper::contentsChanged);
}

void RecoveryKeeper::pageLoaded(int index) {
    m_index = index;
    m_edited = false;
    m_copyDue = false;
    m_idle.stop();
    m_longest.stop();
    m_slice.stop();
    m_pieces.stop();
}

void RecoveryKeeper::pageSaved() {
    m_edited = false;
    m_copyDue = false;
    m_idle.stop();
    m_longest.stop();
    m_slice.stop();
    m_pieces.stop(); // the page is left or the program ends, mostly: its memory goes
    if (m_index >= 0 && !m_unoffered.contains(m_index))
        m_writer.start([store = &m_store, user = &m_userStore, index = m_index] {
            store->remove(index);
            user->remove(index);
        });
}

void RecoveryKeeper::keepNow() {
    if (m_index < 0 || !m_edited)
        return;
    m_pieces.start();
    m_pieces.convert(std::numeric_limits<qint64>::max());
    writeCopy();
    waitForWrites();
}

void RecoveryKeeper::contentsChanged() {
    if (m_index < 0 || m_editor->isReadOnly())
        return;
    m_edited = true;
    m_idle.start();
    if (!m_longest.isActive())
        m_longest.start();
    // Once a copy was due, the page is kept converted ahead, so that the next copy finds
    // little left to convert. Not before: a page being filled in steps changes too, and a
    // page left soon after a few keys never needs converting.
    if (m_pieces.started() && !m_slice.isActive())
        m_slice.start();
}

void RecoveryKeeper::copyDue() {
    m_idle.stop();
    m_longest.stop();
    m_copyDue = true;
    m_pieces.start();
    convertSlice();
}

void RecoveryKeeper::convertSlice() {
    if (!m_pieces.convert(SliceNs)) {
        if (m_pieces.started())
            m_slice.start();
        return;
    }
    if (m_copyDue)
        writeCopy();
}

void RecoveryKeeper::writeCopy() {
    m_idle.stop();
    m_longest.stop();
    m_copyDue = false;
    // Silent on failure: the page file is the user's, and it is never touched here.
    m_writer.start(
        [store = &m_store, user = &m_userStore, index = m_index, pieces = m_pieces.pieces()] {
            const Document document = PagePieces::page(pieces);
            if (store->write(index, document))
                user->remove(index);
            else
                user->write(index, document);
        });
}

void RecoveryKeeper::offerPending(QWidget* parent, const QString& pageFolder,
                                  const QList<int>& unsavedAtClose,
                                  const std::function<void(int, const Document&, bool)>& restore) {
    if (!m_folderLock.held()) {
        // A live session's copies: never offered, never removed.
        for (const RecoveryStore* store : {&m_store, &m_userStore})
            for (const RecoveryStore::Pending& copy : store->pending(pageFolder))
                m_unoffered.append(copy.index);
        return;
    }
    for (const RecoveryStore* store : {&m_store, &m_userStore}) {
        for (const RecoveryStore::Pending& copy : store->pending(pageFolder)) {
            // A signal during the boxes ends the program: no further box holds it.
            if (keepingReportsForLater())
                return;
            const QString written = QLocale().toString(copy.written, QLocale::ShortFormat);
            QString text =
                unsavedAtClose.contains(copy.index)
                    ? QStringLiteral("Page %1 could not be saved when %2 closed. Its changes "
                                     "from %3 were kept aside.")
                          .arg(pageLetter(copy.index), QApplication::applicationName(), written)
                    : QStringLiteral("%1 was not closed properly. Page %2 holds changes from "
                                     "%3 that were not saved.")
                          .arg(QApplication::applicationName(), pageLetter(copy.index), written);
            if (copy.pageChangedSince)
                text += QStringLiteral(" The page file has changed since; Restore keeps it as it "
                                       "is now in the backup folder first.");
            if (m_folderLock.otherUser())
                text += QStringLiteral(" Another user may be using this folder.");
            QMessageBox box(QMessageBox::Question, QApplication::applicationName(),
                            text + QStringLiteral(" Restore them?"), QMessageBox::NoButton, parent);
            box.setObjectName(QStringLiteral("RecoveryBox"));
            qInfo("%s", qPrintable(box.text()));
            QPushButton* restoreButton =
                box.addButton(QStringLiteral("&Restore"), QMessageBox::AcceptRole);
            QPushButton* discardButton =
                box.addButton(QStringLiteral("&Discard"), QMessageBox::DestructiveRole);
            box.setDefaultButton(restoreButton);
            box.exec();
            // A box closed without an answer keeps the copy for the next start.
            waitForWrites();
            if (box.clickedButton() == restoreButton)
                restore(copy.index, store->read(copy.index), copy.pageChangedSince);
            else if (box.clickedButton() == discardButton)
                store->remove(copy.index);
        }
    }
}

} // namespace qly
