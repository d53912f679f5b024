#include "mainwindow/mainmenu.h"

#include "art/toolbarimages.h"
#include "mainwindow/menustyle.h"
#include "model/document.h"
#include "window/titlemath.h"

#include <QActionGroup>
#include <QApplication>
#include <QPainter>

namespace qly {

namespace {
QColor toColor(Rgb c) {
    return QColor(c.red, c.green, c.blue);
}
} // namespace

MainMenu::MainMenu(QWidget* parent) : QMenu(parent), m_style(std::make_unique<MenuStyle>()) {
    setObjectName(QStringLiteral("rxMainMenu"));
    setStyle(m_style.get());
    // The banner's margin, plus one pixel between it and the items.
    setContentsMargins(BannerWidth + 1, 0, 0, 0);

    m_noteMenu = addSubmenu("NoteItem", tr("&Note"));
    m_noteFindItem =
        addItem(m_noteMenu, "NoteFindItem", tr("&Find..."), 11, QKeySequence(Qt::CTRL | Qt::Key_F));
    m_noteFindNextItem =
        addItem(m_noteMenu, "NoteFindNextItem", tr("Find &Next"), 0, QKeySequence(Qt::Key_F3));
    m_noteFindPreviousItem = addItem(m_noteMenu, "NoteFindPreviousItem", tr("Find Pre&vious"), 0,
                                     QKeySequence(Qt::SHIFT | Qt::Key_F3));
    m_notePrintItem = addItem(m_noteMenu, "NotePrintItem", tr("&Print..."), 12,
                              QKeySequence(Qt::CTRL | Qt::Key_P));
    m_noteGoMobileItem = addItem(m_noteMenu, "NoteGoMobileItem", tr("&Go Mobile..."), 14);
    m_noteHistoryItem = addItem(m_noteMenu, "NoteHistoryItem", tr("&History..."), 0,
                                QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
    m_noteMenu->addSeparator()->setObjectName(QStringLiteral("N3"));
    m_exitItem = addItem(m_noteMenu, "Exit1", tr("E&xit"));

    m_editMenu = addSubmenu("EditItem", tr("&Edit"));
    m_editUndoItem =
        addItem(m_editMenu, "EditUndoItem", tr("&Undo"), 0, QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_editRedoItem =
        addItem(m_editMenu, "EditRedoItem", tr("&Redo"), 0, QKeySequence(Qt::CTRL | Qt::Key_Y));
    // Both keys redo; the menu shows the first.
    m_editRedoItem->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    m_editRedoItem->setEnabled(false);
    m_editMenu->addSeparator()->setObjectName(QStringLiteral("N7"));
    m_editCutItem =
        addItem(m_editMenu, "EditCutItem", tr("Cu&t"), 0, QKeySequence(Qt::CTRL | Qt::Key_X));
    m_editCopyItem =
        addItem(m_editMenu, "EditCopyItem", tr("&Copy"), 15, QKeySequence(Qt::CTRL | Qt::Key_C));
    m_editPasteItem =
        addItem(m_editMenu, "EditPasteItem", tr("&Paste"), 16, QKeySequence(Qt::CTRL | Qt::Key_V));
    m_editSelectAllItem = addItem(m_editMenu, "EditSelectAllItem", tr("&SelectAll"));
    m_editMenu->addSeparator()->setObjectName(QStringLiteral("N8"));
    m_editReplaceItem = addItem(m_editMenu, "EditReplaceItem", tr("Rep&lace..."), 0,
                                QKeySequence(Qt::CTRL | Qt::Key_H));

    m_formatMenu = addSubmenu("FormatItem", tr("&Format"));
    m_formatFontItem = addItem(m_formatMenu, "FormatFontItem", tr("&Font..."), 17);
    m_formatColorItem = addItem(m_formatMenu, "FormatColorItem", tr("&Color..."));
    m_formatMenu->addSeparator()->setObjectName(QStringLiteral("N4"));
    // The alignment items carry the alignment code as their tag, which is also their picture.
    m_alignGroup = new QActionGroup(this);
    m_alignGroup->setExclusive(true);
    m_formatAlignLeftItem =
        addItem(m_formatMenu, "FormatAlignLeftItem", tr("Align &Left"), int(Alignment::Left));
    m_formatAlignCenterItem =
        addItem(m_formatMenu, "FormatAlignCenterItem", tr("Align Ce&nter"), int(Alignment::Center));
    m_formatAlignRightItem =
        addItem(m_formatMenu, "FormatAlignRightItem", tr("Align &Right"), int(Alignment::Right));
    for (QAction* a : {m_formatAlignLeftItem, m_formatAlignCenterItem, m_formatAlignRightItem}) {
        a->setCheckable(true);
        m_alignGroup->addAction(a);
    }
    // Lists: their keys act through the editor, which holds these items too.
    m_formatMenu->addSeparator()->setObjectName(QStringLiteral("N8"));
    m_formatBulletsItem = addItem(m_formatMenu, "FormatBulletsItem", tr("&Bullets"), 0,
                                  QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_8));
    m_formatNumberingItem = addItem(m_formatMenu, "FormatNumberingItem", tr("N&umbering"), 0,
                                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_7));
    m_formatChecklistItem = addItem(m_formatMenu, "FormatChecklistItem", tr("Chec&klist"), 0,
                                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_9));
    m_formatIndentItem = addItem(m_formatMenu, "FormatIndentItem", tr("&Increase Indent"));
    m_formatOutdentItem = addItem(m_formatMenu, "FormatOutdentItem", tr("&Decrease Indent"));

    m_optionsItem = addItem(this, "Options1", tr("&Options..."));
    m_helpItem = addItem(this, "HelpItem", tr("&Help"));
    addSeparator()->setObjectName(QStringLiteral("N5"));
    m_aboutItem = addItem(this, "AboutItem", tr("&About..."));

    assignImages();
}

MainMenu::~MainMenu() = default;

QAction* MainMenu::item(const QString& name) const {
    return findChild<QAction*>(name);
}

QAction* MainMenu::alignItem(int code) const {
    switch (code) {
    case int(Alignment::Left):
        return m_formatAlignLeftItem;
    case int(Alignment::Right):
        return m_formatAlignRightItem;
    case int(Alignment::Center):
        return m_formatAlignCenterItem;
    default:
        return nullptr;
    }
}

QAction* MainMenu::addItem(QMenu* menu, const char* name, const QString& caption, int tag,
                           const QKeySequence& shortcut) {
    auto* a = new QAction(caption, this);
    a->setObjectName(QLatin1String(name));
    a->setData(tag);
    if (!shortcut.isEmpty()) {
        // Shown beside the item; the keys themselves act through the editor.
        a->setShortcut(shortcut);
        a->setShortcutContext(Qt::WidgetShortcut);
    }
    menu->addAction(a);
    return a;
}

QMenu* MainMenu::addSubmenu(const char* name, const QString& caption) {
    auto* menu = new QMenu(caption, this);
    menu->setObjectName(QLatin1String(name));
    menu->setStyle(m_style.get());
    menu->menuAction()->setObjectName(QLatin1String(name));
    menu->menuAction()->setData(0);
    addMenu(menu);
    return menu;
}

void MainMenu::assignImages() {
    for (QAction* a : findChildren<QAction*>()) {
        if (a->isSeparator())
            continue;
        int index = -1;
        imageIndexOf(a, index);
        a->setIcon(ToolbarImages::icon(index));
    }
}

void MainMenu::imageIndexOf(const QAction* item, int& imageIndex) {
    imageIndex = menuImageIndex(item->data().toInt(), imageIndex);
}

QRect MainMenu::marginRect() const {
    const int fw = MenuStyle::FrameWidth;
    return QRect(fw, fw, BannerWidth, height() - 2 * fw);
}

void MainMenu::paintEvent(QPaintEvent* event) {
    QMenu::paintEvent(event);
    QPainter p(this);
    rxMainMenuDrawMargin(p, marginRect());
}

void MainMenu::rxMainMenuDrawMargin(QPainter& painter, const QRect& rect) {
    const int left = rect.left();
    const int top = rect.top();
    const int right = rect.left() + rect.width(); // exclusive, as the strip's numbers go
    const int bottom = rect.top() + rect.height();
    painter.save();
    painter.setClipRect(rect);
    painter.setRenderHint(QPainter::Antialiasing, false);

    for (const GradientBand& band : gradientBands(top, bottom, BannerStart, BannerEnd))
        painter.fillRect(QRect(left, band.top, right - 4 - left + 1, band.bottom - band.top),
                         toColor(band.color));

    const QPalette pal = QApplication::palette();
    painter.fillRect(QRect(right - 2, top, 1, bottom - top), pal.color(QPalette::Dark));
    painter.fillRect(QRect(right - 1, top, 1, bottom - top), pal.color(QPalette::Light));

    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    font.setBold(true);
    font.setItalic(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    // The reference point is the start of the text's top edge; the text runs upwards with the
    // tops of its letters towards the left edge.
    painter.translate(left, bottom - 5);
    painter.rotate(-90);
    const QFontMetrics fm(font);
    painter.drawText(QPoint(0, fm.ascent()), QStringLiteral("Quillery"));
    painter.restore();
}

} // namespace qly
