#include "settings/settings_dialog.h"

#include "dialogs/controls.h"
#include "display/image_store.h"
#include "settings/settings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace ini_id;

TINIDialog::TINIDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Set Program Defaults"));
    setModal(true);

    // The options scroll when the dialog is taller than the screen.
    scroller_ = new QScrollArea;
    scroller_->setWidgetResizable(true);
    scroller_->setFrameShape(QFrame::NoFrame);
    scroller_->setWidget(build_contents());

    auto* save = named(new QPushButton(tr("Save Changes")), SaveChanges);
    save->setDefault(true);
    auto* cancel = named(new QPushButton(tr("Cancel")), Cancel);
    connect(save, &QPushButton::clicked, this, &TINIDialog::save_changes);
    connect(cancel, &QPushButton::clicked, this, &TINIDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(cancel);

    auto* top = new QVBoxLayout(this);
    top->addWidget(scroller_);
    top->addLayout(buttons);
    refresh();
}

QAbstractButton* TINIDialog::add_button(QAbstractButton* b, int id) {
    named(b, id);
    if (auto* radio = qobject_cast<QRadioButton*>(b)) radio->setAutoExclusive(false);
    if (b->isCheckable()) checkables_.emplace_back(id, b);
    connect(b, &QAbstractButton::clicked, this, [this, id] { command(id); });
    return b;
}

QSpinBox* TINIDialog::add_number(int id, IniBounds bounds) {
    auto* spin = named(new QSpinBox, id);
    spin->setRange(bounds.lo, bounds.hi);
    spin->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 44);
    return spin;
}

QGroupBox* TINIDialog::radio_group(const char* title, int first_id,
                                   const std::vector<const char*>& texts, int columns) {
    auto* box = new QGroupBox(QString::fromUtf8(title));
    auto* grid = new QGridLayout(box);
    for (int i = 0; i < static_cast<int>(texts.size()); ++i)
        grid->addWidget(add_button(new QRadioButton(QString::fromUtf8(texts[i])), first_id + i),
                        i / columns, i % columns);
    return box;
}

QWidget* TINIDialog::build_contents() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    grid->setHorizontalSpacing(12);

    // Column 1: guiding of the main camera.
    auto* col1 = new QVBoxLayout;
    col1->setSpacing(8);
    col1->addWidget(radio_group(
        "Guide Star Box", StarMask7,
        {"7 Pixels", "8 Pixels", "9 Pixels", "11 Pixels", "13 Pixels", "15 Pixels"}, 2));
    auto* training = new QGroupBox(tr("Guide Training"));
    auto* form = new QFormLayout(training);
    slewx_ = add_number(SlewRA, SLEW_BOUNDS);
    slewy_ = add_number(SlewDec, SLEW_BOUNDS);
    backlashx_ = add_number(RABacklash, BACKLASH_BOUNDS);
    backlashy_ = add_number(DecBacklash, BACKLASH_BOUNDS);
    hystx_ = add_number(HystRA, HYST_BOUNDS);
    hysty_ = add_number(HystDec, HYST_BOUNDS);
    form->addRow(tr("Pixels per sec in RA"), slewx_);
    form->addRow(tr("Pixels per sec in Dec"), slewy_);
    form->addRow(tr("RA Backlash"), backlashx_);
    form->addRow(tr("Dec Backlash"), backlashy_);
    form->addRow(tr("Hysteresis in RA (0-20)"), hystx_);
    form->addRow(tr("Hysteresis in Dec (0-20)"), hysty_);
    form->addRow(QString(), add_button(new QPushButton(tr("Set Manually")), SetManually));
    col1->addWidget(training);
    col1->addWidget(radio_group("Training Time", Train1, {"1 Sec", "2 Sec", "4 Sec", "8 Sec"}, 2));

    // The guider camera's own values, which the camera dialog also sets.
    auto* guider = new QGroupBox(tr("Guider Camera Guiding"));
    auto* gform = new QFormLayout(guider);
    const char* guider_labels[] = {"Pixels per sec in RA",    "Pixels per sec in Dec",
                                   "RA Backlash (0-30)",      "Dec Backlash (0-30)",
                                   "Hysteresis in RA (0-20)", "Hysteresis in Dec (0-20)"};
    const IniBounds guider_bounds[] = {GUIDER_SLEW_BOUNDS,     GUIDER_SLEW_BOUNDS,
                                       GUIDER_BACKLASH_BOUNDS, GUIDER_BACKLASH_BOUNDS,
                                       GUIDER_HYST_BOUNDS,     GUIDER_HYST_BOUNDS};
    for (int i = 0; i < 6; ++i) {
        guider_[i] = add_number(GuiderSlewRA + i, guider_bounds[i]);
        gform->addRow(tr(guider_labels[i]), guider_[i]);
    }
    col1->addWidget(guider);
    col1->addStretch();

    // Column 2: the mount and the corrections.
    auto* col2 = new QVBoxLayout;
    col2->setSpacing(8);
    col2->addWidget(radio_group("Telescope Interface", TelescopeLX200,
                                {"Meade LX200 (Tm)", "Autoguider Socket", "None"}, 1));
    auto* dirs = new QGroupBox(tr("Directions"));
    auto* dirs_l = new QVBoxLayout(dirs);
    dirs_l->addWidget(add_button(new QCheckBox("Swap n/s direction"), SwapNS));
    dirs_l->addWidget(add_button(new QCheckBox("Swap e/w direction"), SwapEW));
    col2->addWidget(dirs);

    auto* drift = new QGroupBox(tr("Small Corrections"));
    auto* drift_l = new QGridLayout(drift);
    drift_l->addWidget(add_button(new QCheckBox("Ignore drift less than"), IgnoreSmall), 0, 0, 1,
                       2);
    const char* amounts[] = {"1.0 pixel", "0.8 pixel", "0.5 pixel", "0.2 pixel"};
    for (int i = 0; i < 4; ++i)
        drift_l->addWidget(add_button(new QRadioButton(tr(amounts[i])), Ignore10 + i), 1 + i / 2,
                           i % 2);
    drift_l->addWidget(add_button(new QCheckBox("Turn off North Corrections"), NoNorth), 3, 0, 1,
                       2);
    drift_l->addWidget(add_button(new QCheckBox("Turn off South Corrections"), NoSouth), 4, 0, 1,
                       2);
    col2->addWidget(drift);

    auto* apply = new QGroupBox(tr("Apply correction to all"));
    (new QVBoxLayout(apply))
        ->addWidget(add_button(new QCheckBox("HighRes Images"), ApplyCorrection));
    col2->addWidget(apply);
    auto* pause = new QGroupBox(tr("70ms delay when changing"));
    (new QVBoxLayout(pause))
        ->addWidget(add_button(new QCheckBox("correction direction"), LosmandyPause));
    col2->addWidget(pause);

    auto* ao = new QGroupBox(tr("AO Unit"));
    auto* ao_l = new QFormLayout(ao);
    ao_l->addRow(add_button(new QCheckBox("AO Unit Available"), AOAvailable));
    ao_l->addRow(add_button(new QCheckBox("Select half rate"), AOHalfRate));
    pc_com_ = add_number(PCComPort, COM_BOUNDS);
    ao_l->addRow(tr("PC Com Port"), pc_com_);
    col2->addWidget(ao);
    col2->addStretch();

    // Column 3: display, camera and files.
    auto* col3 = new QVBoxLayout;
    col3->setSpacing(8);
    col3->addWidget(radio_group("Background", BackRed, {"Red", "Lt Gray", "Dark Gray"}, 2));
    auto* focus = new QGroupBox(tr("Focus"));
    (new QVBoxLayout(focus))
        ->addWidget(add_button(new QCheckBox("1 Sec Delay in Focus Mode"), FocusDelay));
    col3->addWidget(focus);
    col3->addWidget(radio_group("Delay before Exposure", Pause10,
                                {"10 Seconds", "15 Seconds", "20 Seconds"}, 1));
    auto* irq = new QGroupBox(tr("Disable Interrupts"));
    (new QVBoxLayout(irq))
        ->addWidget(add_button(new QCheckBox("during Download"), DisableInterrupts));
    col3->addWidget(irq);

    auto* camera = new QGroupBox(tr("Camera and Files"));
    auto* cam_l = new QVBoxLayout(camera);
    cam_l->addWidget(add_button(new QCheckBox("FITS Unsigned Integer"), FitsUnsigned));
    cam_l->addWidget(add_button(new QCheckBox("Save in 16bit Tiff format"), Tiff16));
    cam_l->addWidget(add_button(new QCheckBox("Use Saved Exposure Values"), UseSavedValues));
    cam_l->addWidget(add_button(new QCheckBox("Hide exposure countdown"), HideCountdown));
    cam_l->addWidget(add_button(new QCheckBox("Ignore Camera PID"), IgnorePid));
    cam_l->addWidget(add_button(new QCheckBox("Debug Info Mode"), DebugMode));
    col3->addWidget(camera);

    auto* autosave = new QGroupBox(tr("AutoSave"));
    auto* as_l = new QGridLayout(autosave);
    folder_ = make_edit(nullptr, AutoSaveDir);
    folder_->setMaxLength(79);
    folder_->setPlaceholderText(QStringLiteral("c:\\AUTOSAVE"));
    folder_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 26);
    last_num_ = make_edit(nullptr, LastNum);
    last_num_->setReadOnly(true);
    last_num_->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
    as_l->addWidget(new QLabel(tr("Autosave Directory")), 0, 0, 1, 3);
    as_l->addWidget(folder_, 1, 0, 1, 3);
    as_l->addWidget(add_button(new QPushButton(tr("Set AutoSave Dir")), SetAutoSaveDir), 2, 0, 1, 3,
                    Qt::AlignLeft);
    as_l->addWidget(new QLabel(tr("Last Num")), 3, 0);
    as_l->addWidget(last_num_, 3, 1);
    as_l->setColumnStretch(2, 1);
    col3->addWidget(autosave);
    col3->addStretch();

    grid->addLayout(col1, 0, 0);
    grid->addLayout(col2, 0, 1);
    grid->addLayout(col3, 0, 2);
    // Compact groups, so that the whole dialog fits a 768-line screen.
    for (auto* box : page->findChildren<QGroupBox*>()) {
        box->layout()->setContentsMargins(9, 4, 9, 6);
        box->layout()->setSpacing(4);
    }
    return page;
}

void TINIDialog::refresh() {
    for (auto [id, b] : checkables_) b->setChecked(ini_checked(id));
    const IniNumbers v = ini_numbers();
    slewx_->setValue(v.slewx);
    slewy_->setValue(v.slewy);
    backlashx_->setValue(v.backlashx);
    backlashy_->setValue(v.backlashy);
    hystx_->setValue(v.hystx);
    hysty_->setValue(v.hysty);
    const int guider[] = {v.guider_slewx,     v.guider_slewy, v.guider_backlashx,
                          v.guider_backlashy, v.guider_hystx, v.guider_hysty};
    for (int i = 0; i < 6; ++i) guider_[i]->setValue(guider[i]);
    pc_com_->setValue(v.pc_com);
    folder_->setText(QString::fromLocal8Bit(cfg.auto_save_subdir));
    last_num_->setText(QString::number(cfg.auto_save_num));
}

IniNumbers TINIDialog::typed_numbers() const {
    IniNumbers v;
    v.slewx = slewx_->value();
    v.slewy = slewy_->value();
    v.backlashx = backlashx_->value();
    v.backlashy = backlashy_->value();
    v.hystx = hystx_->value();
    v.hysty = hysty_->value();
    v.guider_slewx = guider_[0]->value();
    v.guider_slewy = guider_[1]->value();
    v.guider_backlashx = guider_[2]->value();
    v.guider_backlashy = guider_[3]->value();
    v.guider_hystx = guider_[4]->value();
    v.guider_hysty = guider_[5]->value();
    v.pc_com = pc_com_->value();
    return v;
}

void TINIDialog::command(int id) {
    if (id == SetManually) {
        ini_set_manually(typed_numbers());
    } else if (id == SetAutoSaveDir) {
        ini_apply_autosave_dir(folder_->text().toLocal8Bit().toStdString());
    } else {
        if (ini_rereads_numbers(id)) ini_set_manually(typed_numbers());
        ini_click(id);
    }
    refresh();
}

void TINIDialog::save_changes() {
    // The dialog stays open until the folder is one that can be used.
    if (!ini_apply_autosave_dir(folder_->text().toLocal8Bit().toStdString())) {
        refresh();
        return;
    }
    ini_set_pc_com(pc_com_->value());
    accept();
}

void TINIDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (sized_) return;
    sized_ = true;
    // As large as the options need, but never beyond the screen; the rest scrolls.
    QSize want = sizeHint();
    const QSize inner = scroller_->widget()->sizeHint();
    want.setWidth(std::max(want.width(), inner.width() + 2 * layout()->contentsMargins().left() +
                                             scroller_->verticalScrollBar()->sizeHint().width()));
    want.setHeight(std::max(want.height(), inner.height() + 60));
    if (const QScreen* s = screen()) {
        QSize room = s->availableGeometry().size() - QSize(40, 60);
        if (disp.screen_height > 0)
            room.setHeight(std::min(room.height(), disp.screen_height - 60));
        want = want.boundedTo(room);
    }
    resize(want);
}

int run_settings_dialog(QWidget* parent) {
    ini_dialog_load();
    TINIDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return 2;
    ini_dialog_save();
    return 1;
}
