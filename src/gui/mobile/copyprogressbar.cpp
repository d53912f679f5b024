#include "mobile/copyprogressbar.h"

#include <QStyleOptionProgressBar>
#include <QStylePainter>

namespace qly {

CopyProgressBar::CopyProgressBar(QWidget* parent) : QWidget(parent) {}

void CopyProgressBar::setRange(qint64 maximum) {
    m_maximum = std::max<qint64>(maximum, 0);
    m_position = std::clamp<qint64>(m_position, 0, m_maximum);
    update();
}

void CopyProgressBar::setPosition(qint64 position) {
    position = std::clamp<qint64>(position, 0, m_maximum);
    if (position == m_position)
        return;
    m_position = position;
    update();
}

void CopyProgressBar::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionProgressBar opt;
    opt.initFrom(this);
    // The style counts in int: a thousand steps are finer than any bar is wide.
    constexpr int Steps = 1000;
    opt.minimum = 0;
    opt.maximum = Steps;
    opt.progress = m_maximum > 0 ? int(m_position * Steps / m_maximum) : 0;
    opt.textVisible = false;
    opt.state |= QStyle::State_Horizontal;
    p.drawControl(QStyle::CE_ProgressBar, opt);
}

} // namespace qly
