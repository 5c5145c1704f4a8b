#include "processing/merge_dialog.h"
#include "platform/command_ids.h"

#include "dialogs/controls.h"
#include "platform/ui.h"
#include "processing/stacking.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QPointer<TMergeDialog> instance;

// The main window's repaint; it rebuilds the display marked for preparation.

const char* const HELP_TEXT =
    "Mark the position in the displayed image by pressing the left Mouse button. Then load the "
    "image to be merged by using the File/Open Menu Option. Mark the position to be matched on, "
    "and press the MERGE button.\n\nCheck the Average box if you want an average rather than "
    "addition.";

} // namespace

TMergeDialog::TMergeDialog(QWidget* parent) : QDialog(parent) {
    using namespace merge_id;
    setWindowTitle("MERGE IMAGES");
    setModal(false);

    // The radios only show where the marks go: Open switches them.
    auto* target = new QGroupBox("Marking");
    auto* target_box = new QHBoxLayout(target);
    original_ = make_radio(nullptr, OriginalImage, "Original  Image");
    second_ = make_radio(nullptr, MergeImage, "Merge Image");
    auto* group = new QButtonGroup(this);
    for (QRadioButton* b : {original_, second_}) {
        b->setAttribute(Qt::WA_TransparentForMouseEvents);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QRadioButton::clicked, this, &TMergeDialog::refresh);
        group->addButton(b);
        target_box->addWidget(b);
    }

    auto* marks = new QGroupBox("Marked positions");
    auto* grid = new QGridLayout(marks);
    grid->addWidget(new QLabel("x"), 0, 1, Qt::AlignHCenter);
    grid->addWidget(new QLabel("y"), 0, 2, Qt::AlignHCenter);
    grid->addWidget(new QLabel("Original image"), 1, 0);
    grid->addWidget(new QLabel("Merge image"), 2, 0);
    const int ids[4] = {OrigX, OrigY, MergeX, MergeY};
    for (int i = 0; i < 4; ++i) {
        QLineEdit* e = make_readout(nullptr, ids[i], {.digits = 6, .right = true});
        e->setFocusPolicy(Qt::NoFocus); // the marks come from clicks on the image
        marks_[i] = e;
        grid->addWidget(e, 1 + i / 2, 1 + i % 2);
    }
    grid->setColumnStretch(0, 1);

    average_ = make_check(nullptr, Average, "Average");
    centre_ = make_check(nullptr, CentreOnStar, "Centre on Star");
    connect(average_, &QCheckBox::clicked, this, [](bool on) { stacking.average = on ? 1 : 0; });
    connect(centre_, &QCheckBox::clicked, this,
            [](bool on) { stacking.merge_centre = on ? 1 : 0; });
    auto* options = new QHBoxLayout;
    options->addWidget(average_);
    options->addSpacing(16);
    options->addWidget(centre_);
    options->addStretch();

    auto* merge = named(new QPushButton("Merge"), merge_id::Merge);
    merge->setDefault(true);
    auto* cancel = named(new QPushButton("Cancel"), merge_id::Cancel);
    auto* help = named(new QPushButton("Help"), merge_id::Help);
    connect(merge, &QPushButton::clicked, this, &TMergeDialog::Merge);
    connect(cancel, &QPushButton::clicked, this, &TMergeDialog::Cancel);
    connect(help, &QPushButton::clicked, this, &TMergeDialog::Help);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(merge);
    buttons->addWidget(cancel);
    buttons->addWidget(help);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(16, 14, 16, 12);
    top->addWidget(target);
    top->addWidget(marks);
    top->addLayout(options);
    top->addSpacing(6);
    top->addLayout(buttons);
    refresh();
}

void TMergeDialog::refresh() {
    const StackState& s = stacking;
    (s.orig ? original_ : second_)->setChecked(true);
    const int values[4] = {s.orig_x, s.orig_y, s.merge_x, s.merge_y};
    for (int i = 0; i < 4; ++i) marks_[i]->setText(QString::number(values[i]));
    average_->setChecked(s.average != 0);
    centre_->setChecked(s.merge_centre != 0);
}

void TMergeDialog::Merge() {
    if (!merge_execute()) return; // the first image is still being marked
    finish();
    platform::ui().send_command(CM_PAINT);
}

void TMergeDialog::Cancel() {
    merge_cancel();
    finish();
}

void TMergeDialog::finish() {
    if (instance == this) instance = nullptr;
    hide();
    deleteLater();
}

void TMergeDialog::Help() {
    platform::ui().message_box(HELP_TEXT, "Nocteris - Control Merging",
                               platform::BoxIcon::Information);
}

void TMergeDialog::closeEvent(QCloseEvent* e) {
    e->ignore();
    Cancel();
}

void TMergeDialog::reject() {
    Cancel();
}

void cm_add_image(QWidget* parent, int photometry, int row_plot, int fit) {
    if (!start_merge(photometry, row_plot, fit)) return;
    if (instance) instance->finish(); // left over from a merge that ended elsewhere
    instance = new TMergeDialog(parent);
    instance->show();
    instance->raise();
}

TMergeDialog* merge_dialog() {
    return instance.data();
}

void merge_dialog_refresh() {
    if (instance) instance->refresh();
}

void merge_open_in_merge_mode() {
    if (!stacking.merging) return;
    merge_take_second();
    merge_dialog_refresh();
}
