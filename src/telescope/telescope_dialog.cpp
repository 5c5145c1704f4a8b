#include "telescope/telescope_dialog.h"

#include "devices/serial_link.h"
#include "devices/transport.h"
#include "devices/usb_discovery.h"
#include "dialogs/controls.h"
#include "platform/messages.h"
#include "platform/ui.h"
#include "settings/settings.h"
#include "telescope/mount_controls.h"
#include "telescope/mount_protocol.h"
#include "telescope/telescope_state.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int ID_MESSIER = 101, ID_CNGC = 102, ID_GOTO_OBJECT = 103;
constexpr int ID_RA_HR = 104, ID_RA_MIN = 105, ID_DEC_DEG = 106, ID_DEC_MIN = 107;
constexpr int ID_GOTO_COORD = 108, ID_PLANET_FIRST = 111;
constexpr int ID_SLEW = 121, ID_FOCUS_FAST = 125, ID_FOCUS_SLOW = 126;
constexpr int ID_NORTH = 131, ID_SOUTH = 132, ID_EAST = 133, ID_WEST = 134;
constexpr int ID_FOCUS_IN = 135, ID_FOCUS_OUT = 136, ID_INFO = 140;

const EditLook NUMBER{5, 16, true};
const EditLook TWO_DIGITS{3, 16, true};

// A signed number as the dialog reads its fields: anything else is 0.
int field_value(const QLineEdit* edit) {
    bool ok = false;
    const int v = edit->text().trimmed().toInt(&ok);
    return ok ? v : 0;
}

QToolButton* arrow_button(QWidget* parent, int id, Qt::ArrowType arrow, const char* label,
                          const char* tip) {
    auto* b = named(new QToolButton(parent), id);
    b->setArrowType(arrow);
    b->setText(label);
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setToolTip(tip);
    b->setFixedSize(52, 48);
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

// An arrow that acts while held: press and release go to `event`.
template <class F> void hold(QToolButton* b, QObject* context, F event) {
    QObject::connect(b, &QToolButton::pressed, context, [event] { event(PadEvent::LineUp); });
    QObject::connect(b, &QToolButton::released, context, [event] { event(PadEvent::EndScroll); });
}

// The move pad as a cross of arrows; `h` and `v` receive the bars' events.
template <class H, class V> QWidget* make_pad(QWidget* parent, H h, V v) {
    auto* pad = new QWidget(parent);
    auto* grid = new QGridLayout(pad);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(4);
    QToolButton* north = arrow_button(parent, ID_NORTH, Qt::UpArrow, "N", "North (hold)");
    QToolButton* south = arrow_button(parent, ID_SOUTH, Qt::DownArrow, "S", "South (hold)");
    QToolButton* west = arrow_button(parent, ID_WEST, Qt::LeftArrow, "W", "West (hold)");
    QToolButton* east = arrow_button(parent, ID_EAST, Qt::RightArrow, "E", "East (hold)");
    grid->addWidget(north, 0, 1);
    grid->addWidget(west, 1, 0);
    grid->addWidget(east, 1, 2);
    grid->addWidget(south, 2, 1);
    grid->setColumnMinimumWidth(1, 52);
    grid->setRowMinimumHeight(1, 48);
    hold(west, parent, [h](PadEvent e) { h(e); });
    hold(east, parent, [h](PadEvent e) { h(e == PadEvent::LineUp ? PadEvent::LineDown : e); });
    hold(north, parent, [v](PadEvent e) { v(e); });
    hold(south, parent, [v](PadEvent e) { v(e == PadEvent::LineUp ? PadEvent::LineDown : e); });
    return pad;
}

QDialogButtonBox* close_box(QDialog* dialog) {
    auto* box = new QDialogButtonBox(dialog);
    QPushButton* close = named(box->addButton("Close", QDialogButtonBox::RejectRole), 2);
    QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::reject);
    return box;
}

} // namespace

// ---------------------------------------------------------------- LX200

TMTDialog::TMTDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Nocteris Move Telescope");
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left);
    columns->addSpacing(6);
    columns->addLayout(right);
    layout->addLayout(columns);

    // Catalogue GoTo.
    auto* objects = new QGroupBox("Catalogue object", this);
    auto* og = new QGridLayout(objects);
    messier_ = make_edit(this, ID_MESSIER, NUMBER);
    cngc_ = make_edit(this, ID_CNGC, NUMBER);
    og->addWidget(new QLabel("Messier", this), 0, 0);
    og->addWidget(messier_, 0, 1);
    og->addWidget(new QLabel("CNGC", this), 1, 0);
    og->addWidget(cngc_, 1, 1);
    QPushButton* go_object = make_button(this, ID_GOTO_OBJECT, "GoTo Object");
    QPushButton* help = make_button(this, 9, "Help");
    og->addWidget(go_object, 0, 2);
    og->addWidget(help, 1, 2);
    og->setColumnStretch(3, 1);
    left->addWidget(objects);

    // Co-ordinate GoTo.
    auto* coords = new QGroupBox("Co-ordinates", this);
    auto* cg = new QGridLayout(coords);
    ra_hr_ = make_edit(this, ID_RA_HR, TWO_DIGITS);
    ra_min_ = make_edit(this, ID_RA_MIN, TWO_DIGITS);
    dec_deg_ = make_edit(this, ID_DEC_DEG, TWO_DIGITS);
    dec_min_ = make_edit(this, ID_DEC_MIN, TWO_DIGITS);
    cg->addWidget(new QLabel("R.A.", this), 0, 0);
    cg->addWidget(ra_hr_, 0, 1);
    cg->addWidget(new QLabel("hr", this), 0, 2);
    cg->addWidget(ra_min_, 0, 3);
    cg->addWidget(new QLabel("min", this), 0, 4);
    cg->addWidget(new QLabel("Dec", this), 1, 0);
    cg->addWidget(dec_deg_, 1, 1);
    cg->addWidget(new QLabel("deg", this), 1, 2);
    cg->addWidget(dec_min_, 1, 3);
    cg->addWidget(new QLabel("min", this), 1, 4);
    QPushButton* go_coord = make_button(this, ID_GOTO_COORD, "Go To ");
    cg->addWidget(go_coord, 0, 5, 2, 1, Qt::AlignVCenter);
    cg->setColumnStretch(6, 1);
    left->addWidget(coords);

    // Planets, through the star catalogue.
    auto* planet_box = new QGroupBox("Planets", this);
    auto* pg = new QGridLayout(planet_box);
    for (int i = 0; i < PLANET_COUNT; ++i) {
        QString name = planets[i].name;
        name[0] = name[0].toUpper();
        QPushButton* b = make_button(this, ID_PLANET_FIRST + i, name);
        pg->addWidget(b, i / 4, i % 4);
        const int number = planets[i].number;
        connect(b, &QPushButton::clicked, this, [this, number] {
            move_telescope('s', number);
            show_slew(false);
            EvPaint();
        });
    }
    left->addWidget(planet_box);
    left->addStretch(1);

    // Manual moves.
    auto* move_box = new QGroupBox("Move", this);
    auto* mv = new QHBoxLayout(move_box);
    mv->addWidget(make_pad(
        this, [this](PadEvent e) { EvHScroll(e); }, [this](PadEvent e) { EvVScroll(e); }));
    auto* speeds = new QVBoxLayout;
    auto* speed_group = new QButtonGroup(this);
    const char* speed_names[4] = {"Slew", "Find", "Centre", "Guide"};
    const char speed_letters[4] = {'S', 'M', 'C', 'G'};
    for (int i = 0; i < 4; ++i) {
        speed_[i] = make_radio(this, ID_SLEW + i, speed_names[i]);
        speed_group->addButton(speed_[i]);
        speeds->addWidget(speed_[i]);
        const char letter = speed_letters[i];
        connect(speed_[i], &QRadioButton::clicked, this, [this, letter] {
            set_tele_speed(letter);
            EvPaint();
        });
    }
    mv->addSpacing(8);
    mv->addLayout(speeds);
    right->addWidget(move_box);

    // The focuser.
    auto* focus_box = new QGroupBox("Focus", this);
    auto* fv = new QHBoxLayout(focus_box);
    auto* focus_pad = new QVBoxLayout;
    QToolButton* in = arrow_button(this, ID_FOCUS_IN, Qt::UpArrow, "In", "Focus in (hold)");
    QToolButton* out = arrow_button(this, ID_FOCUS_OUT, Qt::DownArrow, "Out", "Focus out (hold)");
    focus_pad->addWidget(in);
    focus_pad->addWidget(out);
    hold(in, this, [this](PadEvent e) { EvFocusScroll(e); });
    hold(out, this,
         [this](PadEvent e) { EvFocusScroll(e == PadEvent::LineUp ? PadEvent::LineDown : e); });
    fv->addLayout(focus_pad);
    auto* fr = new QVBoxLayout;
    auto* focus_group = new QButtonGroup(this);
    focus_fast_ = make_radio(this, ID_FOCUS_FAST, "Fast");
    focus_slow_ = make_radio(this, ID_FOCUS_SLOW, "Slow");
    focus_group->addButton(focus_fast_);
    focus_group->addButton(focus_slow_);
    fr->addWidget(focus_fast_);
    fr->addWidget(focus_slow_);
    fr->addStretch(1);
    connect(focus_fast_, &QRadioButton::clicked, this, [this] {
        set_focus_speed('F');
        EvPaint();
    });
    connect(focus_slow_, &QRadioButton::clicked, this, [this] {
        set_focus_speed('S');
        EvPaint();
    });
    fv->addSpacing(8);
    fv->addLayout(fr);
    fv->addStretch(1);
    right->addWidget(focus_box);
    right->addStretch(1);

    // The mount's reply.
    auto* info_row = new QHBoxLayout;
    info_row->addWidget(new QLabel("Info from Scope", this));
    info_ = make_readout(this, ID_INFO);
    info_->setMinimumWidth(fontMetrics().horizontalAdvance(QString(REPLY_CHARS, 'M')) * 3 / 4);
    info_row->addWidget(info_, 1);
    layout->addLayout(info_row);
    refusal_ = make_label(this, 141);
    layout->addWidget(refusal_);
    layout->addSpacing(4);
    layout->addWidget(close_box(this));

    messier_->setText(QString::number(tele.set_Messier));
    cngc_->setText(QString::number(tele.set_CNGC));
    ra_hr_->setText(QString::number(tele.set_RAhr));
    ra_min_->setText(QString::number(tele.set_RAmin));
    dec_deg_->setText(QString::number(tele.set_Decdeg));
    dec_min_->setText(QString::number(tele.set_Decmin));

    connect(go_object, &QPushButton::clicked, this, &TMTDialog::MoveTelescope);
    connect(go_coord, &QPushButton::clicked, this, &TMTDialog::MoveToCoord);
    connect(help, &QPushButton::clicked, this,
            [] { platform::ui().message_box(MOUNT_HELP_TEXT, MOUNT_CAPTION); });
    EvPaint();
}

void TMTDialog::MoveTelescope() {
    tele.set_Messier = field_value(messier_);
    tele.set_CNGC = field_value(cngc_);
    if (goto_object(tele.set_Messier, tele.set_CNGC))
        show_slew(false);
    else
        platform::ui().message_box(OBJECT_OUT_OF_RANGE, MOUNT_CAPTION);
    EvPaint();
}

void TMTDialog::MoveToCoord() {
    tele.set_RAhr = field_value(ra_hr_);
    tele.set_RAmin = field_value(ra_min_);
    tele.set_Decdeg = field_value(dec_deg_);
    tele.set_Decmin = field_value(dec_min_);
    if (goto_coordinates(tele.set_RAhr, tele.set_RAmin, tele.set_Decdeg, tele.set_Decmin))
        show_slew(true);
    else
        platform::ui().message_box(INVALID_COORDINATES, MOUNT_CAPTION);
    EvPaint();
}

void TMTDialog::show_slew(bool coordinates) {
    const std::string refusal = slew_refusal(coordinates);
    refusal_->setText(refusal.empty()
                          ? QString()
                          : "The mount refused the GoTo: " + QString::fromLatin1(refusal.c_str()));
}

void TMTDialog::EvHScroll(PadEvent e) {
    if (e == PadEvent::EndScroll)
        pad_release();
    else
        pad_press(e == PadEvent::LineUp ? 'w' : 'e');
    EvPaint();
}

void TMTDialog::EvVScroll(PadEvent e) {
    if (e == PadEvent::EndScroll)
        pad_release();
    else
        pad_press(e == PadEvent::LineUp ? 'n' : 's');
    EvPaint();
}

void TMTDialog::EvFocusScroll(PadEvent e) {
    if (e == PadEvent::EndScroll)
        focus_release();
    else
        focus_press(e == PadEvent::LineUp ? '+' : '-');
    EvPaint();
}

void TMTDialog::EvPaint() {
    info_->setText(QString::fromLatin1(printable_reply(serial.move_error).c_str()));
    info_->setCursorPosition(0);
    const char speed = shown_tele_speed();
    const char letters[4] = {'S', 'M', 'C', 'G'};
    for (int i = 0; i < 4; ++i) speed_[i]->setChecked(letters[i] == speed);
    (shown_focus_speed() == 'F' ? focus_fast_ : focus_slow_)->setChecked(true);
}

// Closing the dialog never leaves the mount or the focuser moving.
void TMTDialog::done(int result) {
    pad_release();
    focus_release();
    QDialog::done(result);
}

// ---------------------------------------------------------------- socket

TCBDialog::TCBDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Move Telescope");
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* note = new QLabel("Hold an arrow to move the telescope\nthrough the guide relays.", this);
    layout->addWidget(note);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(make_pad(
        this, [this](PadEvent e) { EvHScroll(e); }, [this](PadEvent e) { EvVScroll(e); }));
    row->addStretch(1);
    layout->addLayout(row);
    layout->addSpacing(4);
    layout->addWidget(close_box(this));
}

void TCBDialog::EvHScroll(PadEvent e) {
    if (e == PadEvent::EndScroll)
        socket_pad_release();
    else
        socket_pad_press(e == PadEvent::LineUp ? 'w' : 'e');
}

void TCBDialog::EvVScroll(PadEvent e) {
    if (e == PadEvent::EndScroll)
        socket_pad_release();
    else
        socket_pad_press(e == PadEvent::LineUp ? 'n' : 's');
}

void TCBDialog::done(int result) {
    socket_pad_release();
    QDialog::done(result);
}

// ---------------------------------------------------------------- command

void CmControl(QWidget* parent) {
    comm_check();
    if (cfg.telescope == 'n') {
        // comm_check has said so when its check failed.
        if (serial.comfound) messages(36);
        return;
    }
    // The mount hangs on the camera unless the PC port carries the traffic.
    if (!pc_serial_route() && !camera_attached()) {
        USBHid().CollectingUSBHidInfo();
        if (!camera_attached()) {
            messages(36);
            return;
        }
    }
    if (cfg.telescope == 'b') {
        TCBDialog dlg(parent);
        dlg.exec();
    } else {
        TMTDialog dlg(parent);
        dlg.exec();
    }
}
