#pragma once

#include <QBasicTimer>
#include <QWidget>

namespace qly {

// The copy animation: pages fly in an arc from one folder to another while it runs;
// stopped, both folders stand still with no page between them.
class CopyAnimation : public QWidget {
    Q_OBJECT
public:
    explicit CopyAnimation(QWidget* parent = nullptr);

    void start();
    void stop();
    bool isRunning() const { return m_timer.isActive(); }
    int frame() const { return m_frame; }

    static constexpr int FrameInterval = 40; // milliseconds
    static constexpr int FramesPerFlight = 30;

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QBasicTimer m_timer;
    int m_frame = 0;
};

} // namespace qly
