#include "dialogs/controls.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

QString id_name(int id) {
    return QStringLiteral("id%1").arg(id);
}

QPushButton* make_button(QWidget* parent, const ControlName& name, const QString& text) {
    auto* b = named(new QPushButton(text, parent), name);
    b->setAutoDefault(false);
    return b;
}

QCheckBox* make_check(QWidget* parent, const ControlName& name, const QString& text) {
    return named(new QCheckBox(text, parent), name);
}

QRadioButton* make_radio(QWidget* parent, const ControlName& name, const QString& text) {
    return named(new QRadioButton(text, parent), name);
}

QLabel* make_label(QWidget* parent, const ControlName& name, const QString& text) {
    return named(new QLabel(text, parent), name);
}

QLineEdit* make_edit(QWidget* parent, const ControlName& name, const EditLook& look) {
    auto* e = named(new QLineEdit(parent), name);
    if (look.right) e->setAlignment(Qt::AlignRight);
    if (look.digits > 0)
        e->setFixedWidth(
            e->fontMetrics().horizontalAdvance(QString(look.digits, QLatin1Char('0'))) +
            look.frame);
    return e;
}

QLineEdit* make_readout(QWidget* parent, const ControlName& name, const EditLook& look) {
    QLineEdit* e = make_edit(parent, name, look);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::ClickFocus);
    // Shown on the dialog's own background, so that it does not invite typing.
    QPalette p = e->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Window));
    e->setPalette(p);
    return e;
}

QScrollBar* make_bar(QWidget* parent, const ControlName& name, int width, int page) {
    auto* bar = named(new QScrollBar(Qt::Horizontal, parent), name);
    bar->setSingleStep(1);
    bar->setPageStep(page);
    bar->setMinimumWidth(width);
    return bar;
}

void show_text(const QWidget* parent, int id, const QString& text) {
    if (auto* e = find_control<QLineEdit>(parent, id))
        if (e->text() != text) e->setText(text);
}

void show_number(const QWidget* parent, int id, long value) {
    show_text(parent, id, QString::number(value));
}

void show_checked(const QWidget* parent, int id, bool on) {
    if (auto* b = find_control<QAbstractButton>(parent, id)) b->setChecked(on);
}

void show_enabled(const QWidget* parent, int id, bool on) {
    if (auto* w = find_control<QWidget>(parent, id)) w->setEnabled(on);
}
