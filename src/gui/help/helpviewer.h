#pragma once

#include "help/chmarchive.h"

#include <QDateTime>
#include <QWidget>

#include <memory>

class QTextBrowser;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;

namespace qly {

class HelpBrowser;
struct HelpContentsEntry;

// A help style sheet with its point sizes grown by `growth` (the desktop's font against the
// usual size); unchanged at 1 and below.
QString grownStyleSheet(const QString& css, qreal growth);

// The help window: the help file's table of contents beside the page it opens. Pages,
// pictures and style sheets are read straight out of the compiled help file, and links
// between pages work. There is one viewer for the whole program, shown again for each
// request; it is not modal and nobody waits for it.
class HelpViewer : public QWidget {
    Q_OBJECT
public:
    // Open a topic page ("HTML/qly5a40.htm") or the page the help file opens with. When the
    // help file cannot be read or has no such page, nothing is shown and false comes back.
    static bool showTopic(const QString& helpFile, const QString& topic);
    static bool showContents(const QString& helpFile);
    // The viewer if one has been shown, else null.
    static HelpViewer* existing();

    QTextBrowser* browser() const;
    QTreeWidget* contentsTree() const { return m_contents; }
    // The page shown, as a path inside the help file ("HTML/qly5a40.htm").
    QString currentTopic() const;

private:
    HelpViewer();
    static HelpViewer* instance();

    // The help file as the viewer holds it when it is open and unchanged, else read anew.
    static std::shared_ptr<ChmArchive> archiveFor(const QString& helpFile);
    // Shows the given help file's contents unless they are the ones already shown.
    void useFile(const std::shared_ptr<ChmArchive>& archive);
    bool open(const QString& topic);
    QString homeTopic() const;
    void buildContents();
    void addEntries(QTreeWidgetItem* parent, const QList<HelpContentsEntry>& entries);
    void contentsItemChosen(QTreeWidgetItem* item);
    void sourceChanged(const QUrl& url);
    void present();

    std::shared_ptr<ChmArchive> m_archive;
    QDateTime m_fileTime;
    qint64 m_fileSize = -1;
    QTreeWidget* m_contents = nullptr;
    HelpBrowser* m_browser = nullptr;
    QToolButton* m_btBack = nullptr;
    QToolButton* m_btForward = nullptr;
    QToolButton* m_btHome = nullptr;
    bool m_placed = false;
    bool m_syncing = false;
};

} // namespace qly
