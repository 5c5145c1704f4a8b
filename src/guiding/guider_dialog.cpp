#include "guiding/guider_dialog.h"

#include "acquisition/acquisition_state.h"
#include "dialogs/controls.h"
#include "dialogs/dib_image.h"
#include "dialogs/scroll_binding.h"
#include "display/dib.h"
#include "display/display_pipeline.h"
#include "display/image_store.h"
#include "guiding/ao_params.h"
#include "guiding/ao_training.h"
#include "guiding/camera_training.h"
#include "guiding/guide_log.h"
#include "guiding/guide_params.h"
#include "guiding/guider_controls.h"
#include "guiding/guiding_state.h"
#include "platform/clock.h"
#include "platform/host_path.h"
#include "platform/ui.h"
#include "settings/settings.h"
#include "star/star_state.h"
#include "telescope/telescope_state.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

// Control ids.
constexpr int ID_START = 101, ID_STOP = 102, ID_TAKE_DARK = 103, ID_USE_DARK = 104;
constexpr int ID_DARK_STATUS = 105, ID_MEDIAN = 106, ID_MAX_STRETCH = 107, ID_DELAY = 108;
constexpr int ID_CONTINUOUS = 109, ID_EXP_DOWN = 110, ID_EXP_UP = 111, ID_EXP_VALUE = 112;
constexpr int ID_HUNDREDTHS = 113, ID_TENTHS = 114, ID_SECONDS = 115, ID_STRETCH = 116;
constexpr int ID_STRETCH_VALUE = 117, ID_POINTER_X = 118, ID_POINTER_Y = 119;
constexpr int ID_POINTER_VALUE = 120, ID_PICK = 121, ID_PICKED_X = 122, ID_PICKED_Y = 123;
constexpr int ID_NORTH = 131, ID_SOUTH = 132, ID_EAST = 133, ID_WEST = 134;
constexpr int ID_GO_NORTH = 135, ID_GO_SOUTH = 136, ID_GO_EAST = 137, ID_GO_WEST = 138;
constexpr int ID_MAIN_CAMERA = 140, ID_START_GUIDING = 141, ID_CLOSE = 2;
constexpr int ID_SLEWX = 150, ID_SLEWY = 151, ID_BACKX = 152, ID_BACKY = 153;
constexpr int ID_GUIDER_THETA = 154, ID_THETA = 155, ID_TRAINED = 156, ID_TRAIN = 157;
constexpr int ID_USE_DEFAULTS = 158, ID_IGNORE_BACKLASH = 159, ID_IGNORE_ANGLE = 160;
constexpr int ID_SWAP_NS = 161, ID_SWAP_EW = 162, ID_MODE = 163;
constexpr int ID_AO_SLEWX = 170, ID_AO_SLEWY = 171, ID_AO_XRATE = 172, ID_AO_YRATE = 173;
constexpr int ID_AO_TRAINED = 174, ID_AO_TRAIN = 175, ID_AO_COM1 = 176, ID_AO_COM0 = 177;
constexpr int ID_AO_COM_OTHER = 178, ID_AO_MODE = 179, ID_AO_SWAP_NS = 180, ID_AO_SWAP_EW = 181;
constexpr int ID_AO_MOUNT_SWAP_NS = 182, ID_AO_MOUNT_SWAP_EW = 183, ID_AO_SET_VALUES = 184;
constexpr int ID_AO_COPY = 185, ID_AO_USE_DEFAULTS = 186, ID_AO_CHANGE_MODE = 187;
constexpr int ID_AO_CENTRE = 188, ID_SWITCH_MODE = 189;

constexpr int FRAME = 14;
constexpr int GAP = 10;

QColor frame_background() {
    return QColor(24, 24, 32);
}

QToolButton* arrow_button(QWidget* parent, int id, Qt::ArrowType arrow, const char* label,
                          const char* tip) {
    auto* b = named(new QToolButton(parent), id);
    b->setArrowType(arrow);
    b->setText(label);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setToolTip(tip);
    b->setFixedSize(44, 42);
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

} // namespace

// The guider frame, 1:1. Its corner is the dialog point (10, 45), so the
// dialog's coordinates are the frame's plus that offset.
class GuiderPicture : public QWidget {
  public:
    explicit GuiderPicture(TGQVDialog* dialog) : QWidget(dialog), dialog_(dialog) {
        setObjectName("picture");
        setGeometry(GUIDER_FRAME_X, GUIDER_FRAME_Y, 500, GUIDER_HEIGHT);
        setMouseTracking(true);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QImage& img = dialog_->frame_image();
        p.fillRect(rect(), frame_background());
        if (img.isNull()) {
            p.setPen(QColor(150, 150, 160));
            p.drawText(rect(), Qt::AlignCenter, "No guider frame yet\n\"Start\" takes a preview");
        } else {
            p.drawImage(0, 0, img);
        }
        if (guide.guider_picked_star) {
            const int x = guide.guider_pick_xcent, y = guide.guider_pick_ycent;
            p.setPen(QPen(QColor(255, 60, 60), 1));
            p.drawLine(x - 10, y, x + 10, y);
            p.drawLine(x, y - 10, x, y + 10);
        }
    }
    QPoint dialog_point(QMouseEvent* e) const {
        return e->position().toPoint() + QPoint(GUIDER_FRAME_X, GUIDER_FRAME_Y);
    }
    void mouseMoveEvent(QMouseEvent* e) override { dialog_->EvMouseMove(dialog_point(e)); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton) dialog_->EvLButtonUp(dialog_point(e));
        if (e->button() == Qt::RightButton) dialog_->EvRButtonUp(dialog_point(e));
    }

  private:
    TGQVDialog* dialog_;
};

TGQVDialog::TGQVDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Auto Guider Camera Control");
    picture_ = new GuiderPicture(this);
    QWidget* readouts = build_readouts();
    QWidget* controls = build_controls();
    QWidget* side = build_side();
    for (QWidget* w : {readouts, controls, side}) w->adjustSize();
    // The read-outs fill the band above the frame, the controls sit under
    // it and the side column to its right.
    const int frame_right = GUIDER_FRAME_X + 500;
    const int frame_bottom = GUIDER_FRAME_Y + GUIDER_HEIGHT;
    readouts->move(GUIDER_FRAME_X, std::max(2, (GUIDER_FRAME_Y - readouts->height()) / 2));
    controls->move(GUIDER_FRAME_X, frame_bottom + GAP);
    side->move(std::max(frame_right, controls->x() + controls->width()) + GAP, 6);
    const int width = std::max({frame_right, GUIDER_FRAME_X + controls->width(),
                                readouts->x() + readouts->width(), side->x() + side->width()}) +
                      GAP;
    const int height =
        std::max(controls->y() + controls->height(), side->y() + side->height()) + GAP;
    setFixedSize(width, height);
    EvInitDialog();
}

TGQVDialog::~TGQVDialog() {
    if (previewing_) qApp->removeEventFilter(this);
}

QWidget* TGQVDialog::build_readouts() {
    auto* w = new QWidget(this);
    auto* row = new QHBoxLayout(w);
    row->setContentsMargins(0, 0, 0, 0);
    const auto add = [&](const char* text, int id, int digits) {
        row->addWidget(new QLabel(text, w));
        row->addWidget(make_readout(w, id, {digits, FRAME, true}));
    };
    add("Pointer x", ID_POINTER_X, 3);
    add("y", ID_POINTER_Y, 3);
    add("value", ID_POINTER_VALUE, 3);
    row->addSpacing(16);
    add("Guide star x", ID_PICKED_X, 3);
    add("y", ID_PICKED_Y, 3);
    return w;
}

QWidget* TGQVDialog::build_controls() {
    auto* w = new QWidget(this);
    auto* grid = new QGridLayout(w);
    grid->setContentsMargins(0, 0, 0, 0);

    auto* preview = new QGroupBox("Preview", w);
    auto* pg = new QGridLayout(preview);
    QPushButton* start = make_button(preview, ID_START, "Start");
    QPushButton* stop = make_button(preview, ID_STOP, "Stop");
    pg->addWidget(start, 0, 0);
    pg->addWidget(stop, 0, 1);
    QCheckBox* delay = make_check(preview, ID_DELAY, "Pause 1 s");
    delay->setToolTip("Wait a second between frames");
    pg->addWidget(delay, 1, 0, 1, 2);
    pg->addWidget(make_check(preview, ID_CONTINUOUS, "Continuous"), 2, 0, 1, 2);
    connect(start, &QPushButton::clicked, this, &TGQVDialog::Start);
    connect(stop, &QPushButton::clicked, this, &TGQVDialog::Stop);
    grid->addWidget(preview, 0, 0);

    auto* expo = new QGroupBox("Exposure", w);
    auto* eg = new QGridLayout(expo);
    const struct {
        int id;
        const char* text;
        char range;
    } units[] = {{ID_HUNDREDTHS, "Hundredths", 'h'},
                 {ID_TENTHS, "Tenths", 't'},
                 {ID_SECONDS, "Seconds", 's'}};
    for (int i = 0; i < 3; ++i) {
        QRadioButton* r = make_radio(expo, units[i].id, units[i].text);
        eg->addWidget(r, i, 0, 1, 3);
        const char range = units[i].range;
        connect(r, &QRadioButton::clicked, this, [this, range] {
            guider_set_range(range);
            ShowValues();
        });
    }
    QToolButton* down = arrow_button(expo, ID_EXP_DOWN, Qt::LeftArrow, "", "Shorter");
    QToolButton* up = arrow_button(expo, ID_EXP_UP, Qt::RightArrow, "", "Longer");
    for (QToolButton* b : {down, up}) {
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        b->setFixedSize(28, 24);
        b->setAutoRepeat(true);
    }
    eg->addWidget(down, 3, 0);
    eg->addWidget(make_readout(expo, ID_EXP_VALUE, {3, FRAME, true}), 3, 1);
    eg->addWidget(up, 3, 2);
    connect(down, &QToolButton::clicked, this, [this] {
        guider_decrement_exp();
        ShowValues();
    });
    connect(up, &QToolButton::clicked, this, [this] {
        guider_increment_exp();
        ShowValues();
    });
    grid->addWidget(expo, 0, 1);

    auto* display = new QGroupBox("Display", w);
    auto* dg = new QGridLayout(display);
    QScrollBar* stretch = make_bar(display, ID_STRETCH, 120, 5);
    stretch->setRange(GUIDER_STRETCH_MIN, GUIDER_STRETCH_MAX);
    dg->addWidget(new QLabel("Stretch", display), 0, 0);
    dg->addWidget(make_readout(display, ID_STRETCH_VALUE, {2, FRAME, true}), 0, 1, Qt::AlignRight);
    dg->addWidget(stretch, 1, 0, 1, 2);
    dg->addWidget(make_check(display, ID_MAX_STRETCH, "Max stretch"), 2, 0, 1, 2);
    dg->addWidget(make_check(display, ID_MEDIAN, "Median filter"), 3, 0, 1, 2);
    bind_scroll_rules(
        stretch, scroll_guider_stretch, [] { return disp.guider_stretch; },
        [this] {
            // The palette is the bitmap's: show the new stretch on this frame.
            guider_render();
            reload_frame();
            ShowValues();
        });
    grid->addWidget(display, 0, 2);

    auto* dark = new QGroupBox("Dark Frame", w);
    auto* kg = new QGridLayout(dark);
    QPushButton* take = make_button(dark, ID_TAKE_DARK, "Take Dark Frame");
    kg->addWidget(take, 0, 0);
    kg->addWidget(make_check(dark, ID_USE_DARK, "Use dark frame"), 0, 1);
    QLineEdit* status = make_readout(dark, ID_DARK_STATUS, {30, FRAME});
    kg->addWidget(status, 1, 0, 1, 2);
    connect(take, &QPushButton::clicked, this, &TGQVDialog::TakeDarkframe);
    connect(find_control<QCheckBox>(dark, ID_USE_DARK), &QCheckBox::clicked, this,
            &TGQVDialog::UseDarkframe);
    kg->setColumnStretch(2, 1);
    grid->addWidget(dark, 1, 0, 1, 2);

    // Beside the dark frame, under the frame it picks on, so that the side
    // column keeps the window short enough for a laptop screen.
    auto* star = new QGroupBox("Guide Star", w);
    auto* sg = new QVBoxLayout(star);
    QPushButton* pick = make_button(star, ID_PICK, "Select Guide Star");
    pick->setToolTip("Then click the star; a right click snaps onto it too");
    sg->addWidget(pick);
    sg->addStretch(1);
    connect(pick, &QPushButton::clicked, this, &TGQVDialog::SetPickStar);
    grid->addWidget(star, 1, 2);

    const std::pair<int, int*> flags[] = {{ID_DELAY, &autoguide.guider_exposure_delay},
                                          {ID_CONTINUOUS, &autoguide.guider_continuous},
                                          {ID_MEDIAN, &autoguide.guider_use_median},
                                          {ID_MAX_STRETCH, &disp.guider_max_stretch}};
    for (const auto& [id, flag] : flags) {
        int* f = flag;
        const bool palette = id == ID_MAX_STRETCH;
        connect(find_control<QCheckBox>(w, id), &QCheckBox::clicked, this, [this, f, palette] {
            *f = !*f;
            if (palette) {
                guider_render();
                reload_frame();
            }
            ShowValues();
        });
    }
    return w;
}

QWidget* TGQVDialog::build_side() {
    auto* w = new QWidget(this);
    auto* v = new QVBoxLayout(w);
    v->setContentsMargins(0, 0, 0, 0);

    auto* move = new QGroupBox(guider_move_title(), w);
    move->setObjectName("move");
    auto* mg = new QGridLayout(move);
    QToolButton* north = arrow_button(move, ID_NORTH, Qt::UpArrow, "N", "North (hold)");
    QToolButton* south = arrow_button(move, ID_SOUTH, Qt::DownArrow, "S", "South (hold)");
    QToolButton* west = arrow_button(move, ID_WEST, Qt::LeftArrow, "W", "West (hold)");
    QToolButton* east = arrow_button(move, ID_EAST, Qt::RightArrow, "E", "East (hold)");
    mg->addWidget(north, 0, 1);
    mg->addWidget(west, 1, 0);
    mg->addWidget(east, 1, 2);
    mg->addWidget(south, 2, 1);
    const std::pair<QToolButton*, char> holds[] = {
        {north, 'n'}, {south, 's'}, {east, 'e'}, {west, 'w'}};
    for (const auto& [b, which] : holds) {
        const char d = which;
        connect(b, &QToolButton::pressed, this, [this, d] {
            guider_move_press(d);
            ShowValues();
        });
        connect(b, &QToolButton::released, this, [this] {
            guider_move_release();
            ShowValues();
        });
    }
    auto* toggles = new QGridLayout;
    const struct {
        int id;
        const char* text;
        void (TGQVDialog::*go)();
    } gos[] = {{ID_GO_NORTH, "North", &TGQVDialog::GoNorth},
               {ID_GO_SOUTH, "South", &TGQVDialog::GoSouth},
               {ID_GO_EAST, "East", &TGQVDialog::GoEast},
               {ID_GO_WEST, "West", &TGQVDialog::GoWest}};
    for (int i = 0; i < 4; ++i) {
        QPushButton* b = make_button(move, gos[i].id, gos[i].text);
        b->setToolTip("Starts a move through the guide relays; any of these stops it");
        toggles->addWidget(b, i / 2, i % 2);
        connect(b, &QPushButton::clicked, this, gos[i].go);
    }
    mg->addLayout(toggles, 0, 3, 3, 1);
    mg->setColumnMinimumWidth(1, 44);
    mg->setColumnStretch(4, 1);
    v->addWidget(move);

    auto* params = new QGroupBox("Guiding Parameters", w);
    auto* gg = new QGridLayout(params);
    const struct {
        const char* name;
        int id;
    } rows[] = {{"RA rate", ID_SLEWX},         {"Dec rate", ID_SLEWY},
                {"RA backlash", ID_BACKX},     {"Dec backlash", ID_BACKY},
                {"RA angle", ID_GUIDER_THETA}, {"Camera angle", ID_THETA}};
    for (int i = 0; i < 6; ++i) {
        gg->addWidget(new QLabel(rows[i].name, params), i / 2, (i % 2) * 2);
        gg->addWidget(make_readout(params, rows[i].id, {5, FRAME, true}), i / 2, (i % 2) * 2 + 1);
    }
    gg->addWidget(make_readout(params, ID_TRAINED, {16, FRAME}), 3, 0, 1, 2);
    gg->addWidget(make_button(params, ID_TRAIN, "Train"), 3, 2);
    gg->addWidget(make_button(params, ID_USE_DEFAULTS, "Use Defaults"), 3, 3);
    gg->addWidget(make_check(params, ID_IGNORE_BACKLASH, "Ignore Backlash"), 4, 0, 1, 2);
    gg->addWidget(make_check(params, ID_IGNORE_ANGLE, "Ignore RA Angle"), 4, 2, 1, 2);
    gg->addWidget(make_check(params, ID_SWAP_NS, "Swap n/s direction"), 5, 0, 1, 2);
    gg->addWidget(make_check(params, ID_SWAP_EW, "Swap e/w direction"), 5, 2, 1, 2);
    gg->addWidget(new QLabel("Guiding with", params), 6, 0);
    gg->addWidget(make_readout(params, ID_MODE, {14, FRAME}), 6, 1, 1, 2);
    QPushButton* switch_mode = make_button(params, ID_SWITCH_MODE, "Switch");
    switch_mode->setToolTip("Guide with the telescope drives or the AO unit");
    gg->addWidget(switch_mode, 6, 3);
    connect(switch_mode, &QPushButton::clicked, this, &TGQVDialog::ChangeGuiderMode);
    v->addWidget(params);
    connect(find_control<QCheckBox>(params, ID_IGNORE_BACKLASH), &QCheckBox::clicked, this, [this] {
        cfg.ignore_backlash = !cfg.ignore_backlash;
        ShowValues();
    });
    connect(find_control<QCheckBox>(params, ID_IGNORE_ANGLE), &QCheckBox::clicked, this, [this] {
        toggle_ignore_angle();
        ShowValues();
    });
    connect(find_control<QCheckBox>(params, ID_SWAP_NS), &QCheckBox::clicked, this, [this] {
        guider_swap_ns();
        ShowValues();
    });
    connect(find_control<QCheckBox>(params, ID_SWAP_EW), &QCheckBox::clicked, this, [this] {
        guider_swap_ew();
        ShowValues();
    });

    v->addWidget(build_ao(w));

    auto* exits = new QHBoxLayout;
    QPushButton* main_camera = make_button(w, ID_MAIN_CAMERA, "Main Camera");
    main_camera->setToolTip("Close and open the main camera's dialog");
    QPushButton* start_guiding = make_button(w, ID_START_GUIDING, "Start Guiding");
    QPushButton* close = make_button(w, ID_CLOSE, "Close");
    exits->addWidget(main_camera);
    exits->addWidget(start_guiding);
    exits->addStretch(1);
    exits->addWidget(close);
    v->addSpacing(4);
    v->addLayout(exits);
    connect(main_camera, &QPushButton::clicked, this, &TGQVDialog::ExitMainCamera);
    connect(start_guiding, &QPushButton::clicked, this, &TGQVDialog::ExitStartGuiding);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    connect(find_control<QPushButton>(w, ID_TRAIN), &QPushButton::clicked, this,
            &TGQVDialog::Train);
    connect(find_control<QPushButton>(w, ID_USE_DEFAULTS), &QPushButton::clicked, this,
            &TGQVDialog::SetDefault);
    return w;
}

QWidget* TGQVDialog::build_ao(QWidget* parent) {
    auto* ao = new QGroupBox("AO Unit", parent);
    auto* ag = new QGridLayout(ao);
    ag->addWidget(new QLabel("Steps x", ao), 0, 0);
    ag->addWidget(make_edit(ao, ID_AO_SLEWX, {4, FRAME, true}), 0, 1);
    ag->addWidget(new QLabel("y", ao), 0, 2, Qt::AlignRight);
    ag->addWidget(make_edit(ao, ID_AO_SLEWY, {4, FRAME, true}), 0, 3);
    QPushButton* set_values = make_button(ao, ID_AO_SET_VALUES, "Set Values");
    set_values->setToolTip("Guide with the typed steps a pixel");
    ag->addWidget(set_values, 0, 4);
    ag->addWidget(new QLabel("Trained x", ao), 1, 0);
    ag->addWidget(make_readout(ao, ID_AO_XRATE, {4, FRAME, true}), 1, 1);
    ag->addWidget(new QLabel("y", ao), 1, 2, Qt::AlignRight);
    ag->addWidget(make_readout(ao, ID_AO_YRATE, {4, FRAME, true}), 1, 3);
    QPushButton* copy = make_button(ao, ID_AO_COPY, "Copy Trained");
    ag->addWidget(copy, 1, 4);
    ag->addWidget(make_readout(ao, ID_AO_TRAINED, {16, FRAME}), 2, 0, 1, 4);
    QPushButton* use = make_button(ao, ID_AO_USE_DEFAULTS, "Use Defaults");
    ag->addWidget(use, 2, 4);
    ag->addWidget(new QLabel("Mode", ao), 3, 0);
    ag->addWidget(make_readout(ao, ID_AO_MODE, {8, FRAME}), 3, 1, 1, 3);
    QPushButton* mode = make_button(ao, ID_AO_CHANGE_MODE, "Change Mode");
    mode->setToolTip("Parallel (guide socket) or serial");
    ag->addWidget(mode, 3, 4);
    // The serial route: the camera's two ports (indices 0 and 1) or the PC's.
    auto* ports = new QHBoxLayout;
    QRadioButton* com1 = make_radio(ao, ID_AO_COM0, "Com 1");
    QRadioButton* com2 = make_radio(ao, ID_AO_COM1, "Com 2");
    QRadioButton* pc = make_radio(ao, ID_AO_COM_OTHER, "PC Port");
    for (QRadioButton* r : {com1, com2, pc}) {
        r->setAutoExclusive(false); // the paint shows the setting, whatever was clicked
        ports->addWidget(r);
    }
    ports->addStretch(1);
    ag->addLayout(ports, 4, 0, 1, 4);
    QPushButton* centre = make_button(ao, ID_AO_CENTRE, "Centre AO");
    ag->addWidget(centre, 4, 4);
    ag->addWidget(make_check(ao, ID_AO_SWAP_NS, "Swap AO n/s"), 5, 0, 1, 2);
    ag->addWidget(make_check(ao, ID_AO_SWAP_EW, "Swap AO e/w"), 5, 2, 1, 2);
    QPushButton* train = make_button(ao, ID_AO_TRAIN, "Train AO");
    train->setToolTip("Steps the unit each way on the guide star");
    ag->addWidget(train, 5, 4);
    for (const auto& [id, text, col] : {std::tuple{ID_AO_MOUNT_SWAP_NS, "Swap mount n/s", 0},
                                        std::tuple{ID_AO_MOUNT_SWAP_EW, "Swap mount e/w", 2}}) {
        QCheckBox* c = make_check(ao, id, text);
        c->setToolTip("The directions the unit sends the mount when it is far off centre");
        ag->addWidget(c, 6, col, 1, 2);
    }
    ag->setColumnStretch(3, 1);

    const std::pair<int, void (TGQVDialog::*)()> actions[] = {
        {ID_AO_SET_VALUES, &TGQVDialog::SetAOValues},
        {ID_AO_COPY, &TGQVDialog::CopyAOValues},
        {ID_AO_USE_DEFAULTS, &TGQVDialog::SetAODefault},
        {ID_AO_CHANGE_MODE, &TGQVDialog::ChangeAOMode},
        {ID_AO_CENTRE, &TGQVDialog::CentraliseAOUnit},
        {ID_AO_TRAIN, &TGQVDialog::AOTrain},
        {ID_AO_COM1, &TGQVDialog::SetAOCom1},
        {ID_AO_COM0, &TGQVDialog::SetAOCom2},
        {ID_AO_COM_OTHER, &TGQVDialog::SetAOPCport},
        {ID_AO_SWAP_NS, &TGQVDialog::SetAONS},
        {ID_AO_SWAP_EW, &TGQVDialog::SetAOEW},
        {ID_AO_MOUNT_SWAP_NS, &TGQVDialog::SetAOMountNS},
        {ID_AO_MOUNT_SWAP_EW, &TGQVDialog::SetAOMountEW}};
    for (const auto& [id, handler] : actions)
        connect(find_control<QAbstractButton>(ao, id), &QAbstractButton::clicked, this, handler);
    return ao;
}

void TGQVDialog::EvInitDialog() {
    guider_dialog_init();
    reload_frame();
    show_ao_rates();
    ShowValues();
}

void TGQVDialog::show_ao_rates() {
    for (const auto& [id, rate] :
         {std::pair{ID_AO_SLEWX, cfg.AOUnit_slewx}, std::pair{ID_AO_SLEWY, cfg.AOUnit_slewy}})
        if (auto* e = find_control<QLineEdit>(this, id)) e->setText(QString::number(rate));
}

void TGQVDialog::ShowValues() {

    show_checked(this, ID_HUNDREDTHS, autoguide.exp_guider_range == 'h');
    show_checked(this, ID_TENTHS, autoguide.exp_guider_range == 't');
    show_checked(this, ID_SECONDS,
                 autoguide.exp_guider_range != 'h' && autoguide.exp_guider_range != 't');
    show_number(this, ID_EXP_VALUE, autoguide.exp_guider_value);
    if (auto* b = find_control<QScrollBar>(this, ID_STRETCH)) b->setValue(disp.guider_stretch);
    show_number(this, ID_STRETCH_VALUE, disp.guider_stretch);

    show_checked(this, ID_DELAY, autoguide.guider_exposure_delay);
    show_checked(this, ID_CONTINUOUS, autoguide.guider_continuous);
    show_checked(this, ID_MEDIAN, autoguide.guider_use_median);
    show_checked(this, ID_MAX_STRETCH, disp.guider_max_stretch);
    show_checked(this, ID_USE_DARK, autoguide.guider_use_darkframe);
    show_enabled(this, ID_USE_DARK, autoguide.guider_darkframe_loaded);
    show_text(this, ID_DARK_STATUS, guider_darkframe_status());

    show_number(this, ID_POINTER_X, autoguide.guiderwrk_x);
    show_number(this, ID_POINTER_Y, autoguide.guiderwrk_y);
    show_number(this, ID_POINTER_VALUE, autoguide.guiderwrk_val);
    show_number(this, ID_PICKED_X, guide.guider_picked_star ? guide.guider_pick_xcent : 0);
    show_number(this, ID_PICKED_Y, guide.guider_picked_star ? guide.guider_pick_ycent : 0);

    show_number(this, ID_SLEWX, cfg.guider_slewx);
    show_number(this, ID_SLEWY, cfg.guider_slewy);
    show_number(this, ID_BACKX, cfg.guider_backlashx);
    show_number(this, ID_BACKY, cfg.guider_backlashy);
    show_number(this, ID_GUIDER_THETA, static_cast<long>(cfg.guider_theta));
    show_number(this, ID_THETA, static_cast<long>(autoguide.theta));
    show_text(this, ID_TRAINED,
              vals_in_use_text(autoguide.guider_trained, autoguide.guider_use_trained));
    find_control<QPushButton>(this, ID_USE_DEFAULTS)->setText(guider_use_default_caption());
    show_checked(this, ID_IGNORE_BACKLASH, cfg.ignore_backlash);
    show_checked(this, ID_IGNORE_ANGLE, cfg.ignore_RA_angle);
    show_checked(this, ID_SWAP_NS, ns_swapped());
    show_checked(this, ID_SWAP_EW, ew_swapped());
    show_text(this, ID_MODE, guider_mode_label());

    show_number(this, ID_AO_XRATE, cfg.AOUnit_xrate);
    show_number(this, ID_AO_YRATE, cfg.AOUnit_yrate);
    show_text(this, ID_AO_TRAINED, ao_vals_in_use_text());
    find_control<QPushButton>(this, ID_AO_USE_DEFAULTS)->setText(ao_use_default_caption());
    show_checked(this, ID_AO_COM1, cfg.AOUnit_comport == 1);
    show_checked(this, ID_AO_COM0, cfg.AOUnit_comport == 0);
    show_checked(this, ID_AO_COM_OTHER, cfg.AOUnit_comport != 0 && cfg.AOUnit_comport != 1);
    show_text(this, ID_AO_MODE, ao_mode_text());
    show_checked(this, ID_AO_SWAP_NS, ao_ns_swapped());
    show_checked(this, ID_AO_SWAP_EW, ao_ew_swapped());
    show_checked(this, ID_AO_MOUNT_SWAP_NS, ao_mount_ns_swapped());
    show_checked(this, ID_AO_MOUNT_SWAP_EW, ao_mount_ew_swapped());
    if (auto* g = findChild<QGroupBox*>("move")) g->setTitle(guider_move_title());

    const bool moves = guider_moves_available();
    const bool ao_moves = cfg.GuiderMode != 'T';
    const std::pair<int, const char*> arrows[] = {
        {ID_NORTH, "North"}, {ID_SOUTH, "South"}, {ID_EAST, "East"}, {ID_WEST, "West"}};
    for (const auto& [id, name] : arrows) {
        show_enabled(this, id, moves);
        // A press of the mount's arrows moves while held; the AO unit's steps once.
        if (auto* b = find_control<QWidget>(this, id))
            b->setToolTip(QString(name) + (ao_moves ? " (100 steps a press)" : " (hold)"));
    }
    for (int id : {ID_GO_NORTH, ID_GO_SOUTH, ID_GO_EAST, ID_GO_WEST})
        show_enabled(this, id, guider_toggles_available());
    for (int id : {ID_START, ID_TAKE_DARK, ID_MAIN_CAMERA, ID_START_GUIDING, ID_PICK, ID_HUNDREDTHS,
                   ID_TENTHS, ID_SECONDS, ID_EXP_DOWN, ID_EXP_UP, ID_TRAIN, ID_AO_TRAIN})
        show_enabled(this, id, !previewing_);
    show_enabled(this, ID_STOP, previewing_);
    if (picture_) picture_->update();
}

void TGQVDialog::reload_frame() {
    frame_ = QImage();
    Dib dib;
    if (!load_dib(platform::host_path(disp.BMPname_guide), dib) || dib.width < 1 || dib.height < 1)
        return;
    frame_ = dib_image(dib);
}

void TGQVDialog::Start() {
    if (previewing_) return;
    guider_preview_begin();
    previewing_ = true;
    // A left press anywhere in the dialog ends the preview.
    qApp->installEventFilter(this);
    ShowValues();
    while (!acq.stopit) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (acq.stopit) break;
        bool whole = false;
        guider_preview_pass(&whole);
        reload_frame();
        ShowValues();
        picture_->repaint();
        // A camera that has gone would fail on every frame.
        if (!whole || !autoguide.guider_continuous) break;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (acq.stopit) break;
        platform::ui().beep();
        if (autoguide.guider_exposure_delay) pause_one_second();
    }
    acq.stopit = 1;
    qApp->removeEventFilter(this);
    previewing_ = false;
    ShowValues();
}

void TGQVDialog::pause_one_second() {
    const std::uint32_t start = platform::now_ms();
    while (!acq.stopit && platform::now_ms() - start < 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        platform::sleep_ms(10);
    }
}

void TGQVDialog::run_training(const std::function<void(TrainingHost&)>& train) {
    if (previewing_) return;
    // The dialog shows each step's frame and caption; a press ends it.
    struct Host : TrainingHost {
        TGQVDialog* d;
        void set_caption(const char* caption) override { d->setWindowTitle(caption); }
        bool take_image() override {
            bool whole = false;
            guider_preview_pass(&whole);
            d->reload_frame();
            d->picture_->repaint();
            return whole;
        }
        void refresh() override { d->ShowValues(); }
        bool stop_requested() override { return platform::ui().pump_messages() > 0; }
    } host;
    host.d = this;
    train(host);
    ShowValues();
}

void TGQVDialog::Train() {
    run_training([](TrainingHost& host) {
        GuideLog log;
        eight_position_training(host, &log, TrainingCamera::Guider);
    });
}

void TGQVDialog::AOTrain() {
    run_training([](TrainingHost& host) { ::AOTrain(host, nullptr, TrainingCamera::Guider); });
}

void TGQVDialog::ChangeGuiderMode() {
    change_guider_mode();
    ShowValues();
}

void TGQVDialog::SetAONS() {
    set_ao_ns();
    ShowValues();
}

void TGQVDialog::SetAOEW() {
    set_ao_ew();
    ShowValues();
}

void TGQVDialog::SetAOMountNS() {
    set_ao_mount_ns();
    ShowValues();
}

void TGQVDialog::SetAOMountEW() {
    set_ao_mount_ew();
    ShowValues();
}

void TGQVDialog::SetAOValues() {
    const auto typed = [this](int id) {
        return find_control<QLineEdit>(this, id)->text().toLatin1();
    };
    set_ao_values(typed(ID_AO_SLEWX).constData(), typed(ID_AO_SLEWY).constData());
    show_ao_rates();
    ShowValues();
}

void TGQVDialog::CopyAOValues() {
    copy_ao_values();
    show_ao_rates();
    ShowValues();
}

void TGQVDialog::SetAODefault() {
    toggle_ao_use_trained();
    ShowValues();
}

void TGQVDialog::ChangeAOMode() {
    toggle_ao_mode();
    ShowValues();
}

void TGQVDialog::CentraliseAOUnit() {
    guider_centralise_ao_unit();
    ShowValues();
}

// This window's first two port buttons are the unit's port indices 1 and 0.
void TGQVDialog::SetAOCom1() {
    set_ao_com2();
    ShowValues();
}

void TGQVDialog::SetAOCom2() {
    set_ao_com1();
    ShowValues();
}

void TGQVDialog::SetAOPCport() {
    set_ao_pc_port();
    ShowValues();
}

void TGQVDialog::SetDefault() {
    toggle_guider_use_trained();
    ShowValues();
}

void TGQVDialog::Stop() {
    acq.stopit = 1;
}

void TGQVDialog::TakeDarkframe() {
    if (previewing_) return;
    guider_take_darkframe();
    reload_frame();
    ShowValues();
}

void TGQVDialog::UseDarkframe() {
    guider_toggle_use_darkframe();
    ShowValues();
}

void TGQVDialog::SetPickStar() {
    guider_arm_pick();
    picture_->setCursor(Qt::CrossCursor);
    ShowValues();
}

void TGQVDialog::GoNorth() {
    guider_move_toggle('n');
    ShowValues();
}
void TGQVDialog::GoSouth() {
    guider_move_toggle('s');
    ShowValues();
}
void TGQVDialog::GoEast() {
    guider_move_toggle('e');
    ShowValues();
}
void TGQVDialog::GoWest() {
    guider_move_toggle('w');
    ShowValues();
}

void TGQVDialog::ExitMainCamera() {
    guider_exit_main_camera();
    accept();
}

void TGQVDialog::ExitStartGuiding() {
    guider_exit_start_guiding();
    accept();
}

void TGQVDialog::EvMouseMove(QPoint at) {
    if (guider_mouse_readout(at.x(), at.y())) ShowValues();
}

void TGQVDialog::EvLButtonUp(QPoint at) {
    EvMouseMove(at);
    if (guider_pick_click(at.x(), at.y()) == GuiderPick::NotArmed) return;
    if (!guide.guider_pick_star) picture_->unsetCursor();
    ShowValues();
}

void TGQVDialog::EvRButtonUp(QPoint at) {
    if (cfg.telescope == 'b') guider_move_release();
    guide.centre_it = 1;
    EvLButtonUp(at);
}

void TGQVDialog::done(int result) {
    acq.stopit = 1;        // the preview ends at its next step
    guider_move_release(); // and the mount never keeps moving
    QDialog::done(result);
}

bool TGQVDialog::eventFilter(QObject* obj, QEvent* ev) {
    if (previewing_ && ev->type() == QEvent::MouseButtonPress && obj->isWidgetType()) {
        auto* w = static_cast<QWidget*>(obj);
        if (static_cast<QMouseEvent*>(ev)->button() == Qt::LeftButton && w->window() == this)
            acq.stopit = 1;
    }
    return QDialog::eventFilter(obj, ev);
}

void run_guider_dialog(QWidget* parent) {
    TGQVDialog dialog(parent);
    dialog.exec();
}
