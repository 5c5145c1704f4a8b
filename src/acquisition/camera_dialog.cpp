#include "acquisition/camera_dialog.h"
#include "platform/command_ids.h"

#include "acquisition/acquisition_state.h"
#include "acquisition/camera_controls.h"
#include "acquisition/filter_wheel.h"
#include "acquisition/selfguide_controls.h"
#include "acquisition/sequence.h"
#include "dialogs/controls.h"
#include "dialogs/dib_image.h"
#include "dialogs/scroll_binding.h"
#include "display/dib.h"
#include "display/display_pipeline.h"
#include "display/image_store.h"
#include "files/file_state.h"
#include "guiding/ao_params.h"
#include "guiding/ao_training.h"
#include "guiding/camera_training.h"
#include "guiding/guide_loop.h"
#include "guiding/guide_params.h"
#include "guiding/guiding_state.h"
#include "platform/clock.h"
#include "platform/host_path.h"
#include "platform/messages.h"
#include "platform/ui.h"
#include "settings/settings.h"
#include "star/star_state.h"
#include "telescope/ao_unit.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <QKeyEvent>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

const char* const HELP_TEXT =
    "Exposure ranges: choose thousandths, hundredths or tenths of a second for bright "
    "objects and focusing, seconds or minutes for faint ones. Set the value with the arrows "
    "or type it into the box; \"Take Photo\" takes whatever you typed.\n\n"
    "Focusing: \"Start\" takes one exposure after another and shows each at a quarter of its "
    "size, with the brightest value and the star width (FWHM) of the top-left corner. Turn the "
    "focuser until Max Value is highest and FWHM smallest. \"Stop\", or a click anywhere in "
    "this window, ends the loop. Previews need an exposure below 100 units, and not in "
    "minutes.\n\n"
    "Several exposures are stacked into one image (summed, or averaged when \"Average "
    "Multiple Exposures\" is ticked); the alternative slew method follows a drifting star "
    "better. Continuous Mode repeats the exposure until you press a key or click, pausing "
    "for the set delay between images.\n\n"
    "While a sequence runs, any key or mouse click stops it after the current image.";

// The fields here sit closer to their digits than the other dialogs' do.
constexpr int FRAME = 14;
constexpr int BAR_WIDTH = 150;

QLabel* label(QWidget* parent, const char* text) {
    return new QLabel(text, parent);
}

QGroupBox* group(QWidget* parent, const char* title) {
    return new QGroupBox(title, parent);
}

QColor picture_background() {
    return QColor(24, 24, 32);
}

} // namespace

// The quarter-scale picture. Its top-left pixel stands for the dialog point
// (14, 90) of the original layout, so marks are drawn at coordinate / 4.
class FocusPicture : public QWidget {
  public:
    explicit FocusPicture(TQVDialog* dialog) : QWidget(dialog), dialog_(dialog) {
        setObjectName("picture");
        setFixedSize(disp.width1 / 4 + 2, disp.height1 / 4 + 2);
        setMouseTracking(true);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QImage& img = dialog_->picture_image();
        if (img.isNull()) {
            p.fillRect(rect(), picture_background());
            p.setPen(QColor(150, 150, 160));
            p.drawText(rect(), Qt::AlignCenter, "No image yet\n\"Start\" takes a preview");
        } else {
            p.drawImage(0, 0, img);
        }
        if (guide.picked_star) {
            const int x = guide.pick_xcent / 4;
            const int y = guide.pick_ycent / 4;
            p.setPen(QPen(QColor(255, 60, 60), 1));
            p.drawLine(x - 20, y, x + 20, y);
            p.drawLine(x, y - 20, x, y + 20);
        }
        if (disp.show_crosswires) {
            // Two lines each way with a 12-pixel gap around the centre.
            const int cx = disp.width1 / 8;
            const int cy = disp.height1 / 8;
            p.setPen(QPen(QColor(80, 220, 120), 1));
            p.drawLine(cx - 6, 0, cx - 6, height());
            p.drawLine(cx + 6, 0, cx + 6, height());
            p.drawLine(0, cy - 6, width(), cy - 6);
            p.drawLine(0, cy + 6, width(), cy + 6);
        }
        p.setPen(palette().color(QPalette::Mid));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    void mouseMoveEvent(QMouseEvent* e) override { dialog_->picture_move(e->position().toPoint()); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton || e->button() == Qt::RightButton)
            dialog_->picture_click(e->position().toPoint(), e->button() == Qt::RightButton);
    }

  private:
    TQVDialog* dialog_;
};

TQVDialog::TQVDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Nocteris Control Interface");
    camera_dialog_init();
    build();
    reload_picture();
    show_values();
}

TQVDialog::~TQVDialog() {
    if (previewing_) qApp->removeEventFilter(this);
}

void TQVDialog::build() {
    auto* top = new QVBoxLayout(this);
    top->setSizeConstraint(QLayout::SetFixedSize);
    auto* columns = new QHBoxLayout;
    columns->setSpacing(10);
    columns->addWidget(build_picture_column(), 0, Qt::AlignTop);
    columns->addWidget(build_exposure_column(), 0, Qt::AlignTop);
    columns->addWidget(build_guiding_column(), 0, Qt::AlignTop);
    top->addLayout(columns);

    // Check boxes that only toggle their flag.
    const std::pair<int, int*> flags[] = {
        {106, &acq.slew_sum_average}, {115, &acq.slew_sum_alt},      {117, &cfg.exposure_delay},
        {118, &cfg.continuous},       {116, &cfg.auto_save_fits},    {113, &cfg.darkframe_remove},
        {122, &cfg.flatfield_remove}, {132, &acq.focus_wait},        {747, &acq.use_median},
        {775, &disp.show_crosswires}, {780, &guide.bin_focus_frame}, {781, &acq.auto_advance},
        {744, &cfg.ignore_backlash}};
    for (const auto& [id, flag] : flags) {
        int* f = flag;
        connect(find_control<QCheckBox>(this, id), &QCheckBox::clicked, this, [this, f] {
            take_typed();
            *f = !*f;
            show_values();
        });
    }
    connect(find_control<QCheckBox>(this, 710), &QCheckBox::clicked, this, [this] {
        take_typed();
        toggle_series_exposure();
        show_values();
    });
    // The main window owns the display stretch; the box shows its state.
    connect(find_control<QCheckBox>(this, 748), &QCheckBox::clicked, this, [this] {
        take_typed();
        platform::ui().send_command(CM_STRETCH_TOGGLE);
        show_values();
    });

    auto* buttons = new QHBoxLayout;
    QPushButton* help = make_button(this, 9, "Help");
    QPushButton* close = make_button(this, 2, "Close Dialog");
    QPushButton* photo = make_button(this, 1, "Take Photo");
    photo->setDefault(true);
    photo->setAutoDefault(true);
    buttons->addWidget(help);
    buttons->addStretch(1);
    buttons->addWidget(close);
    buttons->addWidget(photo);
    top->addSpacing(4);
    top->addLayout(buttons);
    connect(help, &QPushButton::clicked, this, &TQVDialog::Help);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(photo, &QPushButton::clicked, this, &TQVDialog::StartExposure);
}

QWidget* TQVDialog::build_picture_column() {
    auto* column = new QWidget(this);
    auto* v = new QVBoxLayout(column);
    v->setContentsMargins(0, 0, 0, 0);

    auto* screen = group(column, "Focus Screen");
    auto* sv = new QVBoxLayout(screen);
    picture_ = new FocusPicture(this);
    sv->addWidget(picture_, 0, Qt::AlignHCenter);
    auto* pick_row = new QHBoxLayout;
    QPushButton* pick = make_button(screen, 726, "Select Guide Star");
    pick_row->addWidget(pick);
    pick_row->addWidget(make_check(screen, 775, "Show Crosswires"));
    pick_row->addWidget(make_check(screen, 780, "Bin 2x2 Guiding"));
    pick_row->addStretch(1);
    sv->addLayout(pick_row);
    connect(pick, &QPushButton::clicked, this, &TQVDialog::SetPickStar);
    v->addWidget(screen);

    auto* coords = group(column, "Focus Screen and Guide Star Co-Ordinates");
    auto* cg = new QGridLayout(coords);
    cg->addWidget(label(coords, "Guide star"), 0, 0);
    cg->addWidget(label(coords, "x"), 0, 1, Qt::AlignRight);
    cg->addWidget(make_readout(coords, 751, {5, FRAME}), 0, 2);
    cg->addWidget(label(coords, "y"), 0, 3, Qt::AlignRight);
    cg->addWidget(make_readout(coords, 752, {5, FRAME}), 0, 4);
    cg->addWidget(label(coords, "Pointer"), 1, 0);
    cg->addWidget(label(coords, "x"), 1, 1, Qt::AlignRight);
    cg->addWidget(make_readout(coords, 754, {5, FRAME}), 1, 2);
    cg->addWidget(label(coords, "y"), 1, 3, Qt::AlignRight);
    cg->addWidget(make_readout(coords, 755, {5, FRAME}), 1, 4);
    cg->addWidget(label(coords, "value"), 1, 5, Qt::AlignRight);
    cg->addWidget(make_readout(coords, 753, {5, FRAME}), 1, 6);
    cg->setColumnStretch(7, 1);
    v->addWidget(coords);

    auto* focus = group(column, "Focus");
    auto* fg = new QGridLayout(focus);
    QPushButton* start = make_button(focus, 107, "Start");
    QPushButton* stop = make_button(focus, 108, "Stop");
    fg->addWidget(start, 0, 0);
    fg->addWidget(stop, 0, 1);
    fg->addWidget(make_check(focus, 132, "Pause between frames"), 0, 2, 1, 3);
    fg->addWidget(label(focus, "Max Value"), 1, 0);
    fg->addWidget(make_readout(focus, 109, {5, FRAME}), 1, 1);
    fg->addWidget(label(focus, "FWHM"), 1, 2, Qt::AlignRight);
    fg->addWidget(make_readout(focus, 716, {4, FRAME}), 1, 3);
    QScrollBar* stretch = make_bar(focus, 124, 120);
    stretch->setPageStep(2);
    fg->addWidget(label(focus, "Stretch"), 2, 0);
    fg->addWidget(stretch, 2, 1, 1, 3);
    fg->addWidget(make_check(focus, 748, "Apply Stretch to Images"), 3, 0, 1, 5);
    fg->addWidget(make_check(focus, 747, "Apply Median Filter to all Images"), 4, 0, 1, 5);
    fg->setColumnStretch(4, 1);
    connect(start, &QPushButton::clicked, this, &TQVDialog::Start);
    connect(stop, &QPushButton::clicked, this, &TQVDialog::Stop);
    bind_scroll_rules(stretch, scroll_dialog_stretch, dialog_stretch_position,
                      [this] { show_values(); });
    v->addWidget(focus);
    v->addStretch(1);
    return column;
}

QWidget* TQVDialog::build_exposure_column() {
    auto* column = new QWidget(this);
    auto* v = new QVBoxLayout(column);
    v->setContentsMargins(0, 0, 0, 0);

    auto* ranges = group(column, "Exposure Range");
    auto* rg = new QGridLayout(ranges);
    struct Range {
        int id;
        const char* text;
        char range;
    };
    const Range list[] = {{701, "Thousandth's", 'q'},
                          {702, "Hundredth's", 'h'},
                          {703, "Tenth's", 't'},
                          {704, "Seconds", 's'},
                          {705, "Minutes", 'm'}};
    for (int i = 0; i < 5; ++i) {
        QRadioButton* r = make_radio(ranges, list[i].id, list[i].text);
        rg->addWidget(r, i / 3, i % 3);
        const char range = list[i].range;
        connect(r, &QRadioButton::clicked, this, [this, range] {
            take_typed();
            set_exposure_range(range);
            show_values();
        });
    }
    v->addWidget(ranges);

    auto* expo = group(column, "Exposure");
    auto* eg = new QGridLayout(expo);
    QScrollBar* value_bar = make_bar(expo, 104, BAR_WIDTH);
    exposure_edit_ = make_edit(expo, 105, {6, FRAME});
    exposure_edit_->setMaxLength(9);
    QScrollBar* count_bar = make_bar(expo, 111, BAR_WIDTH);
    QScrollBar* delay_bar = make_bar(expo, 119, BAR_WIDTH);
    eg->addWidget(label(expo, "Exposure Value"), 0, 0);
    eg->addWidget(value_bar, 0, 1);
    eg->addWidget(exposure_edit_, 0, 2);
    eg->addWidget(label(expo, "No of Exposures"), 1, 0);
    eg->addWidget(count_bar, 1, 1);
    eg->addWidget(make_readout(expo, 112, {6, FRAME}), 1, 2);
    eg->addWidget(label(expo, "Delay between exposures (mins)"), 2, 0);
    eg->addWidget(delay_bar, 2, 1);
    eg->addWidget(make_readout(expo, 120, {6, FRAME}), 2, 2);
    auto* checks = new QGridLayout;
    checks->addWidget(make_check(expo, 106, "Average Multiple Exposures"), 0, 0);
    checks->addWidget(make_check(expo, 115, "Alternative Slew Method"), 0, 1);
    checks->addWidget(make_check(expo, 117, "Delay before exposure"), 1, 0);
    checks->addWidget(make_check(expo, 118, "Continuous Mode"), 1, 1);
    checks->addWidget(make_check(expo, 710, "Series Exposure"), 2, 0);
    checks->addWidget(make_check(expo, 116, "Auto Save Image"), 2, 1);
    eg->addLayout(checks, 3, 0, 1, 3);
    auto* mode_row = new QHBoxLayout;
    mode_row->addWidget(label(expo, "Camera Mode"));
    mode_row->addWidget(make_readout(expo, 17, {16, FRAME}));
    mode_row->addStretch(1);
    eg->addLayout(mode_row, 4, 0, 1, 3);
    v->addWidget(expo);

    const auto refresh = [this] { show_values(); };
    bind_scroll_rules(
        value_bar,
        [this](ScrollAction a, int pos) {
            take_typed();
            return scroll_exposure(a, pos);
        },
        [] { return std::clamp(cfg.exp_value, acq.min_exp, acq.max_exp); }, refresh);
    bind_scroll_rules(
        count_bar, scroll_no_images, [] { return seq.no_images; }, refresh);
    bind_scroll_rules(
        delay_bar, scroll_continuous_delay, [] { return cfg.continuous_delay; }, refresh);
    connect(exposure_edit_, &QLineEdit::editingFinished, this, [this] {
        take_typed();
        show_values();
    });

    auto* calib = group(column, "Calibration and Saving");
    auto* cg = new QGridLayout(calib);
    cg->addWidget(make_check(calib, 113, "Auto-Remove Dark Frame"), 0, 0);
    cg->addWidget(make_readout(calib, 114, {18, FRAME}), 0, 1, 1, 3);
    cg->addWidget(make_check(calib, 122, "Auto-Apply Flatfield"), 1, 0);
    cg->addWidget(make_readout(calib, 123, {18, FRAME}), 1, 1, 1, 3);
    cg->addWidget(label(calib, "Directory"), 2, 0);
    cg->addWidget(make_readout(calib, 139, {11, FRAME}), 2, 1);
    cg->addWidget(label(calib, "Last File no."), 2, 2, Qt::AlignRight);
    cg->addWidget(make_readout(calib, 121, {5, FRAME}), 2, 3);
    v->addWidget(calib);

    auto* wheel = group(column, "Filter Wheel");
    auto* wg = new QGridLayout(wheel);
    QPushButton* first = make_button(wheel, 12, "First");
    QPushButton* next = make_button(wheel, 13, "Next");
    QPushButton* prev = make_button(wheel, 14, "Previous");
    wg->addWidget(first, 0, 0);
    wg->addWidget(next, 0, 1);
    wg->addWidget(prev, 0, 2);
    auto* pos_row = new QHBoxLayout;
    pos_row->addWidget(label(wheel, "Position"));
    pos_row->addWidget(make_readout(wheel, 10, {2, FRAME}));
    pos_row->addWidget(make_readout(wheel, 11, {10, FRAME}));
    pos_row->addStretch(1);
    wg->addLayout(pos_row, 1, 0, 1, 3);
    wg->addWidget(make_check(wheel, 781, "Auto Advance Filter"), 2, 0, 1, 3);
    const auto move = [this](void (*step)()) {
        return [this, step] {
            take_typed();
            step();
            show_values();
        };
    };
    connect(first, &QPushButton::clicked, this, move(set_first_filter));
    connect(next, &QPushButton::clicked, this, move(set_next_filter));
    connect(prev, &QPushButton::clicked, this, move(set_prev_filter));
    v->addWidget(wheel);
    v->addStretch(1);

    return column;
}

QWidget* TQVDialog::build_guiding_column() {
    auto* column = new QWidget(this);
    auto* v = new QVBoxLayout(column);
    v->setContentsMargins(0, 0, 0, 0);

    auto* dark = group(column, "Guide Dark Frame");
    auto* dg = new QGridLayout(dark);
    QPushButton* take = make_button(dark, 724, "Take Dark Frame");
    QCheckBox* apply = make_check(dark, 725, "Apply Dark Frame");
    dg->addWidget(take, 0, 0);
    dg->addWidget(apply, 0, 1);
    QLineEdit* status = make_readout(dark, 723, {24, FRAME});
    status->setMinimumWidth(status->width());
    status->setMaximumWidth(QWIDGETSIZE_MAX);
    dg->addWidget(status, 1, 0, 1, 2);
    connect(take, &QPushButton::clicked, this, &TQVDialog::TakeDarkframe);
    connect(apply, &QCheckBox::clicked, this, [this] {
        toggle_apply_darkframe();
        show_values();
    });
    v->addWidget(dark);

    auto* guiding = group(column, "Guiding");
    auto* gg = new QGridLayout(guiding);
    int row = 0;
    gg->addWidget(label(guiding, "Test Telescope Drives"), row++, 0, 1, 4);
    gg->addWidget(label(guiding, "N / S"), row, 0);
    QScrollBar* ns_bar = make_bar(guiding, 721, 100);
    QScrollBar* ew_bar = make_bar(guiding, 722, 100);
    gg->addWidget(ns_bar, row, 1);
    gg->addWidget(label(guiding, "E / W"), row, 2, Qt::AlignRight);
    gg->addWidget(ew_bar, row++, 3);
    QPushButton* train = make_button(guiding, 727, "Train");
    QPushButton* use_default = make_button(guiding, 729, "Use Defaults");
    gg->addWidget(train, row, 0);
    gg->addWidget(make_readout(guiding, 728, {16, FRAME}), row, 1, 1, 2);
    gg->addWidget(use_default, row++, 3);
    connect(train, &QPushButton::clicked, this, &TQVDialog::Train);
    connect(use_default, &QPushButton::clicked, this, &TQVDialog::SetDefault);
    // The arrows act while held: left is North (or West), right South (or
    // East); the release, by mouse or key, stops the move.
    for (auto [bar, minus, plus] : {std::tuple{ns_bar, 'n', 's'}, std::tuple{ew_bar, 'w', 'e'}}) {
        bar->setRange(0, 2);
        bar->setPageStep(1);
        bar->setValue(1);
        bar->setToolTip(minus == 'n' ? "Hold an arrow: left North, right South"
                                     : "Hold an arrow: left West, right East");
        bar->installEventFilter(this);
        const char m = minus, p = plus;
        QScrollBar* b = bar;
        connect(bar, &QAbstractSlider::actionTriggered, this, [this, b, m, p](int action) {
            const ScrollAction a = scroll_action(action);
            if (a == ScrollAction::LineLeft || a == ScrollAction::PageLeft)
                drive_test_press(m);
            else if (a == ScrollAction::LineRight || a == ScrollAction::PageRight)
                drive_test_press(p);
            b->setSliderPosition(1);
        });
    }

    auto* params = new QGridLayout;
    params->addWidget(label(guiding, "Guiding Parameters"), 0, 0);
    params->addWidget(label(guiding, "Default"), 0, 1, Qt::AlignHCenter);
    params->addWidget(label(guiding, "Latest"), 0, 2, Qt::AlignHCenter);
    const struct {
        const char* name;
        int def;
        int latest;
    } rows[] = {{"RA rate", 730, 735},
                {"Dec rate", 732, 736},
                {"RA backlash", 733, 737},
                {"Dec backlash", 734, 738},
                {"RA angle", 739, 741}};
    for (int i = 0; i < 5; ++i) {
        QLineEdit* def = make_edit(guiding, rows[i].def, {6, FRAME});
        def->setMaxLength(6);
        params->addWidget(label(guiding, rows[i].name), i + 1, 0);
        params->addWidget(def, i + 1, 1);
        params->addWidget(make_readout(guiding, rows[i].latest, {6, FRAME}), i + 1, 2);
    }
    QPushButton* change = make_button(guiding, 742, "Change Defaults");
    QPushButton* latest = make_button(guiding, 743, "Save Latest");
    params->addWidget(change, 6, 1);
    params->addWidget(latest, 6, 2);
    params->setColumnStretch(3, 1);
    gg->addLayout(params, row++, 0, 1, 4);
    gg->addWidget(make_check(guiding, 744, "Ignore Backlash"), row, 0, 1, 2);
    QCheckBox* angle = make_check(guiding, "ignore_angle", "Ignore RA Angle");
    gg->addWidget(angle, row++, 2, 1, 2);
    connect(angle, &QCheckBox::clicked, this, [this] {
        toggle_ignore_angle();
        show_values();
    });
    QCheckBox* ns = make_check(guiding, 745, "Swap n/s direction");
    QCheckBox* ew = make_check(guiding, 746, "Swap e/w direction");
    gg->addWidget(ns, row, 0, 1, 2);
    gg->addWidget(ew, row++, 2, 1, 2);
    gg->addWidget(label(guiding, "Guiding Mode"), row, 0);
    gg->addWidget(make_readout(guiding, 761, {14, FRAME}), row, 1, 1, 2);
    QPushButton* mode = make_button(guiding, 762, "Switch");
    gg->addWidget(mode, row++, 3);
    connect(mode, &QPushButton::clicked, this, &TQVDialog::ChangeGuiderMode);
    QCheckBox* self = make_check(guiding, 135, "Self Guiding");
    QCheckBox* self_dark = make_check(guiding, 138, "Self Guide Dark Frame");
    gg->addWidget(self, row, 0, 1, 2);
    gg->addWidget(self_dark, row++, 2, 1, 2);
    QPushButton* start_guiding = make_button(guiding, 15, "Start Guiding");
    QPushButton* guider_camera = make_button(guiding, 16, "Autoguider Camera");
    guider_camera->setToolTip("Close and open the autoguider camera's dialog");
    gg->addWidget(start_guiding, row, 0, 1, 2);
    gg->addWidget(guider_camera, row++, 2, 1, 2);
    connect(guider_camera, &QPushButton::clicked, this, &TQVDialog::ExitAutoguiderCam);
    v->addWidget(guiding);
    connect(self, &QCheckBox::clicked, this, &TQVDialog::SetSelfGuiding);
    connect(self_dark, &QCheckBox::clicked, this, &TQVDialog::SetSelfGuidingDarkframe);
    connect(start_guiding, &QPushButton::clicked, this, &TQVDialog::StartAutoGuide);

    connect(change, &QPushButton::clicked, this, [this] {
        take_typed();
        const auto t = [this](int id) { return text_of(id).toLatin1(); };
        change_defaults(t(730).constData(), t(732).constData(), t(733).constData(),
                        t(734).constData(), t(739).constData());
        show_guiding_defaults();
        show_values();
    });
    connect(latest, &QPushButton::clicked, this, [this] {
        take_typed();
        save_latest();
        show_guiding_defaults();
        show_values();
    });
    connect(ns, &QCheckBox::clicked, this, [this] {
        swap_ns();
        show_values();
    });
    connect(ew, &QCheckBox::clicked, this, [this] {
        swap_ew();
        show_values();
    });

    auto* ao = group(column, "AO Unit Controls");
    auto* ag = new QGridLayout(ao);
    ag->addWidget(label(ao, "Rate x"), 0, 0);
    ag->addWidget(make_edit(ao, 763, {4, FRAME}), 0, 1);
    ag->addWidget(label(ao, "y"), 0, 2, Qt::AlignRight);
    ag->addWidget(make_edit(ao, 764, {4, FRAME}), 0, 3);
    QPushButton* set_values = make_button(ao, 767, "Set Values");
    ag->addWidget(set_values, 0, 4);
    ag->addWidget(label(ao, "Trained x"), 1, 0);
    ag->addWidget(make_readout(ao, 765, {4, FRAME}), 1, 1);
    ag->addWidget(label(ao, "y"), 1, 2, Qt::AlignRight);
    ag->addWidget(make_readout(ao, 766, {4, FRAME}), 1, 3);
    QPushButton* copy = make_button(ao, 768, "Copy Trained");
    ag->addWidget(copy, 1, 4);
    QPushButton* ao_ns = make_button(ao, 769, "Swap AO n/s");
    QPushButton* ao_ew = make_button(ao, 770, "Swap AO e/w");
    QPushButton* ao_train = make_button(ao, 771, "Train AO");
    ag->addWidget(ao_ns, 2, 0, 1, 2);
    ag->addWidget(ao_ew, 2, 2, 1, 2);
    ag->addWidget(ao_train, 2, 4);
    ag->addWidget(label(ao, "Mode"), 3, 0);
    ag->addWidget(make_readout(ao, 773, {8, FRAME}), 3, 1, 1, 3);
    QPushButton* ao_mode = make_button(ao, 774, "Change Mode");
    ag->addWidget(ao_mode, 3, 4);
    // The serial route: the camera's two ports or the PC's.
    auto* ports = new QHBoxLayout;
    QRadioButton* com1 = make_radio(ao, "ao_com1", "Com 1");
    QRadioButton* com2 = make_radio(ao, "ao_com2", "Com 2");
    QRadioButton* pc = make_radio(ao, "ao_pc", "PC Port");
    for (QRadioButton* r : {com1, com2, pc}) {
        r->setAutoExclusive(false); // the paint shows the setting, whatever was clicked
        ports->addWidget(r);
    }
    ag->addLayout(ports, 4, 0, 1, 4);
    QPushButton* centre = make_button(ao, 772, "Centralise");
    ag->addWidget(centre, 4, 4);
    v->addWidget(ao);
    v->addStretch(1);

    connect(set_values, &QPushButton::clicked, this, &TQVDialog::SetAOValues);
    connect(copy, &QPushButton::clicked, this, &TQVDialog::CopyAOValues);
    connect(ao_ns, &QPushButton::clicked, this, &TQVDialog::SetAONS);
    connect(ao_ew, &QPushButton::clicked, this, &TQVDialog::SetAOEW);
    connect(ao_train, &QPushButton::clicked, this, &TQVDialog::AOTrain);
    connect(ao_mode, &QPushButton::clicked, this, &TQVDialog::ChangeAOMode);
    connect(centre, &QPushButton::clicked, this, &TQVDialog::CentraliseAOUnit);
    connect(com1, &QRadioButton::clicked, this, &TQVDialog::SetAOCom1);
    connect(com2, &QRadioButton::clicked, this, &TQVDialog::SetAOCom2);
    connect(pc, &QRadioButton::clicked, this, &TQVDialog::SetAOPCport);
    show_ao_rates();
    show_guiding_defaults();
    return column;
}

void TQVDialog::show_guiding_defaults() {
    const auto set = [this](int id, long v) {
        if (auto* e = find_control<QLineEdit>(this, id)) e->setText(QString::number(v));
    };
    set(730, cfg.slewx);
    set(732, cfg.slewy);
    set(733, cfg.backlashx);
    set(734, cfg.backlashy);
    set(739, static_cast<long>(autoguide.theta));
}

QString TQVDialog::text_of(int id) const {
    auto* e = find_control<QLineEdit>(this, id);
    return e ? e->text() : QString();
}

void TQVDialog::take_typed() {
    if (exposure_edit_) take_typed_exposure(exposure_edit_->text().toLatin1().constData());
}

void TQVDialog::show_values() {
    const auto set_bar = [this](int id, int lo, int hi, int v) {
        if (auto* b = find_control<QScrollBar>(this, id)) {
            b->setRange(lo, hi);
            b->setValue(std::clamp(v, lo, hi));
        }
    };

    const char ranges[] = {'q', 'h', 't', 's', 'm'};
    for (int i = 0; i < 5; ++i) show_checked(this, 701 + i, cfg.exp_range == ranges[i]);
    set_bar(104, acq.min_exp, acq.max_exp, cfg.exp_value);
    show_number(this, 105, cfg.exp_value);
    set_bar(111, 1, NO_IMAGES_MAX, seq.no_images);
    show_number(this, 112, seq.no_images);
    set_bar(119, 0, CONTINUOUS_DELAY_MAX, cfg.continuous_delay);
    show_number(this, 120, cfg.continuous_delay);
    set_bar(124, DIALOG_STRETCH_MIN, DIALOG_STRETCH_MAX, dialog_stretch_position());

    show_checked(this, 106, acq.slew_sum_average);
    show_checked(this, 115, acq.slew_sum_alt);
    show_checked(this, 117, cfg.exposure_delay);
    show_checked(this, 118, cfg.continuous);
    show_checked(this, 710, seq.series_exposure);
    show_checked(this, 116, cfg.auto_save_fits);
    show_checked(this, 113, cfg.darkframe_remove);
    show_checked(this, 122, cfg.flatfield_remove);
    show_checked(this, 132, acq.focus_wait);
    show_checked(this, 748, disp.max_stretch);
    show_checked(this, 747, acq.use_median);
    show_checked(this, 775, disp.show_crosswires);
    show_checked(this, 780, guide.bin_focus_frame);
    show_checked(this, 725, acq.use_darkframe);
    show_checked(this, 744, cfg.ignore_backlash);
    if (auto* b = findChild<QCheckBox*>("ignore_angle")) b->setChecked(cfg.ignore_RA_angle);
    show_checked(this, 135, guide.selfguiding);
    show_checked(this, 138, guide.selfguiding_darkframe);
    show_checked(this, 745, ns_swapped());
    show_checked(this, 746, ew_swapped());
    show_checked(this, 781, acq.auto_advance);

    show_text(this, 17, camera_mode_text());
    show_text(this, 114, QString::fromLocal8Bit(files.DarkFileName));
    show_text(this, 123, QString::fromLocal8Bit(files.FlatFileName));
    show_text(this, 139, QString::fromLocal8Bit(cfg.auto_save_subdir));
    show_number(this, 121, cfg.auto_save_num);
    show_number(this, 109, acq.max_focus_val);
    show_number(this, 716, acq.focus_FWHM);

    const bool wheel = filter_wheel_available();
    for (int id : {12, 13, 14, 10, 11, 781}) show_enabled(this, id, wheel);
    show_number(this, 10, acq.Filterbox_Filter);
    show_text(this, 11, QString::fromLocal8Bit(current_filter_name()));

    if (guide.picked_star) {
        guide.centre_it = 1; // later clicks snap onto the star
        show_number(this, 751, guide.pick_xcent);
        show_number(this, 752, guide.pick_ycent);
    } else {
        show_text(this, 751, QString());
        show_text(this, 752, QString());
    }

    show_text(this, 723, guide_dark_status_text());
    show_enabled(this, 725, acq.guider_darkframe_loaded);
    show_text(this, 728, trained_vals_text());
    if (auto* b = find_control<QPushButton>(this, 729)) b->setText(use_default_caption());
    show_number(this, 735, autoguide.RA_rate);
    show_number(this, 736, autoguide.Dec_rate);
    show_number(this, 737, autoguide.RA_backlash);
    show_number(this, 738, autoguide.Dec_backlash);
    show_number(this, 741, static_cast<long>(autoguide.theta));
    show_enabled(this, 743, autoguide.trained);
    show_text(this, 761, guiding_mode_text());
    show_number(this, 765, cfg.AOUnit_xrate);
    show_number(this, 766, cfg.AOUnit_yrate);
    show_text(this, 773, ao_mode_text());
    if (auto* b = findChild<QRadioButton*>("ao_com1")) b->setChecked(cfg.AOUnit_comport == 0);
    if (auto* b = findChild<QRadioButton*>("ao_com2")) b->setChecked(cfg.AOUnit_comport == 1);
    if (auto* b = findChild<QRadioButton*>("ao_pc")) b->setChecked(cfg.AOUnit_comport >= 3);

    const bool busy = previewing_ || training_;
    show_enabled(this, 107, !busy);
    show_enabled(this, 724, !busy);
    show_enabled(this, 727, !busy);
    show_enabled(this, 771, !busy);
    show_enabled(this, 15, !busy);
    show_enabled(this, 16, !busy);
    show_enabled(this, 1, !busy);
    show_enabled(this, 108, previewing_);
    if (picture_) picture_->update();
}

void TQVDialog::reload_picture() {
    picture_image_ = QImage();
    if (!disp.focussed || !picture_) return;
    Dib dib;
    // While a training runs the display writes its frames to the guide
    // window's file.
    const char* file = guide.training ? disp.BMPname_focus : disp.BMPname_main;
    if (!load_dib(platform::host_path(file), dib) || dib.width < 1 || dib.height < 1) return;
    // Each picture pixel shows the brightest of the pixels it covers, so
    // stars a few pixels wide stay visible at a quarter of the size.
    const QImage full = dib_image(dib);
    const int pw = picture_->width();
    const int ph = picture_->height();
    QImage pic(pw, ph, QImage::Format_RGB32);
    for (int py = 0; py < ph; ++py) {
        const int y0 = py * dib.height / ph;
        const int y1 = std::max(y0 + 1, (py + 1) * dib.height / ph);
        auto* out = reinterpret_cast<QRgb*>(pic.scanLine(py));
        for (int px = 0; px < pw; ++px) {
            const int x0 = px * dib.width / pw;
            const int x1 = std::max(x0 + 1, (px + 1) * dib.width / pw);
            unsigned char top = 0;
            for (int y = y0; y < y1; ++y) {
                const unsigned char* row = full.constScanLine(y);
                for (int x = x0; x < x1; ++x) top = std::max(top, row[x]);
            }
            out[px] = full.color(top);
        }
    }
    picture_image_ = pic;
}

void TQVDialog::StartExposure() {
    if (!exposure_edit_ || !take_photo(exposure_edit_->text().toLatin1().constData())) return;
    if (const char* why = take_photo_refusal()) {
        messages(MSG_OWN_TEXT, why);
        return;
    }
    accept();
}

void TQVDialog::Start() {
    if (previewing_) return;
    take_typed();
    if (!begin_preview()) {
        show_values();
        return;
    }
    previewing_ = true;
    // Any left press in the dialog stops the loop, whichever control it hits.
    qApp->installEventFilter(this);
    show_values();
    while (!acq.stopit) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (acq.stopit) break;
        platform::ui().beep();
        if (cfg.focus_delay) pause_one_second();
        if (acq.stopit) break;
        bool whole = false;
        const int r = camera_dialog_pass(&whole);
        reload_picture();
        show_values();
        picture_->repaint();
        // A camera that has gone, or a bitmap that cannot be written, would
        // fail again on every pass, each time with its message box.
        if (!whole || r != BMP_OK) acq.stopit = 1;
    }
    qApp->removeEventFilter(this);
    previewing_ = false;
    show_values();
}

void TQVDialog::pause_one_second() {
    const std::uint32_t start = platform::now_ms();
    while (!acq.stopit && platform::now_ms() - start < 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        platform::sleep_ms(10);
    }
}

void TQVDialog::Stop() {
    acq.stopit = 1;
}

void TQVDialog::TakeDarkframe() {
    if (previewing_) return;
    take_typed();
    if (take_guide_darkframe()) reload_picture();
    show_values();
}

void TQVDialog::SetPickStar() {
    take_typed();
    arm_pick_star();
    picture_->setCursor(Qt::CrossCursor);
    show_values();
}

void TQVDialog::Help() {
    platform::ui().message_box(HELP_TEXT, "Nocteris - Control ZQ Camera");
}

void TQVDialog::picture_move(QPoint at) {
    const auto set = [this](int id, const QString& t) {
        if (auto* e = find_control<QLineEdit>(this, id)) e->setText(t);
    };
    const int value = picture_pixel_value(at.x(), at.y());
    if (value < 0) return;
    set(754, QString::number(at.x() * 4));
    set(755, QString::number(at.y() * 4));
    set(753, QString::number(value));
}

void TQVDialog::picture_click(QPoint at, bool right) {
    drive_test_release(); // a click also stops a test move
    picture_move(at);
    if (right) guide.centre_it = 1;
    if (dialog_pick_star(at.x(), at.y()) == PickResult::NotArmed) return;
    if (!guide.pick_star) picture_->unsetCursor();
    show_values();
}

void TQVDialog::done(int result) {
    acq.stopit = 1; // closing ends the preview loop at its next pass
    training_stop_ = true;
    drive_test_release(); // and never leaves the mount moving
    QDialog::done(result);
}

// The training's view of the dialog: its caption, its image command with the
// picture, and a click that ends the run.
class DialogTraining : public TrainingHost {
  public:
    explicit DialogTraining(TQVDialog& d) : d_(d) {}
    void set_caption(const char* caption) override {
        d_.setWindowTitle(QString::fromLatin1(caption));
    }
    bool take_image() override {
        disp.focussed = 1; // the picture shows the training's frames
        bool whole = false;
        camera_dialog_pass(&whole);
        d_.reload_picture();
        d_.show_values();
        d_.picture_->repaint();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return whole;
    }
    void refresh() override { d_.show_values(); }
    bool stop_requested() override { return d_.training_stop_; }

  private:
    TQVDialog& d_;
};

void TQVDialog::Train() {
    if (previewing_ || training_) return;
    take_typed();
    training_ = true;
    training_stop_ = false;
    qApp->installEventFilter(this);
    show_values();
    DialogTraining host(*this);
    GuideLog log;
    eight_position_training(host, &log);
    qApp->removeEventFilter(this);
    training_ = false;
    show_values();
}

void TQVDialog::show_ao_rates() {
    // The typed rates, shown at opening and after they were taken.
    if (auto* e = find_control<QLineEdit>(this, 763)) e->setText(QString::number(cfg.AOUnit_slewx));
    if (auto* e = find_control<QLineEdit>(this, 764)) e->setText(QString::number(cfg.AOUnit_slewy));
}

void TQVDialog::ChangeGuiderMode() {
    change_guider_mode();
    show_values();
}

void TQVDialog::SetAONS() {
    set_ao_ns();
    show_values();
}

void TQVDialog::SetAOEW() {
    set_ao_ew();
    show_values();
}

void TQVDialog::SetAOValues() {
    set_ao_values(text_of(763).toLatin1().constData(), text_of(764).toLatin1().constData());
    show_ao_rates();
    show_values();
}

void TQVDialog::CopyAOValues() {
    copy_ao_values();
    show_ao_rates();
    show_values();
}

void TQVDialog::ChangeAOMode() {
    change_ao_mode();
    show_values();
}

void TQVDialog::CentraliseAOUnit() {
    ::CentraliseAOUnit();
    show_values();
}

void TQVDialog::SetAOCom1() {
    set_ao_com1();
    show_values();
}

void TQVDialog::SetAOCom2() {
    set_ao_com2();
    show_values();
}

void TQVDialog::SetAOPCport() {
    set_ao_pc_port();
    show_values();
}

void TQVDialog::AOTrain() {
    if (previewing_ || training_) return;
    take_typed();
    training_ = true;
    training_stop_ = false;
    qApp->installEventFilter(this);
    show_values();
    DialogTraining host(*this);
    ::AOTrain(host);
    qApp->removeEventFilter(this);
    training_ = false;
    show_values();
}

void TQVDialog::SetDefault() {
    toggle_use_trained();
    show_values();
}

void TQVDialog::StartAutoGuide() {
    if (!exposure_edit_ || !start_auto_guide(exposure_edit_->text().toLatin1().constData())) return;
    accept();
}

void TQVDialog::ExitAutoguiderCam() {
    if (exit_autoguider_cam()) done(2);
}

void TQVDialog::SetSelfGuiding() {
    take_typed();
    set_self_guiding();
    show_values();
}

void TQVDialog::SetSelfGuidingDarkframe() {
    take_typed();
    set_self_guiding_darkframe();
    show_values();
}

bool TQVDialog::eventFilter(QObject* obj, QEvent* ev) {
    // A test move lasts while its arrow is held.
    if (obj->objectName() == id_name(721) || obj->objectName() == id_name(722)) {
        if (ev->type() == QEvent::MouseButtonRelease ||
            (ev->type() == QEvent::KeyRelease && !static_cast<QKeyEvent*>(ev)->isAutoRepeat()))
            drive_test_release();
    }
    // During a training a click anywhere in the dialog ends it, and does
    // nothing else.
    if (training_ && ev->type() == QEvent::MouseButtonPress && obj->isWidgetType() &&
        static_cast<QWidget*>(obj)->window() == this) {
        training_stop_ = true;
        return true;
    }
    if (previewing_ && ev->type() == QEvent::MouseButtonPress && obj->isWidgetType()) {
        auto* w = static_cast<QWidget*>(obj);
        if (static_cast<QMouseEvent*>(ev)->button() == Qt::LeftButton && w->window() == this)
            acq.stopit = 1;
    }
    return QDialog::eventFilter(obj, ev);
}

bool run_camera_dialog(QWidget* parent) {
    TQVDialog dialog(parent);
    return dialog.exec() == QDialog::Accepted;
}
