#include "history/copynotice.h"

#include "model/pageletters.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace qly {

CopyNotice::CopyNotice(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("CopyNotice"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    // The colours of a tooltip: a notice, not a part of the page.
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("CopyNoticeText"));
    m_text->setWordWrap(true);
    m_text->setForegroundRole(QPalette::ToolTipText);
    m_historyButton = new QPushButton(tr("&History..."), this);
    m_historyButton->setObjectName(QStringLiteral("CopyNoticeHistory"));
    m_historyButton->setAutoDefault(false);
    m_closeButton = new QToolButton(this);
    m_closeButton->setObjectName(QStringLiteral("CopyNoticeClose"));
    m_closeButton->setText(QStringLiteral("\u00d7"));
    m_closeButton->setAccessibleName(tr("Close notice"));
    m_closeButton->setToolTip(tr("Close notice"));
    m_closeButton->setAutoRaise(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 3, 3);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_historyButton);
    layout->addWidget(m_closeButton);
    m_hide.setSingleShot(true);
    m_hide.setInterval(ShownMs);
    connect(&m_hide, &QTimer::timeout, this, &QWidget::hide);
    connect(m_closeButton, &QToolButton::clicked, this, &QWidget::hide);
    connect(m_historyButton, &QPushButton::clicked, this, [this] {
        hide();
        emit historyRequested(m_page);
    });
    hide();
}

void CopyNotice::showFor(const QList<int>& pages, int copies, const QStringList& tools) {
    if (pages.isEmpty())
        return;
    m_page = pages.front();
    QStringList letters;
    for (int page : pages)
        letters << pageLetter(page);
    const QString from = tools.isEmpty() ? QString() : tr(" from %1").arg(tools.join(tr(", ")));
    const QString text =
        pages.size() > 1 ? tr("Pages %1 have conflict copies%2, kept in their history.")
                               .arg(letters.join(tr(", ")), from)
        : copies > 1
            ? tr("Page %1 has conflict copies%2, kept in its history.").arg(letters.front(), from)
            : tr("Page %1 has a conflict copy%2, kept in its history.").arg(letters.front(), from);
    showText(text, m_page);
}

void CopyNotice::showText(const QString& text, int page) {
    m_page = page;
    m_text->setText(text);
    setAccessibleName(text);
    m_historyButton->setAccessibleName(tr("History of page %1").arg(pageLetter(page)));
    show();
    m_hide.start();
    // Said by a screen reader as it appears, whatever has the focus.
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void CopyNotice::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QFrame::keyPressEvent(event);
}

} // namespace qly
