#pragma once

#include <QProxyStyle>

namespace qly {

// How the main menu draws its items: a picture column 18 pixels wide, a checked item without
// a picture shows a bullet (radio item) or a check mark on a sunken box, disabled items are
// embossed, separators are an etched line, shortcuts stand in a column after the captions.
class MenuStyle : public QProxyStyle {
    Q_OBJECT
public:
    static constexpr int ImageColumn = 18; // picture width + 2
    static constexpr int FrameWidth = 2;

    MenuStyle();

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};

} // namespace qly
