#pragma once

#include <QWidget>

namespace qly {

// The progress of one file: a bar over 64-bit byte counts. Setting the position costs next to
// nothing (the bar is drawn the next time the window draws), so a copy may set it after every
// block.
class CopyProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit CopyProgressBar(QWidget* parent = nullptr);

    void setRange(qint64 maximum);
    void setPosition(qint64 position);
    qint64 maximum() const { return m_maximum; }
    qint64 position() const { return m_position; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qint64 m_maximum = 100;
    qint64 m_position = 0;
};

} // namespace qly
