#include "desktop/jumpsliderstyle.h"

#include <QSlider>

namespace halyx {

int CJumpSliderStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                                QStyleHintReturn* returnData) const {
    if (hint == QStyle::SH_Slider_AbsoluteSetButtons) {
        return Qt::LeftButton | Qt::MiddleButton;
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void CJumpSliderStyle::Apply(QSlider* slider) {
    // No base style is given: the proxy then draws with the application's style, whereas a base
    // passed in would become the proxy's own and be deleted with it.
    auto* style = new CJumpSliderStyle;
    style->setParent(slider);
    slider->setStyle(style);
}

} // namespace halyx
