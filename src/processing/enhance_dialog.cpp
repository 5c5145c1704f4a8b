#include "processing/enhance_dialog.h"

#include "dialogs/controls.h"
#include "platform/ui.h"
#include "processing/enhance.h"
#include "processing/filter_state.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

TEnhanceDialog::TEnhanceDialog(QWidget* parent, const char* title, Param radius, Param power,
                               const char* help_text, const char* help_caption)
    : QDialog(parent), help_text_(help_text), help_caption_(help_caption) {
    setWindowTitle(QString::fromUtf8(title));
    setModal(true);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(12);
    add_row(grid, 0, radius, "radius");
    add_row(grid, 1, power, "power");
    grid->setColumnStretch(2, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                         QDialogButtonBox::Help);
    named(buttons->button(QDialogButtonBox::Ok), 1);
    named(buttons->button(QDialogButtonBox::Cancel), 2);
    named(buttons->button(QDialogButtonBox::Help), 9);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this] {
        platform::ui().message_box(help_text_, help_caption_, platform::BoxIcon::Information);
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(16);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

void TEnhanceDialog::add_row(QGridLayout* grid, int row, const Param& p, const char* name) {
    QLineEdit* edit =
        make_edit(nullptr, QStringLiteral("%1_edit").arg(QLatin1String(name)), {.right = true});
    edit->setReadOnly(true);
    edit->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("00.0")) + 16);
    QScrollBar* bar = make_bar(nullptr, QStringLiteral("%1_bar").arg(QLatin1String(name)), 180, 1);
    bar->setRange(p.low, p.high);
    auto* label = new QLabel(QString::fromUtf8(p.label));
    label->setBuddy(bar);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    grid->addWidget(bar, row, 2);

    // The arrows step by one and stop at the limits; the edit follows.
    int* value = p.value;
    auto shown = p.shown;
    connect(bar, &QScrollBar::valueChanged, this, [value, shown, edit](int v) {
        *value = v;
        edit->setText(shown(v));
    });
    *value = std::clamp(*value, p.low, p.high);
    bar->setValue(*value);
    edit->setText(shown(*value));
}

namespace {

QString whole(int v) {
    return QString::number(v);
}
QString tenths(int v) {
    return QString::asprintf("%1.1f", v * 0.1);
}

} // namespace

TUnsharpDialog::TUnsharpDialog(QWidget* parent)
    : TEnhanceDialog(parent, "Unsharp Mask Filter", {"&Radius:", &filt.white, 1, 7, whole},
                     {"&Power:", &filt.black, 1, 7, whole},
                     "Use controls to vary the radius from 1 to 7, and the power from 1 to 7.",
                     "Nocteris") {}

TMedianDialog::TMedianDialog(QWidget* parent)
    : TEnhanceDialog(parent, "Median Filter", {"&Radius:", &filt.white, 1, 3, whole},
                     {"&Power:", &filt.black, 1, 10, tenths},
                     "Use controls to vary the radius from 1 to 3, and the power from 0.1 to 1.",
                     "Nocteris - Median Filter") {}

bool unsharp_enhance(QWidget* parent) {
    filt.white = 3;
    filt.black = 1;
    TUnsharpDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    return unsharp_mask(filt.white, filt.black);
}

bool median_enhance(QWidget* parent) {
    filt.white = 1;
    filt.black = 6;
    TMedianDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    // Show the window without the dialog before the filter holds the thread.
    if (parent) parent->repaint();
    return median_filter(filt.white, filt.black);
}
