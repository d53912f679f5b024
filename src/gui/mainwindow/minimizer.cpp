#include "mainwindow/minimizer.h"

#include "art/pagestackpicture.h"
#include "mainwindow/floatingbutton.h"
#include "pages/pagestore.h"
#include "platform/taskbarhint.h"
#include "settings/mainsettings.h"
#include "window/placement.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace qly {

Minimizer::Minimizer(QWidget* window, MainSettings& settings, QComboBox* pageSelector,
                     PageStore& pages)
    : QObject(window), m_window(window), m_settings(settings), m_pageSelector(pageSelector),
      m_pages(pages) {
    // The menu, the floating button and the tray icon are made when first needed: the
    // window shows sooner without them.
    m_window->installEventFilter(this);
}

Minimizer::~Minimizer() = default;

QMenu* Minimizer::popupMenu() {
    if (m_popupMenu)
        return m_popupMenu.get();
    m_popupMenu = std::make_unique<QMenu>();
    m_popupMenu->setObjectName(QStringLiteral("PopupMenu1"));
    m_restoreItem = m_popupMenu->addAction(tr("Restore"), this, &Minimizer::restore);
    m_restoreItem->setObjectName(QStringLiteral("Restore1"));
    QFont bold = m_restoreItem->font();
    bold.setBold(true);
    m_restoreItem->setFont(bold);
    m_popupMenu->setDefaultAction(m_restoreItem);
    m_popupMenu->addSeparator()->setObjectName(QStringLiteral("MenuItem1"));
    QAction* exit = m_popupMenu->addAction(tr("Exit"), this, &Minimizer::exitRequested);
    exit->setObjectName(QStringLiteral("MenuItem2"));
    return m_popupMenu.get();
}

FloatingButton* Minimizer::floatingButton() {
    if (m_pnMin)
        return m_pnMin.get();
    m_pnMin = std::make_unique<FloatingButton>(popupMenu());
    connect(m_pnMin.get(), &FloatingButton::restoreClicked, this, &Minimizer::restore);
    return m_pnMin.get();
}

QSystemTrayIcon* Minimizer::trayIcon() {
    if (m_trayIcon)
        return m_trayIcon;
    const QIcon icon = QApplication::windowIcon();
    m_trayIcon = new QSystemTrayIcon(icon.isNull() ? programIcon() : icon, this);
    m_trayIcon->setObjectName(QStringLiteral("RxTrayIcon"));
    m_trayIcon->setContextMenu(popupMenu());
    connect(m_trayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A right click opens the menu by itself and restores nothing.
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    restore();
            });
    return m_trayIcon;
}

int Minimizer::effectiveMode(int minimizeTo, bool trayAvailable) {
    if (minimizeTo == 1)
        return trayAvailable ? 1 : 2;
    return minimizeTo == 2 ? 2 : 0;
}

void Minimizer::minimize() {
    if (m_state != State::Normal)
        return;
    const int mode = effectiveMode(m_settings.minimizeTo, QSystemTrayIcon::isSystemTrayAvailable());
    if (mode == 0)
        m_window->showMinimized(); // the window manager's answer runs the hook
    else
        minimizeHook(mode);
}

void Minimizer::minimizeHook(int mode) {
    m_pages.setRememberedPageIndex(m_pageSelector->currentIndex());
    // A window iconified by the window manager leaves the minimised state before it hides:
    // on X11 leaving that state maps the window, and a window mapped after the hide would
    // stay on the screen undrawn, taking the keys into a page nobody sees.
    if (mode == 1) {
        trayIcon()->show();
        leaveMinimizedState();
        m_window->hide();
        m_state = State::Tray;
    } else if (mode == 2) {
        leaveMinimizedState();
        m_window->hide();
        const QRect g = m_window->geometry();
        m_settings.left = g.left();
        m_settings.top = g.top();
        m_settings.width = g.width();
        m_settings.height = g.height();
        FloatingButton* button = floatingButton();
        button->move(floatingButtonPosition(m_settings.minimizedLeft, m_settings.minimizedTop,
                                            primaryScreenWidth(), workAreaHeight()));
        button->clearDrag();
        keepOffTaskbar(button);
        button->show();
        button->raise();
        m_state = State::FloatingButton;
    } else {
        m_state = State::Taskbar;
    }
}

void Minimizer::leaveMinimizedState() {
    if (m_window->windowState() & Qt::WindowMinimized)
        m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
}

void Minimizer::restore() {
    if (m_state == State::Normal) {
        showMainWindow();
        return;
    }
    restoreHook();
}

void Minimizer::restoreHook() {
    const State from = m_state;
    m_state = State::Normal;
    m_pages.setRememberedPageIndex(m_pageSelector->currentIndex());
    if (from == State::Tray) {
        m_trayIcon->hide();
    } else if (from == State::FloatingButton) {
        m_pnMin->hide();
        m_pnMin->clearDrag();
        m_settings.minimizedLeft = m_pnMin->x();
        m_settings.minimizedTop = m_pnMin->y();
        m_window->setGeometry(restoredWindowGeometry(
            QRect(m_settings.left, m_settings.top, m_settings.width, m_settings.height),
            primaryScreenWidth(), workAreaHeight()));
    }
    showMainWindow();
    m_pageSelector->setCurrentIndex(m_pages.rememberedPageIndex());
}

void Minimizer::showMainWindow() {
    if (m_window->isMinimized())
        m_window->showNormal();
    else
        m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void Minimizer::clearDrag() {
    if (m_pnMin)
        m_pnMin->clearDrag();
}

void Minimizer::keepButtonPosition() {
    if (!floatingButtonShown())
        return;
    m_settings.minimizedLeft = m_pnMin->x();
    m_settings.minimizedTop = m_pnMin->y();
}

bool Minimizer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::WindowStateChange) {
        const bool minimized = m_window->isMinimized();
        if (minimized && m_state == State::Normal) {
            // Minimised by the title bar or by the window manager: the hook decides where
            // the window goes. It may hide the window, so it runs after this event.
            const int mode =
                effectiveMode(m_settings.minimizeTo, QSystemTrayIcon::isSystemTrayAvailable());
            m_state = State::Taskbar;
            if (mode != 0) {
                QTimer::singleShot(0, this, [this, mode] {
                    if (m_state == State::Taskbar && m_window->isMinimized()) {
                        m_state = State::Normal;
                        minimizeHook(mode);
                    }
                });
            } else {
                minimizeHook(0);
            }
        } else if (!minimized && m_state == State::Taskbar) {
            // Back from the taskbar through the window manager.
            restoreHook();
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace qly
