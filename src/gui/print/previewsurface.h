#pragma once

#include <QImage>
#include <QWidget>

namespace qly {

// The print preview's surface: a panel with an 8-pixel border and a lowered bevel, filled by
// the paint box `pbPreview`, which shows the preview bitmap at 0,0 and nothing else. The
// paint box is opaque, so nothing is erased under it before it paints; the cursor the mouse
// handlers choose stays until they choose another.
class PreviewSurface : public QWidget {
    Q_OBJECT
public:
    static constexpr int BorderWidth = 8;

    explicit PreviewSurface(QWidget* parent = nullptr);

    QWidget* pbPreview() const { return m_pbPreview; }
    // The bitmap that the paint box shows; owned by the window.
    void setBitmap(const QImage* bitmap) { m_bitmap = bitmap; }
    const QImage* bitmap() const { return m_bitmap; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_pbPreview = nullptr;
    const QImage* m_bitmap = nullptr;
};

} // namespace qly
