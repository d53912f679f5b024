#include "mainwindow/floatingbutton.h"

#include "art/pagestackpicture.h"
#include "window/placement.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolButton>

namespace qly {

int primaryScreenWidth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 1024;
}

int workAreaHeight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 768;
    const QRect area = screen->availableGeometry();
    return area.y() + area.height();
}

namespace {
// The grip: four raised ridges, centred.
class Grip : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const int ridgeWidth = 20;
        const int left = (width() - ridgeWidth) / 2;
        const int top = (height() - 4 * 3 + 1) / 2;
        for (int i = 0; i < 4; ++i) {
            const int y = top + 3 * i;
            p.setPen(palette().color(QPalette::Light));
            p.drawLine(left, y, left + ridgeWidth - 1, y);
            p.setPen(palette().color(QPalette::Dark));
            p.drawLine(left, y + 1, left + ridgeWidth - 1, y + 1);
        }
    }
};
} // namespace

namespace {
// Pixels an arrow key moves the button.
constexpr int KeyboardMoveStep = 10;
} // namespace

FloatingButton::FloatingButton(QMenu* popupMenu)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_popupMenu(popupMenu) {
    setObjectName(QStringLiteral("pnMin"));
    setWindowTitle(QGuiApplication::applicationDisplayName());
    setFixedSize(FloatingButtonWidth, FloatingButtonHeight);

    m_grip = new Grip(this);
    m_grip->setObjectName(QStringLiteral("Image1"));
    m_grip->setGeometry(0, 0, 34, 15);
    m_grip->setToolTip(tr("Move"));
    m_grip->setContextMenuPolicy(Qt::CustomContextMenu);
    m_grip->installEventFilter(this);
    connect(m_grip, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_popupMenu->popup(m_grip->mapToGlobal(pos)); });

    m_restoreButton = new QToolButton(this);
    m_restoreButton->setObjectName(QStringLiteral("SpeedButton1"));
    m_restoreButton->setGeometry(0, 15, 34, 35);
    m_restoreButton->setToolTip(tr("Restore"));
    m_restoreButton->setAccessibleName(tr("Restore Quillery"));
    m_restoreButton->setIcon(QIcon(pageStackPicture(32)));
    m_restoreButton->setIconSize(QSize(32, 32));
    // The button holds the focus while it is shown: Space or Enter brings the window back.
    m_restoreButton->setFocusPolicy(Qt::StrongFocus);
    m_grip->setAccessibleName(tr("Move"));
    connect(m_restoreButton, &QToolButton::clicked, this, &FloatingButton::restoreClicked);
    m_restoreButton->installEventFilter(this);
}

bool FloatingButton::handleKey(QKeyEvent* event) {
    // The menu the grip's right button opens, with its first item active.
    if ((event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier) ||
        (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        m_popupMenu->popup(mapToGlobal(QPoint(0, height())));
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QCoreApplication::sendEvent(m_popupMenu, &down);
        return true;
    }
    // The arrows move the button as a drag of the grip would: a step at a time, a pixel with
    // Ctrl, snapping to the screen's edges the same way.
    QPoint step;
    switch (event->key()) {
    case Qt::Key_Left:
        step = QPoint(-1, 0);
        break;
    case Qt::Key_Right:
        step = QPoint(1, 0);
        break;
    case Qt::Key_Up:
        step = QPoint(0, -1);
        break;
    case Qt::Key_Down:
        step = QPoint(0, 1);
        break;
    default:
        return false;
    }
    step *= (event->modifiers() & Qt::ControlModifier) ? 1 : KeyboardMoveStep;
    move(snapToEdges(pos() + step, size(), primaryScreenWidth(), workAreaHeight()));
    return true;
}

bool FloatingButton::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_restoreButton && event->type() == QEvent::KeyPress)
        return handleKey(static_cast<QKeyEvent*>(event));
    if (watched == m_grip) {
        // Only mouse events are QMouseEvents: look at the type before the cast.
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            pnMinMouseDown(m_grip, static_cast<QMouseEvent*>(event));
            return true;
        case QEvent::MouseMove:
            pnMinMouseMove(m_grip, static_cast<QMouseEvent*>(event));
            return true;
        case QEvent::MouseButtonRelease:
            pnMinMouseUp(m_grip, static_cast<QMouseEvent*>(event));
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FloatingButton::mousePressEvent(QMouseEvent* event) {
    pnMinMouseDown(this, event);
}

void FloatingButton::mouseMoveEvent(QMouseEvent* event) {
    pnMinMouseMove(this, event);
}

void FloatingButton::mouseReleaseEvent(QMouseEvent* event) {
    pnMinMouseUp(this, event);
}

void FloatingButton::keyPressEvent(QKeyEvent* event) {
    // Space is the tool button's own; Enter restores too. Other keys have nothing to do.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        emit restoreClicked();
}

void FloatingButton::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    activateWindow();
    m_restoreButton->setFocus();
}

void FloatingButton::pnMinMouseDown(QWidget* control, QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_anchor = event->position().toPoint();
    Q_UNUSED(control);
}

void FloatingButton::pnMinMouseMove(QWidget* control, QMouseEvent* event) {
    if (m_dragging)
        followPointer(control, event);
}

void FloatingButton::pnMinMouseUp(QWidget* control, QMouseEvent* event) {
    if (!m_dragging)
        return;
    followPointer(control, event);
    m_dragging = false;
}

void FloatingButton::followPointer(QWidget* control, QMouseEvent* event) {
    // Where the pressed point of the control is now: the pointer on the screen, less the
    // anchor and the control's place in the button. The pointer's position on the screen is
    // used rather than the window's last known position, which lags behind during a drag.
    const QPoint candidate =
        event->globalPosition().toPoint() - m_anchor - control->mapTo(this, QPoint(0, 0));
    move(snapToEdges(candidate, size(), primaryScreenWidth(), workAreaHeight()));
}

} // namespace qly
