#include "mainwindow/menustyle.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionMenuItem>
#include <qdrawutil.h>

namespace qly {

namespace {

constexpr int TextGap = 4;      // between the picture column and the caption
constexpr int ArrowColumn = 14; // room for the submenu arrow at the right
constexpr int ShortcutGap = 16; // between the longest caption and the shortcuts

void drawCheckMark(QPainter* p, QPoint centre, const QColor& color) {
    // A 7 x 7 tick, two pixels thick like the system's own.
    const QPoint o = centre - QPoint(3, 3);
    const int tick[][2] = {{0, 2}, {1, 3}, {2, 4}, {3, 3}, {4, 2}, {5, 1}, {6, 0}};
    for (const auto& t : tick)
        p->fillRect(QRect(o.x() + t[0], o.y() + t[1], 1, 3), color);
}

void drawBullet(QPainter* p, QPoint centre, const QColor& color) {
    p->save();
    p->setRenderHint(QPainter::Antialiasing, true);
    p->setPen(Qt::NoPen);
    p->setBrush(color);
    p->drawEllipse(QPointF(centre) + QPointF(0.5, 0.5), 3.0, 3.0);
    p->restore();
}

void drawEmbossed(QPainter* p, const QRect& r, int flags, const QString& text,
                  const QPalette& pal) {
    p->setPen(pal.color(QPalette::Light));
    p->drawText(r.translated(1, 1), flags, text);
    p->setPen(pal.color(QPalette::Dark));
    p->drawText(r, flags, text);
}

} // namespace

MenuStyle::MenuStyle() : QProxyStyle() {}

int MenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                           const QWidget* widget) const {
    switch (metric) {
    case PM_MenuPanelWidth:
        return FrameWidth;
    case PM_MenuHMargin:
    case PM_MenuVMargin:
        return 0;
    case PM_SmallIconSize:
        return 16;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

int MenuStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                         QStyleHintReturn* returnData) const {
    if (hint == SH_Menu_AllowActiveAndDisabled)
        return 0;
    if (hint == SH_UnderlineShortcut)
        return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QSize MenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                  const QWidget* widget) const {
    if (type != CT_MenuItem)
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!item)
        return size;
    if (item->menuItemType == QStyleOptionMenuItem::Separator)
        return QSize(size.width(), 9);
    const int height = std::max(item->fontMetrics.height() + 5, ImageColumn + 1);
    const int width = ImageColumn + TextGap + size.width() + ShortcutGap + ArrowColumn;
    return QSize(width, height);
}

void MenuStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                              QPainter* painter, const QWidget* widget) const {
    switch (element) {
    case PE_PanelMenu:
        painter->fillRect(option->rect, option->palette.color(QPalette::Window));
        return;
    case PE_FrameMenu:
        qDrawWinPanel(painter, option->rect, option->palette, false);
        return;
    default:
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

// The picture column of an item: its picture, or its check mark on a sunken box.
static void drawPicture(QPainter* painter, const QStyleOptionMenuItem& item, const QRect& box) {
    const bool enabled = item.state & QStyle::State_Enabled;
    const QPalette& pal = item.palette;
    if (!item.icon.isNull()) {
        const QPixmap pm = item.icon.pixmap(QSize(16, 16), painter->device()->devicePixelRatio(),
                                            enabled ? QIcon::Normal : QIcon::Disabled);
        painter->drawPixmap(box.topLeft(), pm);
        return;
    }
    if (!item.checked)
        return;
    qDrawShadePanel(painter, box, pal, true, 1, &pal.brush(QPalette::Light));
    const QColor mark = enabled ? QColor(Qt::black) : pal.color(QPalette::Dark);
    if (item.checkType == QStyleOptionMenuItem::Exclusive)
        drawBullet(painter, box.center(), mark);
    else
        drawCheckMark(painter, box.center(), mark);
}

void MenuStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                            const QWidget* widget) const {
    if (element == CE_MenuEmptyArea) {
        painter->fillRect(option->rect, option->palette.color(QPalette::Window));
        return;
    }
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != CE_MenuItem || !item) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    const QPalette& pal = item->palette;
    const QRect r = item->rect;
    painter->save();
    if (item->menuItemType == QStyleOptionMenuItem::Separator) {
        painter->fillRect(r, pal.color(QPalette::Window));
        const int y = r.top() + r.height() / 2 - 1;
        painter->fillRect(QRect(r.left() + 1, y, r.width() - 2, 1), pal.color(QPalette::Dark));
        painter->fillRect(QRect(r.left() + 1, y + 1, r.width() - 2, 1), pal.color(QPalette::Light));
        painter->restore();
        return;
    }

    const bool enabled = item->state & State_Enabled;
    const bool selected = enabled && (item->state & State_Selected);
    painter->fillRect(r, pal.color(selected ? QPalette::Highlight : QPalette::Window));
    const QColor textColor = pal.color(selected ? QPalette::HighlightedText : QPalette::Text);

    const QRect column(r.left(), r.top(), ImageColumn, r.height());
    drawPicture(painter, *item, QRect(column.center() - QPoint(7, 7), QSize(16, 16)));

    // Caption and shortcut.
    QString caption = item->text;
    QString shortcut;
    if (const int tab = caption.indexOf(QLatin1Char('\t')); tab >= 0) {
        shortcut = caption.mid(tab + 1);
        caption.truncate(tab);
    }
    painter->setFont(item->font);
    const int flags = Qt::AlignVCenter | Qt::TextShowMnemonic | Qt::TextSingleLine;
    const QRect textRect(column.right() + 1 + TextGap, r.top(),
                         r.width() - ImageColumn - TextGap - ArrowColumn, r.height());
    const QRect shortcutRect(r.right() - ArrowColumn - item->reservedShortcutWidth, r.top(),
                             item->reservedShortcutWidth, r.height());
    if (enabled) {
        painter->setPen(textColor);
        painter->drawText(textRect, flags | Qt::AlignLeft, caption);
        if (!shortcut.isEmpty())
            painter->drawText(shortcutRect, flags | Qt::AlignLeft, shortcut);
    } else {
        drawEmbossed(painter, textRect, flags | Qt::AlignLeft, caption, pal);
        if (!shortcut.isEmpty())
            drawEmbossed(painter, shortcutRect, flags | Qt::AlignLeft, shortcut, pal);
    }

    if (item->menuItemType == QStyleOptionMenuItem::SubMenu) {
        // A small black triangle pointing right.
        const int x = r.right() - ArrowColumn + 5;
        const int y = r.top() + r.height() / 2;
        for (int i = 0; i < 4; ++i)
            painter->fillRect(QRect(x + i, y - 3 + i, 1, 7 - 2 * i), textColor);
    }
    painter->restore();
}

} // namespace qly
