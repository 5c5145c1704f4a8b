#include "analysis/label_dialog.h"

#include "analysis/analysis_state.h"
#include "analysis/label.h"
#include "dialogs/controls.h"
#include "display/image_store.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TLabelDialog::TLabelDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Label Current Image");
    text_ = make_edit(nullptr, label_id::Text);
    // Wide enough to show a whole label; what is typed past 31 is not used.
    text_->setMaxLength(LABEL_TEXT_MAX);
    text_->setMinimumWidth(text_->fontMetrics().averageCharWidth() * (LABEL_TEXT_MAX + 4));
    auto_date_ = make_check(nullptr, label_id::AutoDate, "Auto Date");
    fits_date_ = make_check(nullptr, label_id::FitsDate, "Use FITs Date");
    connect(auto_date_, &QCheckBox::clicked, this, &TLabelDialog::SetAutoDate);
    connect(fits_date_, &QCheckBox::clicked, this, &TLabelDialog::SetFITSDate);

    auto* ok = make_button(nullptr, label_id::Ok, "OK");
    ok->setDefault(true);
    auto* cancel = make_button(nullptr, label_id::Cancel, "Cancel");
    connect(ok, &QPushButton::clicked, this, &TLabelDialog::EndDialog);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* checks = new QHBoxLayout;
    checks->addWidget(auto_date_);
    checks->addSpacing(16);
    checks->addWidget(fits_date_);
    checks->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(16, 14, 16, 12);
    top->addWidget(new QLabel("Label text"));
    top->addWidget(text_);
    top->addLayout(checks);
    top->addSpacing(6);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    label_dialog_init();
    show_flags();
}

void TLabelDialog::show_flags() {
    auto_date_->setChecked(ana.auto_date != 0);
    fits_date_->setChecked(ana.auto_FITS_date != 0);
}

void TLabelDialog::SetAutoDate() {
    label_toggle_auto_date();
    show_flags();
}

void TLabelDialog::SetFITSDate() {
    label_toggle_fits_date();
    show_flags();
}

void TLabelDialog::EndDialog() {
    set_label_text(text_->text().toLatin1().constData());
    accept();
}

bool cm_label_image(QWidget* parent) {
    TLabelDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    do_label_image(ana.auto_date, ana.txtbuffer, image);
    return true;
}
