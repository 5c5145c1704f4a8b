#include "analysis/photometry_dialog.h"

#include "analysis/analysis_state.h"
#include "analysis/photometry.h"
#include "dialogs/controls.h"
#include "platform/messages.h"
#include "settings/settings.h"

#include <QButtonGroup>
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

QPointer<TPHDialog> instance;

constexpr EditLook NUMBER{.digits = 7, .right = true};
constexpr EditLook POSITION{.digits = 5, .right = true};

QString number_text(double v) {
    return QString::number(v, 'g', 6);
}

} // namespace

TPHDialog::TPHDialog(QWidget* parent) : TToolWindow(parent) {
    using namespace ph_id;
    setWindowTitle("PHOTOMETRY");

    auto readout = [this](int id, const EditLook& look) {
        QLineEdit* e = make_readout(nullptr, id, look);
        e->setFocusPolicy(Qt::NoFocus); // the values come from clicks on the image
        fields_[id] = e;
        return e;
    };

    // What the next click records, with its aperture's position and mean.
    auto* apertures = new QGroupBox("Record on next click");
    auto* grid = new QGridLayout(apertures);
    grid->addWidget(new QLabel("x"), 0, 1, Qt::AlignHCenter);
    grid->addWidget(new QLabel("y"), 0, 2, Qt::AlignHCenter);
    grid->addWidget(new QLabel("Value"), 0, 3, Qt::AlignHCenter);
    auto* targets = new QButtonGroup(this);
    const struct {
        int id;
        const char* text;
        int x, y, value;
    } rows[3] = {{Object, "Object", ObjectX, ObjectY, ObjectValue},
                 {Comparison, "Comparison", ComparisonX, ComparisonY, ComparisonValue},
                 {Background, "Background", BackgroundX, BackgroundY, BackgroundValue}};
    for (int i = 0; i < 3; ++i) {
        QRadioButton* b = make_radio(nullptr, rows[i].id, rows[i].text);
        radios_[rows[i].id] = b;
        targets->addButton(b);
        grid->addWidget(b, i + 1, 0);
        grid->addWidget(readout(rows[i].x, POSITION), i + 1, 1);
        grid->addWidget(readout(rows[i].y, POSITION), i + 1, 2);
        grid->addWidget(readout(rows[i].value, NUMBER), i + 1, 3);
    }
    connect(radios_[Object], &QRadioButton::clicked, this, &TPHDialog::SetObject);
    connect(radios_[Comparison], &QRadioButton::clicked, this, &TPHDialog::SetComparison);
    connect(radios_[Background], &QRadioButton::clicked, this, &TPHDialog::SetBackground);
    grid->addWidget(new QLabel("Magnitude difference"), 4, 0, 1, 3);
    grid->addWidget(readout(MagnitudeDifference, NUMBER), 4, 3);
    grid->setColumnStretch(0, 1);

    auto* sizes = new QGroupBox("Aperture");
    auto* size_grid = new QGridLayout(sizes);
    auto* size_group = new QButtonGroup(this);
    const struct {
        int id;
        const char* text;
    } size_buttons[6] = {{SinglePixel, "Single Pixel"}, {Pixels5, "5 Pixels"},
                         {Pixels7, "7 Pixels"},         {Pixels9, "9 Pixels"},
                         {Pixels13, "13 Pixels"},       {Pixels17, "17 Pixels"}};
    for (int i = 0; i < 6; ++i) {
        QRadioButton* b = make_radio(nullptr, size_buttons[i].id, size_buttons[i].text);
        radios_[size_buttons[i].id] = b;
        size_group->addButton(b);
        size_grid->addWidget(b, i / 3, i % 3);
        const int id = size_buttons[i].id;
        connect(b, &QRadioButton::clicked, this, [this, id] { SetAperture(id); });
    }

    auto* cursor = new QGroupBox("Cursor");
    auto* cursor_row = new QHBoxLayout(cursor);
    cursor_row->addWidget(new QLabel("x"));
    cursor_row->addWidget(readout(CursorX, POSITION));
    cursor_row->addSpacing(8);
    cursor_row->addWidget(new QLabel("y"));
    cursor_row->addWidget(readout(CursorY, POSITION));
    cursor_row->addSpacing(8);
    cursor_row->addWidget(new QLabel("Value"));
    cursor_row->addWidget(readout(CursorValue, NUMBER));
    cursor_row->addStretch();

    // The object's signal to noise from the CCD equation.
    auto* noise = new QGroupBox("Object signal to noise");
    auto* noise_grid = new QGridLayout(noise);
    gain_ = make_edit(nullptr, "gain", {.digits = 6, .right = true});
    read_noise_ = make_edit(nullptr, "read_noise", {.digits = 6, .right = true});
    snr_ = make_readout(nullptr, "snr", NUMBER);
    error_ = make_readout(nullptr, "mag_error", NUMBER);
    snr_->setFocusPolicy(Qt::NoFocus);
    error_->setFocusPolicy(Qt::NoFocus);
    gain_->setToolTip("Electrons per count of the camera");
    read_noise_->setToolTip("Read noise of the camera in electrons");
    noise_grid->addWidget(new QLabel("Gain (e-/count)"), 0, 0);
    noise_grid->addWidget(gain_, 0, 1);
    noise_grid->addWidget(new QLabel("Read noise (e-)"), 0, 2);
    noise_grid->addWidget(read_noise_, 0, 3);
    noise_grid->addWidget(new QLabel("S/N"), 1, 0);
    noise_grid->addWidget(snr_, 1, 1);
    noise_grid->addWidget(new QLabel("Magnitude error"), 1, 2);
    noise_grid->addWidget(error_, 1, 3);
    noise_grid->setColumnStretch(0, 1);
    noise_grid->setColumnStretch(2, 1);
    connect(gain_, &QLineEdit::editingFinished, this, [this] { take_camera_value(gain_, true); });
    connect(read_noise_, &QLineEdit::editingFinished, this,
            [this] { take_camera_value(read_noise_, false); });
    gain_->setText(number_text(cfg.ccd_gain));
    read_noise_->setText(number_text(cfg.ccd_read_noise));

    auto* finished = make_button(nullptr, Finished, "Finished");
    auto* help = make_button(nullptr, Help, "Help");
    connect(finished, &QPushButton::clicked, this, &TPHDialog::PHKill);
    connect(help, &QPushButton::clicked, this, &TPHDialog::Dialog10Help);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(finished);
    buttons->addWidget(help);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(14, 12, 14, 12);
    top->addWidget(apertures);
    top->addWidget(sizes);
    top->addWidget(cursor);
    top->addWidget(noise);
    top->addSpacing(4);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);
    EvPaint();
}

void TPHDialog::EvPaint() {
    for (auto& [id, edit] : fields_) edit->setText(QString::fromStdString(photometry_field(id)));
    radios_[aperture_button()]->setChecked(true);
    radios_[target_button()]->setChecked(true);
    const SnrEstimate e = photometry_snr();
    snr_->setText(QString::fromStdString(snr_text(e)));
    error_->setText(QString::fromStdString(mag_error_text(e)));
}

void TPHDialog::take_camera_value(QLineEdit* edit, bool gain) {
    double& value = gain ? cfg.ccd_gain : cfg.ccd_read_noise;
    double typed = 0;
    const QByteArray text = edit->text().toLatin1();
    if (parse_ccd_value(text.constData(), gain, typed)) {
        value = typed;
    } else {
        // Put the old value back first: the box takes the focus, which ends
        // the editing again.
        edit->setText(number_text(value));
        messages(MSG_OWN_TEXT, gain ? "Sorry, the gain must be a number of electrons per count "
                                      "above 0"
                                    : "Sorry, the read noise must be a number of electrons, 0 "
                                      "or more");
    }
    EvPaint();
}

void TPHDialog::SetObject() {
    photometry_target('o');
    EvPaint();
}

void TPHDialog::SetComparison() {
    photometry_target('c');
    EvPaint();
}

void TPHDialog::SetBackground() {
    photometry_target('b');
    EvPaint();
}

void TPHDialog::SetAperture(int button_id) {
    photometry_aperture(button_id);
    EvPaint();
}

void TPHDialog::PHKill() {
    end_photometry();
    if (instance == this) instance = nullptr;
    finish();
}

void TPHDialog::Dialog10Help() {
    show_tool_help("Nocteris - Control Photometry",
                   "Select the value you wish to record when you next press the left mouse "
                   "button");
}

void cm_photometry(QWidget* parent, int merging, int fit) {
    if (!start_photometry(merging, fit)) return;
    if (instance) instance->finish(); // left over from a mode that ended elsewhere
    instance = new TPHDialog(parent);
    instance->show();
}

TPHDialog* photometry_dialog() {
    return instance.data();
}

void photometry_refresh() {
    if (instance) instance->EvPaint();
}
