#include "analysis/blink_dialog.h"

#include "analysis/analysis_state.h"
#include "analysis/blink.h"
#include "dialogs/controls.h"
#include "platform/ui.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>

#include <algorithm>

namespace {

QPointer<TBLDialog> instance;

} // namespace

TBLDialog::TBLDialog(QWidget* parent) : TToolWindow(parent) {
    setWindowTitle(BLINK_CAPTION_CURRENT);
    button_ = make_button(nullptr, blink_id::Comparison, "Comparison");
    // Wide enough for its other text, so the window does not change size.
    button_->setMinimumWidth(
        std::max(button_->sizeHint().width(),
                 button_->fontMetrics().horizontalAdvance("Current Image") + 32));
    auto* finished = make_button(nullptr, blink_id::Finished, "Finished");
    connect(button_, &QPushButton::clicked, this, &TBLDialog::Blink_Comparison);
    connect(finished, &QPushButton::clicked, this, &TBLDialog::BlinkKill);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 14, 16, 14);
    row->setSpacing(12);
    row->addWidget(button_);
    row->addWidget(finished);
    // The caption must show whole: it is what tells which image is shown.
    setMinimumWidth(fontMetrics().horizontalAdvance(BLINK_CAPTION_COMPARISON) + 160);
}

void TBLDialog::Blink_Comparison() {
    const BlinkStep step = blink_press(next_comparison_);
    button_->setText(step.button);
    platform::ui().send_command(step.command);
    setWindowTitle(step.caption);
}

void TBLDialog::BlinkKill() {
    ana.blinking = 0;
    if (instance == this) instance = nullptr;
    finish();
}

void cm_blink(QWidget* parent) {
    if (!start_blink()) return;
    instance = new TBLDialog(parent);
    instance->show();
}

TBLDialog* blink_dialog() {
    return instance.data();
}
