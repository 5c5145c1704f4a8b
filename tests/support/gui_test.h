#pragma once
#include "dialogs/controls.h"

#include <QAbstractSlider>
#include <QString>
#include <QWidget>
#include <functional>

class QLineEdit;

// What the window and dialog tests do to controls, found by id ("id105") or
// by their own name. A control that is not there ends the program: nothing
// after it could pass.
namespace guitest {

[[noreturn]] void no_control(const QWidget* dialog, const QString& name);

template <class T = QWidget> T* control(const QWidget* dialog, const ControlName& name) {
    T* w = dialog ? dialog->findChild<T*>(name.text()) : nullptr;
    if (!w) no_control(dialog, name.text());
    return w;
}

// Clicks a button near its left edge: check boxes and radio buttons take
// clicks on their mark and text only.
void press(const QWidget* dialog, const ControlName& name);

// A line edit's text; `set_text` puts text in as a program would, `type`
// clears the edit and types the text key by key.
QString text(const QWidget* dialog, const ControlName& name);
void set_text(const QWidget* dialog, const ControlName& name, const QString& text);
void type(const QWidget* dialog, const ControlName& name, const QString& text);

// Clicks a scroll bar's right (or down) arrow, or its left one, `times` times.
void arrow(const QWidget* dialog, const ControlName& bar, bool up, int times = 1);
// Triggers a slider action on a scroll bar, as its arrows, pages and drags do.
void act(const QWidget* dialog, const ControlName& bar, QAbstractSlider::SliderAction action,
         int times = 1);

// Runs `steps` on the next modal dialog once it shows. A dialog the steps
// left open is then closed, so a failed step never hangs the test.
void when_shown(std::function<void(QWidget*)> steps);

// Saves a picture of `w` as `file` in $NOCTERIS_GRAB_DIR, when that is set,
// for a person to look at.
void grab(QWidget* w, const char* file);

} // namespace guitest
