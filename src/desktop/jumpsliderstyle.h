#pragma once

#include <QProxyStyle>

class QSlider;

namespace halyx {

// A slider style under which a left click on the groove puts the handle where the click was
// (and the handle can be dragged on from there), instead of moving it by a page.
class CJumpSliderStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;

    // Gives slider this style, owned by the slider.
    static void Apply(QSlider* slider);
};

} // namespace halyx
