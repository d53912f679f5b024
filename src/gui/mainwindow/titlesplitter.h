#pragma once

#include <QWidget>

namespace qly {

// `Splitter1`: the bevelled bar under the title bar. Dragging it with the left button makes
// the title bar taller or lower, between 5 and 49 pixels; `moved` follows the end of a drag.
class TitleSplitter : public QWidget {
    Q_OBJECT
public:
    TitleSplitter(QWidget* target, QWidget* parent = nullptr);

signals:
    void moved();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void canResizeTo(int proposedHeight);

    QWidget* m_target = nullptr;
    bool m_dragging = false;
    int m_pressY = 0;
    int m_startHeight = 0;
};

} // namespace qly
