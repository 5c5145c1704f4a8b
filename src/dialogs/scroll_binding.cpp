#include "dialogs/scroll_binding.h"

#include <QScrollBar>

ScrollAction scroll_action(int slider_action) {
    switch (slider_action) {
    case QAbstractSlider::SliderSingleStepSub:
        return ScrollAction::LineLeft;
    case QAbstractSlider::SliderSingleStepAdd:
        return ScrollAction::LineRight;
    case QAbstractSlider::SliderPageStepSub:
        return ScrollAction::PageLeft;
    case QAbstractSlider::SliderPageStepAdd:
        return ScrollAction::PageRight;
    case QAbstractSlider::SliderMove:
        return ScrollAction::Thumb;
    default:
        return ScrollAction::Other;
    }
}

void bind_scroll_rules(QScrollBar* bar, std::function<bool(ScrollAction, int)> rule,
                       std::function<int()> position, std::function<void()> changed) {
    bar->setValue(position());
    QObject::connect(bar, &QAbstractSlider::actionTriggered, bar, [=](int action) {
        const bool moved = rule(scroll_action(action), bar->sliderPosition());
        // Overrides the position Qt computed for the action.
        bar->setSliderPosition(position());
        if (moved && changed) changed();
    });
}
