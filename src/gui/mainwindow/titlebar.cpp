#include "mainwindow/titlebar.h"

#include "art/buttonpictures.h"
#include "dialogs/desktopfont.h"
#include "model/bgrcolor.h"
#include "model/contrast.h"
#include "window/titlemath.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QToolButton>

#include <algorithm>
#include <functional>

namespace qly {

namespace {
// A title button reached with Tab shows a dotted focus mark inside its edge: flat buttons
// draw none of their own. A click does not take the focus from the page.
class TitleButton : public QToolButton {
public:
    using QToolButton::QToolButton;

protected:
    void paintEvent(QPaintEvent* event) override {
        QToolButton::paintEvent(event);
        if (!hasFocus())
            return;
        // Black or white, whichever shows on the page colour behind the button.
        const int behind = bgrFromColor(parentWidget()->palette().color(QPalette::Window));
        QPainter p(this);
        p.setPen(QPen(colorFromBgr<QColor>(readableTextColor(behind)), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(1, 1, -2, -2));
    }
};

// The designed place of a title control, grown with the desktop's font.
QRect grownRect(int x, int y, int width, int height) {
    return QRect(grownPixels(x), grownPixels(y), grownPixels(width), grownPixels(height));
}

QToolButton* makeButton(QWidget* parent, const char* name, const QString& hint,
                        const QString& accessibleName, QRect geometry, ButtonPicture picture) {
    auto* b = new TitleButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    b->setAccessibleName(accessibleName);
    b->setIcon(buttonIcon(picture));
    b->setIconSize(buttonPictureSize(picture));
    b->setAutoRaise(true);
    b->setGeometry(geometry);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

// Styles such as Fusion open a combo box as a menu of every item around the current one,
// ignoring the number of visible items; this one keeps the drop-down list with its scroll bar.
class DropDownListStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// The list's entries show the pages' names (kept as their accessible text); the closed
// selector shows the letter, the entry's own text.
class PageNameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (const QString name = index.data(Qt::AccessibleTextRole).toString(); !name.isEmpty())
            option->text = name;
    }
};

// The page selector takes that style when its list first opens: a combo box given a style
// builds its list at once, which would cost the start-up a good part of its time.
class PageSelector : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> beforeList;
    void showPopup() override {
        if (!m_listStyle) {
            m_listStyle = new DropDownListStyle;
            m_listStyle->setParent(this);
            setStyle(m_listStyle);
            // A list built before, for the menu-like popup, has no scroll bar.
            view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            setItemDelegate(new PageNameDelegate(this));
        }
        if (beforeList)
            beforeList();
        QComboBox::showPopup();
        // As wide as the longest name needs, never narrower than the selector, on the screen.
        QWidget* popup = view()->window();
        int names = 0;
        for (int i = 0; i < count(); ++i)
            names = std::max(names, view()->fontMetrics().horizontalAdvance(
                                        itemData(i, Qt::AccessibleTextRole).toString()));
        // The text and the entry's margins, with what the list's frame, scroll bar and
        // container take beside its entries.
        const int wanted = names + 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 8 +
                           popup->width() - view()->viewport()->width();
        if (popup == window() || popup->width() >= wanted)
            return;
        QRect r = popup->geometry();
        r.setWidth(wanted);
        if (const QScreen* s = screen(); s && r.right() > s->availableGeometry().right())
            r.moveRight(s->availableGeometry().right());
        popup->setGeometry(r);
    }

protected:
    // The same dotted focus mark as the title buttons, inside the box's frame: the style's own
    // is a faint change of the frame's colour.
    void paintEvent(QPaintEvent* event) override {
        QComboBox::paintEvent(event);
        if (!hasFocus())
            return;
        QPainter p(this);
        p.setPen(QPen(palette().color(QPalette::ButtonText), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(2, 2, -3, -3));
    }

private:
    QStyle* m_listStyle = nullptr;
};

QWidget* makePanel(QWidget* parent, const char* name) {
    auto* w = new QWidget(parent);
    w->setObjectName(QLatin1String(name));
    w->setAutoFillBackground(true);
    // A press on an empty part of a panel does not reach the title bar, so it does not drag.
    w->setAttribute(Qt::WA_NoMousePropagation);
    return w;
}
} // namespace

TitleBar::TitleBar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("pnTitle"));
    setAutoFillBackground(true);
    setFrameShape(QFrame::NoFrame);

    m_pnNav = makePanel(this, "pnNav");
    m_pnNav->setFixedWidth(grownPixels(111));
    m_sbStart = makeButton(m_pnNav, "sbStart", tr("Main menu"), tr("Main menu"),
                           grownRect(0, 0, 21, 21), ButtonPicture::PageStack);
    m_sbStart->setAutoRaise(false);
    m_sbPrev = makeButton(m_pnNav, "sbPrev", tr("Previous"), tr("Previous page"),
                          grownRect(24, 2, 17, 17), ButtonPicture::Previous);
    auto* selector = new PageSelector(m_pnNav);
    selector->beforeList = [this] { emit pageListOpening(); };
    m_cbNotes = selector;
    m_cbNotes->setObjectName(QStringLiteral("cbNotes"));
    m_cbNotes->setToolTip(tr("List"));
    m_cbNotes->setMaxVisibleItems(9);
    m_cbNotes->setGeometry(grownRect(42, 0, 48, 21));
    m_cbNotes->setAccessibleName(tr("Page"));
    // On Linux a screen reader takes a combo box's name from the label it is the buddy of
    // (its own name is its value, the letter): a label that is never shown names it.
    auto* selectorLabel = new QLabel(tr("Page"), m_pnNav);
    selectorLabel->setObjectName(QStringLiteral("lbNotes"));
    selectorLabel->setBuddy(m_cbNotes);
    selectorLabel->hide();
    // A screen reader says a focused combo box by its label and role alone, without its
    // value: the label carries the letter too.
    connect(m_cbNotes, &QComboBox::currentTextChanged, selectorLabel,
            [selectorLabel](const QString& letter) {
                selectorLabel->setText(letter.isEmpty() ? tr("Page") : tr("Page %1").arg(letter));
            });
    m_cbNotes->setFocusPolicy(Qt::TabFocus);
    m_sbNext = makeButton(m_pnNav, "sbNext", tr("Next"), tr("Next page"), grownRect(92, 2, 17, 17),
                          ButtonPicture::Next);

    m_paintBox = new QWidget(this);
    m_paintBox->setObjectName(QStringLiteral("PaintBox1"));
    m_paintBox->installEventFilter(this);

    m_pnClose = makePanel(this, "pnClose");
    m_pnClose->setFixedWidth(grownPixels(41));
    m_sbMinimize = makeButton(m_pnClose, "sbMinimize", tr("Minimize"), tr("Minimize"),
                              grownRect(4, 2, 17, 17), ButtonPicture::Minimize);
    m_sbClose = makeButton(m_pnClose, "sbClose", tr("Close"), tr("Close"), grownRect(22, 2, 17, 17),
                           ButtonPicture::Close);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_pnNav);
    layout->addWidget(m_paintBox, 1);
    layout->addWidget(m_pnClose);
}

std::vector<QWidget*> TitleBar::titleButtons() const {
    return {m_sbStart, m_sbPrev, m_cbNotes, m_sbNext, m_sbMinimize, m_sbClose};
}

void TitleBar::setPageColor(const QColor& color) {
    for (QWidget* w : {static_cast<QWidget*>(this), m_pnClose, m_pnNav}) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, color);
        w->setPalette(pal);
    }
}

void TitleBar::setTitleButtonHeight(int height) {
    for (QWidget* w : titleButtons())
        w->resize(w->width(), height);
}

void TitleBar::mousePressEvent(QMouseEvent* event) {
    emit gripPressed(event->button(), event->globalPosition().toPoint());
    event->accept();
}

bool TitleBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_paintBox) {
        if (event->type() == QEvent::Paint) {
            paintTitle();
            return true;
        }
        if (event->type() == QEvent::MouseButtonPress ||
            event->type() == QEvent::MouseButtonDblClick) {
            auto* me = static_cast<QMouseEvent*>(event);
            emit gripPressed(me->button(), me->globalPosition().toPoint());
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void TitleBar::paintTitle() {
    QPainter p(m_paintBox);
    p.setRenderHint(QPainter::Antialiasing, false);
    for (const GripLine& line : gripLines(m_paintBox->width()))
        if (line.right > line.left)
            p.fillRect(QRect(line.left, line.y, line.right - line.left, 1), Qt::black);
}

} // namespace qly
