#pragma once
#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;

// Every dialog control with an id keeps it findable as the object name
// "id<N>", so that the window, the dialogs and the tests find it by its id.
QString id_name(int id);

// The object name a control is made with: the name of its id, or for the few
// controls that have no id (the FITS fields) a name of their own.
class ControlName {
  public:
    ControlName(int id) : name_(id_name(id)) {}
    ControlName(const char* name) : name_(QString::fromLatin1(name)) {}
    ControlName(const QString& name) : name_(name) {}
    const QString& text() const { return name_; }

  private:
    QString name_;
};

// Names a control made elsewhere (a button box's buttons, a spin box, a
// button that keeps Qt's defaults) and returns it.
template <class W> W* named(W* control, const ControlName& name) {
    control->setObjectName(name.text());
    return control;
}

// A push button that is never the automatic default: Enter goes to the
// dialog's default button, not to whichever button has the focus.
QPushButton* make_button(QWidget* parent, const ControlName& name, const QString& text);
QCheckBox* make_check(QWidget* parent, const ControlName& name, const QString& text);
QRadioButton* make_radio(QWidget* parent, const ControlName& name, const QString& text);
QLabel* make_label(QWidget* parent, const ControlName& name, const QString& text = {});

// A line edit's width and alignment: `digits` > 0 fixes the width to that
// many '0's plus `frame` pixels for the frame and margins.
struct EditLook {
    int digits = 0;
    int frame = 16;
    bool right = false; // numbers right-aligned
};
QLineEdit* make_edit(QWidget* parent, const ControlName& name, const EditLook& look = {});
// A read-only edit that only shows a value. It takes the focus by click
// only, so the keyboard stays with the bars and buttons around it.
QLineEdit* make_readout(QWidget* parent, const ControlName& name, const EditLook& look = {});

// A horizontal scroll bar stepping by one, `page` a page, at least `width`
// pixels wide. Its range is the caller's.
QScrollBar* make_bar(QWidget* parent, const ControlName& name, int width, int page = 10);

// The control with `id` among `parent`'s children, or null.
template <class T = QWidget> T* find_control(const QWidget* parent, int id) {
    return parent->findChild<T*>(id_name(id));
}

// A dialog's values shown in its controls by id; a missing control is
// skipped. An edit that already reads `text` is left alone, so that its
// caret stays where the user put it.
void show_text(const QWidget* parent, int id, const QString& text);
void show_number(const QWidget* parent, int id, long value);
void show_checked(const QWidget* parent, int id, bool on);
void show_enabled(const QWidget* parent, int id, bool on);
