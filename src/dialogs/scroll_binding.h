#pragma once
#include "display/scroll_action.h"

#include <functional>

class QScrollBar;

// The rule's view of a Qt slider action (QAbstractSlider::SliderAction).
ScrollAction scroll_action(int slider_action);

// Routes a scroll bar's actions through a rule: the rule sees the action
// (and the dragged position) and the bar then shows whatever `position()`
// returns, so a refused step leaves the thumb where it was. `changed` runs
// after each action the rule took.
void bind_scroll_rules(QScrollBar* bar, std::function<bool(ScrollAction, int)> rule,
                       std::function<int()> position, std::function<void()> changed);
