#include "processing/stretch_dialog.h"
#include "platform/command_ids.h"

#include "dialogs/controls.h"
#include "dialogs/scroll_binding.h"
#include "display/image_store.h"
#include "platform/ui.h"
#include "processing/processing_state.h"
#include "processing/stretch.h"
#include "processing/stretch_controls.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

namespace {

const char* const NORMAL_HELP =
    "Use controls to vary intensity from 0 to 255, where the lowest value will be shown as "
    "black and the highest by white. \n\nIf you type values into the black or white boxes you "
    "must press the set white or black button to activate.\n\n It is possible to darken the "
    "image overall by increasing the white level to 300.";
const char* const POWER_HELP =
    "Use controls to vary power from 0.1 to 3.0, where powers greater than 1 will increase "
    "contrast, and powers less than 1 will reduce contrast.";
const char* const NONLINEAR_HELP = "Use controls to vary the Power from 2 to 50";
const char* const NONLINEAR_NOTE = "This stretch works well for images of nebulae. First use "
                                   "the stretch that removes the background. ";

constexpr int HIST_TOP = 8;        // space above the tallest bar
constexpr int HIST_BAR_MAX = 210;  // bars are clipped here
constexpr int HIST_BIN_WIDTH = 2;  // 256 bins, two pixels each
constexpr int HIST_SIDE = 12;      // room for a marker half-way off either end
constexpr int HIST_MARKER = 12;    // height of the arrow markers under the base line
constexpr int HIST_BELOW = 36;     // markers, then the level numbers
constexpr int COUNT_PER_PIXEL = 5; // bar height = count / 5

constexpr int BAR_WIDTH = 260;
// The numbers beside the bars; what is typed into a read-only one is not used.
constexpr EditLook NUMBER{.digits = 5, .frame = 16, .right = true};

QDialogButtonBox* make_buttons(QDialog* dialog, const char* help_text, const char* help_caption) {
    auto* box = new QDialogButtonBox(dialog);
    QPushButton* ok = box->addButton("OK", QDialogButtonBox::AcceptRole);
    QPushButton* cancel = box->addButton("Cancel", QDialogButtonBox::RejectRole);
    QPushButton* help = box->addButton("Help", QDialogButtonBox::HelpRole);
    named(ok, 1);
    named(cancel, 2);
    named(help, 9);
    ok->setDefault(true);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    QObject::connect(help, &QPushButton::clicked, dialog, [help_text, help_caption] {
        platform::ui().message_box(help_text, help_caption);
    });
    return box;
}

// The image's histogram with the base line, level ticks and the two markers.
class StretchHistogram : public QWidget {
  public:
    explicit StretchHistogram(QWidget* parent) : QWidget(parent) {
        setObjectName("histogram");
        stretch_histogram(counts_);
        setFixedSize(2 * HIST_SIDE + 256 * HIST_BIN_WIDTH, HIST_TOP + HIST_BAR_MAX + HIST_BELOW);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(250, 250, 250));
        const int base = HIST_TOP + HIST_BAR_MAX;
        for (int v = 0; v < 256; ++v) {
            const std::uint32_t h = counts_[v] / COUNT_PER_PIXEL;
            const bool clipped = h > HIST_BAR_MAX;
            const int height = clipped ? HIST_BAR_MAX : static_cast<int>(h);
            if (height == 0) continue;
            p.fillRect(x_of(v), base - height, HIST_BIN_WIDTH, height,
                       clipped ? QColor(200, 40, 40) : QColor(30, 60, 150));
        }
        p.setPen(Qt::black);
        p.drawLine(x_of(0), base, x_of(256), base);
        QFont small = font();
        small.setPointSizeF(small.pointSizeF() * 0.8);
        p.setFont(small);
        for (int v = 0; v <= 256; v += 32) {
            p.drawLine(x_of(v), base, x_of(v), base + 4);
            const QString label = QString::number(std::min(v, 255));
            const int w = p.fontMetrics().horizontalAdvance(label);
            p.drawText(x_of(v) - w / 2, base + HIST_MARKER + 4 + p.fontMetrics().ascent(), label);
        }
        marker(p, static_cast<int>(proc.oldblack), Qt::black);
        marker(p, static_cast<int>(proc.oldwhite), Qt::white);
    }

  private:
    static int x_of(int level) { return HIST_SIDE + level * HIST_BIN_WIDTH; }

    void marker(QPainter& p, int level, const QColor& fill) {
        const int x = x_of(level) + HIST_BIN_WIDTH / 2;
        const int tip = HIST_TOP + HIST_BAR_MAX + 1;
        const QPoint arrow[3] = {{x, tip}, {x - 6, tip + HIST_MARKER}, {x + 6, tip + HIST_MARKER}};
        p.setPen(Qt::black);
        p.setBrush(fill);
        p.drawPolygon(arrow, 3);
        p.drawLine(x, HIST_TOP, x, tip);
    }

    std::uint32_t counts_[256] = {};
};

} // namespace

// ---------------------------------------------------------------- Normal

TStretchDialog::TStretchDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Normal Stretch");
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    histogram_ = new StretchHistogram(this);
    layout->addWidget(histogram_, 0, Qt::AlignHCenter);

    auto* grid = new QGridLayout;
    black_bar_ = make_bar(this, 101, BAR_WIDTH);
    black_bar_->setRange(0, 255);
    white_bar_ = make_bar(this, 102, BAR_WIDTH);
    white_bar_->setRange(1, 300);
    black_edit_ = make_readout(this, 103, NUMBER);
    white_edit_ = make_readout(this, 104, NUMBER);
    grid->addWidget(new QLabel("Black", this), 0, 0);
    grid->addWidget(black_bar_, 0, 1);
    grid->addWidget(black_edit_, 0, 2);
    grid->addWidget(new QLabel("White", this), 1, 0);
    grid->addWidget(white_bar_, 1, 1);
    grid->addWidget(white_edit_, 1, 2);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    auto* buttons = make_buttons(this, NORMAL_HELP, "Nocteris - Normal Stretch");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addSpacing(6);
    layout->addWidget(buttons);

    auto refresh = [this] { show_values(); };
    bind_scroll_rules(
        black_bar_, scroll_black, [] { return static_cast<int>(proc.black); }, refresh);
    bind_scroll_rules(
        white_bar_, scroll_white, [] { return static_cast<int>(proc.white); }, refresh);
    show_values();
}

void TStretchDialog::show_values() {
    // The markers move to the new values on the next paint.
    proc.oldblack = proc.black;
    proc.oldwhite = std::min(proc.white, 255u);
    black_edit_->setText(QString::number(proc.black));
    white_edit_->setText(QString::number(proc.white));
    black_bar_->setValue(static_cast<int>(proc.black));
    white_bar_->setValue(static_cast<int>(proc.white));
    histogram_->update();
}

// ---------------------------------------------------------------- Power law

TPowerDialog::TPowerDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Power Law Stretch");
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* row = new QHBoxLayout;
    bar_ = make_bar(this, 101, BAR_WIDTH, 3);
    bar_->setRange(1, 30);
    edit_ = make_readout(this, 102, NUMBER);
    row->addWidget(new QLabel("Power", this));
    row->addWidget(bar_, 1);
    row->addWidget(edit_);
    layout->addLayout(row);
    auto* buttons = make_buttons(this, POWER_HELP, "Nocteris - Power Law Stretch");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addSpacing(6);
    layout->addWidget(buttons);

    bind_scroll_rules(
        bar_, [](ScrollAction a, int) { return scroll_power(a); }, power_position,
        [this] { show_values(); });
    show_values();
}

void TPowerDialog::show_values() {
    char text[32];
    std::snprintf(text, sizeof text, "%1.1f", proc.power_str);
    edit_->setText(text);
    bar_->setValue(power_position());
}

// ---------------------------------------------------------------- Non-linear

TNonLiniarDialog::TNonLiniarDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Non-Linear Stretch");
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* note = new QLabel(NONLINEAR_NOTE, this);
    note->setWordWrap(true);
    note->setFixedWidth(360);
    layout->addWidget(note);
    auto* row = new QHBoxLayout;
    bar_ = make_bar(this, 101, BAR_WIDTH, 5);
    bar_->setRange(2, 50);
    edit_ = make_edit(this, 102, NUMBER);
    row->addWidget(new QLabel("Power", this));
    row->addWidget(bar_, 1);
    row->addWidget(edit_);
    layout->addLayout(row);
    auto* buttons = make_buttons(this, NONLINEAR_HELP, "Nocteris - NonLiniar Filter");
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { ok(); });
    layout->addSpacing(6);
    layout->addWidget(buttons);

    // Only the arrows move the power.
    bind_scroll_rules(
        bar_, [](ScrollAction a, int) { return scroll_nonlinear(a); },
        [] { return static_cast<int>(proc.white); }, [this] { show_values(); });
    show_values();
}

void TNonLiniarDialog::show_values() {
    edit_->setText(QString::number(proc.white));
    bar_->setValue(static_cast<int>(proc.white));
}

void TNonLiniarDialog::ok() {
    if (accept_nonlinear(edit_->text().toLocal8Bit().constData())) {
        accept();
        return;
    }
    show_values();
}

// ---------------------------------------------------------------- Stretch display

TMaxDialog::TMaxDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Stretch Display");
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* row = new QHBoxLayout;
    bar_ = make_bar(this, 101, BAR_WIDTH, 5);
    bar_->setRange(2, 50);
    edit_ = make_readout(this, 102, NUMBER);
    row->addWidget(new QLabel("Stretch", this));
    row->addWidget(bar_, 1);
    row->addWidget(edit_);
    layout->addLayout(row);
    activate_ = make_check(this, 103, "Activate stretch display");
    layout->addWidget(activate_);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = named(buttons->addButton("Close", QDialogButtonBox::RejectRole), 2);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    layout->addSpacing(6);
    layout->addWidget(buttons);

    bind_scroll_rules(
        bar_, scroll_max_stretch, [] { return static_cast<int>(disp.max_stretch_mult); },
        [this] {
            show_values();
            platform::ui().send_command(CM_STRETCH_PAINT);
        });
    connect(activate_, &QCheckBox::clicked, this, [this] {
        platform::ui().send_command(CM_STRETCH_TOGGLE);
        show_values(); // the box shows what the window now does
    });
    show_values();
}

void TMaxDialog::show_values() {
    edit_->setText(QString::number(static_cast<int>(disp.max_stretch_mult)));
    bar_->setValue(static_cast<int>(disp.max_stretch_mult));
    activate_->setChecked(disp.max_stretch != 0);
}

// The tool bar can switch the display stretch while this window is open.
void TMaxDialog::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) show_values();
    QDialog::changeEvent(event);
}

// ---------------------------------------------------------------- commands

bool cm_contrast_normal(QWidget* parent) {
    proc.white = proc.oldwhite = 255;
    proc.black = proc.oldblack = 0;
    TStretchDialog dlg(parent);
    if (dlg.exec() == QDialog::Accepted) ContrastNormal();
    return false;
}

bool cm_contrast_power(QWidget* parent) {
    proc.power_str = 1.0;
    TPowerDialog dlg(parent);
    // 1.0 is the identity: nothing to apply and nothing to record.
    if (dlg.exec() == QDialog::Accepted && proc.power_str != 1.0) ContrastPower();
    return false;
}

bool cm_contrast_tolvern(QWidget* parent) {
    proc.white = 25;
    TNonLiniarDialog dlg(parent);
    if (dlg.exec() != QDialog::Accepted) return false;
    tolvern(proc.white);
    return contrast_stretch(1);
}

TMaxDialog* cm_stretch_max(QWidget* parent) {
    static QPointer<TMaxDialog> open;
    if (!open) {
        open = new TMaxDialog(parent);
        open->setAttribute(Qt::WA_DeleteOnClose);
    }
    open->show();
    open->raise();
    open->activateWindow();
    return open;
}
