#include "support/gui_test.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>

namespace guitest {

void no_control(const QWidget* dialog, const QString& name) {
    if (!dialog) qFatal("no dialog to look for %s in", qPrintable(name));
    qFatal("no control %s in \"%s\"", qPrintable(name), qPrintable(dialog->windowTitle()));
}

void press(const QWidget* dialog, const ControlName& name) {
    auto* b = control<QAbstractButton>(dialog, name);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2));
}

QString text(const QWidget* dialog, const ControlName& name) {
    return control<QLineEdit>(dialog, name)->text();
}

void set_text(const QWidget* dialog, const ControlName& name, const QString& text) {
    control<QLineEdit>(dialog, name)->setText(text);
}

void type(const QWidget* dialog, const ControlName& name, const QString& text) {
    auto* e = control<QLineEdit>(dialog, name);
    e->clear();
    QTest::keyClicks(e, text);
}

void arrow(const QWidget* dialog, const ControlName& bar_name, bool up, int times) {
    auto* bar = control<QScrollBar>(dialog, bar_name);
    // Where the style puts the arrow, whatever the bar's size.
    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.orientation = bar->orientation();
    opt.minimum = bar->minimum();
    opt.maximum = bar->maximum();
    opt.sliderPosition = bar->sliderPosition();
    opt.sliderValue = bar->value();
    opt.singleStep = bar->singleStep();
    opt.pageStep = bar->pageStep();
    opt.subControls = QStyle::SC_All;
    const QRect r = bar->style()->subControlRect(
        QStyle::CC_ScrollBar, &opt, up ? QStyle::SC_ScrollBarAddLine : QStyle::SC_ScrollBarSubLine,
        bar);
    for (int i = 0; i < times; ++i) QTest::mouseClick(bar, Qt::LeftButton, {}, r.center());
}

void act(const QWidget* dialog, const ControlName& bar, QAbstractSlider::SliderAction action,
         int times) {
    for (int k = 0; k < times; ++k) control<QScrollBar>(dialog, bar)->triggerAction(action);
}

void when_shown(std::function<void(QWidget*)> steps) {
    QTimer::singleShot(0, [steps] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) qFatal("no modal dialog is showing");
        steps(dialog);
        if (auto* d = qobject_cast<QDialog*>(dialog); d && d->isVisible()) d->reject();
    });
}

void grab(QWidget* w, const char* file) {
    if (const QByteArray dir = qgetenv("NOCTERIS_GRAB_DIR"); !dir.isEmpty())
        w->grab().save(QString::fromLocal8Bit(dir) + "/" + file);
}

} // namespace guitest
