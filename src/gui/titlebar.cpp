#include "titlebar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QToolButton>

namespace qly {

namespace {
QToolButton* makeButton(QWidget* parent, const char* name, const QString& hint, QRect geometry,
                        const QString& text) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    b->setText(text);
    b->setAutoRaise(true);
    b->setGeometry(geometry);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QWidget* makePanel(QWidget* parent, const char* name) {
    auto* w = new QWidget(parent);
    w->setObjectName(QLatin1String(name));
    w->setAutoFillBackground(true);
    return w;
}
} // namespace

TitleBar::TitleBar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("pnTitle"));
    setAutoFillBackground(true);
    setFrameShape(QFrame::NoFrame);

    m_pnNav = makePanel(this, "pnNav");
    m_pnNav->setFixedWidth(111);
    m_sbStart = makeButton(m_pnNav, "sbStart", tr("Main menu"), {0, 0, 21, 21}, QString());
    m_sbStart->setAutoRaise(false);
    m_sbPrev = makeButton(m_pnNav, "sbPrev", tr("Previous"), {24, 2, 17, 17}, QStringLiteral("<"));
    m_cbNotes = new QComboBox(m_pnNav);
    m_cbNotes->setObjectName(QStringLiteral("cbNotes"));
    m_cbNotes->setToolTip(tr("List"));
    m_cbNotes->setMaxVisibleItems(9);
    m_cbNotes->setGeometry(42, 0, 48, 21);
    m_cbNotes->setFocusPolicy(Qt::NoFocus);
    m_sbNext = makeButton(m_pnNav, "sbNext", tr("Next"), {92, 2, 17, 17}, QStringLiteral(">"));

    m_paintBox = new QWidget(this);
    m_paintBox->setObjectName(QStringLiteral("PaintBox1"));

    m_pnClose = makePanel(this, "pnClose");
    m_pnClose->setFixedWidth(41);
    m_sbMinimize =
        makeButton(m_pnClose, "sbMinimize", tr("Minimize"), {4, 2, 17, 17}, QStringLiteral("_"));
    m_sbClose = makeButton(m_pnClose, "sbClose", tr("Close"), {22, 2, 17, 17}, QStringLiteral("x"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_pnNav);
    layout->addWidget(m_paintBox, 1);
    layout->addWidget(m_pnClose);
}

void TitleBar::setPageColor(const QColor& color) {
    for (QWidget* w : {static_cast<QWidget*>(this), m_pnClose, m_pnNav}) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, color);
        w->setPalette(pal);
    }
}

void TitleBar::setTitleButtonHeight(int height) {
    for (QWidget* w : {static_cast<QWidget*>(m_sbStart), static_cast<QWidget*>(m_sbPrev),
                       static_cast<QWidget*>(m_cbNotes), static_cast<QWidget*>(m_sbNext),
                       static_cast<QWidget*>(m_sbMinimize), static_cast<QWidget*>(m_sbClose)})
        w->resize(w->width(), height);
}

} // namespace qly
